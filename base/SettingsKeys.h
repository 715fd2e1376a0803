// Every setting the program keeps in its settings file, in one table: section, key and the
// type of its value. IniFile reads and writes them by these names (IniFile::Read, Write).
#pragma once

#include <string_view>

#include "jvlink/Sjis.h"

namespace tavolen {

template <typename T>
struct Setting {
  std::string_view section;
  std::string_view key;
};

namespace Settings {
// The main window's place and size.
inline constexpr Setting<int> MainTop{"locate", "top"};
inline constexpr Setting<int> MainLeft{"locate", "left"};
inline constexpr Setting<int> MainWidth{"locate", "width"};
inline constexpr Setting<int> MainHeight{"locate", "height"};
// The change window's place.
inline constexpr Setting<int> ChangeWindowTop{"Henkolocate", "top"};
inline constexpr Setting<int> ChangeWindowLeft{"Henkolocate", "left"};
// The automatic check interval in minutes (CheckInterval.h has its limits).
inline constexpr Setting<int> CheckInterval{"Time", "AutoRdataGet"};
// JV-Link's change events besides the timer's checks (on unless 0).
inline constexpr Setting<bool> ChangeEvents{"Time", "ChangeEvents"};
// The "yyyy/mm/dd hh:nn:ss" from which the next acquisition asks for data.
inline constexpr Setting<SjisString> LastAcquisition{"JvDataGet", "LastTime"};
// The date list's "close" menu item (N5) checked.
inline constexpr Setting<bool> DateListClose{"datalist", "close"};
// The race card marks the changes announced for its race (the card-changes menu item).
inline constexpr Setting<bool> RaceCardChanges{"racecard", "changes"};
// Which JV-Link the program uses (jvbridge/BridgeSettings.h describes each value).
inline constexpr Setting<SjisString> JVLinkUse{"JVLink", "use"};
inline constexpr Setting<SjisString> JVLinkBridge{"JVLink", "bridge"};
inline constexpr Setting<SjisString> JVLinkWine{"JVLink", "wine"};
inline constexpr Setting<SjisString> JVLinkWinePrefix{"JVLink", "wineprefix"};
inline constexpr Setting<SjisString> JVLinkLocale{"JVLink", "locale"};
inline constexpr Setting<int> JVLinkTimeout{"JVLink", "timeout"};
}  // namespace Settings

}  // namespace tavolen
