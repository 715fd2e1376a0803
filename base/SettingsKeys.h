// Every setting the program keeps in its settings file, in one table: section, key, the type
// of its value and its default. IniFile reads and writes them by these names (IniFile::Read,
// Write); a default that depends on the moment (the last acquisition) is given at the read.
#pragma once

#include <string_view>

#include "base/CheckInterval.h"
#include "jvlink/Sjis.h"

namespace tavolen {

// A text setting's default is a constant text.
template <typename T>
struct SettingDefault {
  using type = T;
};
template <>
struct SettingDefault<SjisString> {
  using type = std::string_view;
};

template <typename T>
struct Setting {
  std::string_view section;
  std::string_view key;
  typename SettingDefault<T>::type def{};
};

namespace Settings {
// The main window's place and size.
inline constexpr Setting<int> MainTop{"locate", "top", 10};
inline constexpr Setting<int> MainLeft{"locate", "left", 10};
inline constexpr Setting<int> MainWidth{"locate", "width", 630};
inline constexpr Setting<int> MainHeight{"locate", "height", 450};
// The change window's place.
inline constexpr Setting<int> ChangeWindowTop{"Henkolocate", "top", 10};
inline constexpr Setting<int> ChangeWindowLeft{"Henkolocate", "left", 10};
// The automatic check interval in minutes (CheckInterval.h has its limits).
inline constexpr Setting<int> CheckInterval{"Time", "AutoRdataGet", kCheckIntervalDefault};
// JV-Link's change events besides the timer's checks (on unless 0).
inline constexpr Setting<bool> ChangeEvents{"Time", "ChangeEvents", true};
// The "yyyy/mm/dd hh:nn:ss" from which the next acquisition asks for data.
inline constexpr Setting<SjisString> LastAcquisition{"JvDataGet", "LastTime"};
// The date list's "close" menu item (N5) checked.
inline constexpr Setting<bool> DateListClose{"datalist", "close", false};
// The race card marks the changes announced for its race (the card-changes menu item).
inline constexpr Setting<bool> RaceCardChanges{"racecard", "changes", false};
// Which kinds of change ring (a notification and a sound), and whether only changes about a
// favourite do. A change that does not ring is still listed and remembered as announced.
inline constexpr Setting<bool> NotifyWeather{"notify", "weather", true};
inline constexpr Setting<bool> NotifyScratch{"notify", "scratch", true};
inline constexpr Setting<bool> NotifyJockey{"notify", "jockey", true};
inline constexpr Setting<bool> NotifyPostTime{"notify", "posttime", true};
inline constexpr Setting<bool> NotifyCourse{"notify", "course", true};
inline constexpr Setting<bool> NotifyFavouritesOnly{"notify", "favouritesonly", false};
// Which horse weights and results ring: 0 none, 1 only a favourite's, 2 every race's.
inline constexpr Setting<int> NotifyWeights{"notify", "weights", 1};
inline constexpr Setting<int> NotifyResults{"notify", "results", 1};
// Today's meeting loaded, watched and its race data fetched by the program itself.
inline constexpr Setting<bool> AutoWatch{"Auto", "watch", false};
// Set when an automatic race-data session opens, cleared when one completes (or finds nothing
// new): while set, the race data on disk may lack what the broken session did not store, and
// the automation fetches again from "LastTime" at its next scheduled check.
inline constexpr Setting<bool> RaceDataIncomplete{"Auto", "incomplete", false};
// Which JV-Link the program uses (jvbridge/BridgeSettings.h describes each value).
inline constexpr Setting<SjisString> JVLinkUse{"JVLink", "use"};
inline constexpr Setting<SjisString> JVLinkBridge{"JVLink", "bridge"};
inline constexpr Setting<SjisString> JVLinkWine{"JVLink", "wine"};
inline constexpr Setting<SjisString> JVLinkWinePrefix{"JVLink", "wineprefix"};
inline constexpr Setting<SjisString> JVLinkLocale{"JVLink", "locale"};
inline constexpr Setting<int> JVLinkTimeout{"JVLink", "timeout"};
// The bitness of the bridge that last created the component (64 or 32), written by the program.
inline constexpr Setting<int> JVLinkBits{"JVLink", "bits"};
}  // namespace Settings

}  // namespace tavolen
