// What is new among the day's live items and what rings: a race's weights ring once, and again
// only for a weight that changes after it was announced; a race's result rings once, whatever
// later stages bring, and a runner's place once, when a stage first gives it. What was announced
// is remembered per day in "yyyy年mm月dd日.liveannounced" beside the day file (code page 932,
// CR LF): a header line, then "W" + race key + horse number + the weight's three fields per
// weight, "R" + race key + kubun per result and "P" + race key + horse number + place per place.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "base/Favourites.h"
#include "base/IniFile.h"
#include "jvlink/LiveFiles.h"
#include "jvlink/TextLines.h"

namespace tavolen {

inline constexpr std::string_view kLiveAnnouncedSuffix = ".liveannounced";
inline constexpr std::string_view kLiveAnnouncedHeader = "Tavolen announced live 1";

// Which live items ring: none, only those about a favourite, or every race's.
enum class LiveRing { Off = 0, Favourites = 1, All = 2 };

struct LiveNotifyChoice {
  LiveRing weights = LiveRing::Favourites;
  LiveRing results = LiveRing::Favourites;
  friend bool operator==(const LiveNotifyChoice&, const LiveNotifyChoice&) = default;
};
LiveNotifyChoice ReadLiveNotifyChoice(const IniFile& settings);
FileStatus WriteLiveNotifyChoice(IniFile& settings, const LiveNotifyChoice& choice);

struct LiveAnnouncement {
  SjisString text;         // the balloon text (favourites' lines first), "" when nothing rings
  Lines details;           // every line that rings
  bool favourite = false;  // a favourite's line rings
  bool empty() const { return text.empty(); }
};

// The memory: identity (kind, race key, horse number) to the value announced.
using LiveMemory = std::map<std::string, std::string>;
LiveMemory ParseLiveMemory(std::string_view bytes);  // empty for a damaged file
std::string LiveMemoryBytes(const LiveMemory& memory);

// Evaluates day against memory (which it updates with everything new, ringing or not) and
// returns what rings under choice. favourites may be null.
LiveAnnouncement EvaluateLive(const LiveDay& day, LiveMemory& memory,
                              const FavouriteDay* favourites, const LiveNotifyChoice& choice);

// "中山11R" of a race key.
SjisString RaceLabel(std::string_view raceKey);
// "12,340".
SjisString Thousands(long long yen);

}  // namespace tavolen
