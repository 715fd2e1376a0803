#include "live/LiveNews.h"

#include <algorithm>
#include <vector>

#include "base/SettingsKeys.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/LiveRecords.h"

namespace tavolen {
namespace {

// The notification's text limit in bytes, as for the changes.
constexpr size_t kTextBytes = 255;

LiveRing RingOf(int value) {
  return value <= 0 ? LiveRing::Off : value == 1 ? LiveRing::Favourites : LiveRing::All;
}

const FavouriteRunner* FavouriteOf(const FavouriteDay* favourites, std::string_view race,
                                   int horse) {
  if (!favourites) return nullptr;
  const FavouriteRunner* r = favourites->Runner(race, horse);
  return r && (r->horse || r->jockey) ? r : nullptr;
}

SjisString Mark() {
  return Sj("★");
}

// "1着⑤ 2着③ 3着⑫" from the runners' places (dead heats share a place).
SjisString Placings(const LiveDay& day, const std::string& race) {
  std::map<int, SjisString> byPlace;
  for (auto it = day.results.lower_bound(race); it != day.results.end(); ++it) {
    if (!it->first.starts_with(race)) break;
    const auto r = ReadRunnerResult(it->second);
    if (!r || r->place < 1 || r->place > 3 || (r->abnormal >= '1' && r->abnormal <= '5')) continue;
    byPlace[r->place] += CircledNumber(std::to_string(r->horseNumber));
  }
  SjisString text;
  for (const auto& [place, horses] : byPlace)
    text += (text.empty() ? "" : " ") + std::to_string(place) + Sj("着") + horses;
  return text;
}

SjisString FirstPayout(const PayoutRecord& hr, BetType type) {
  const BetPayouts& bet = hr.Bet(type);
  if (bet.payouts.empty()) return {};
  return " " + BetTypeName(type) + " " + Thousands(bet.payouts.front().yen) + Sj("円");
}

}  // namespace

LiveNotifyChoice ReadLiveNotifyChoice(const IniFile& settings) {
  return {RingOf(settings.Read(Settings::NotifyWeights)),
          RingOf(settings.Read(Settings::NotifyResults))};
}

FileStatus WriteLiveNotifyChoice(IniFile& settings, const LiveNotifyChoice& choice) {
  if (FileStatus st = settings.Write(Settings::NotifyWeights, static_cast<int>(choice.weights));
      !st)
    return st;
  return settings.Write(Settings::NotifyResults, static_cast<int>(choice.results));
}

SjisString RaceLabel(std::string_view raceKey) {
  return CourseName(Cut(raceKey, RaceKeyPart::CourseCode), 2) +
         SjisString(TrimBlanks(PadNumber(Cut(raceKey, RaceKeyPart::RaceNumber)))) + "R";
}

SjisString Thousands(long long yen) {
  SjisString digits = std::to_string(yen);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
  return digits;
}

LiveMemory ParseLiveMemory(std::string_view bytes) {
  const Lines lines = SplitLines(bytes);
  LiveMemory memory;
  if (lines.empty() || lines.front() != kLiveAnnouncedHeader) return memory;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    if (l.starts_with("W") && l.size() >= 19)
      memory[l.substr(0, 19)] = l.substr(19);
    else if (l.starts_with("R") && l.size() >= 17)
      memory[l.substr(0, 17)] = l.substr(17);
    else if (l.starts_with("P") && l.size() >= 19)
      memory[l.substr(0, 19)] = l.substr(19);
  }
  return memory;
}

std::string LiveMemoryBytes(const LiveMemory& memory) {
  Lines lines{std::string(kLiveAnnouncedHeader)};
  for (const auto& [id, value] : memory) lines.push_back(id + value);
  return JoinLinesCrLf(lines);
}

LiveAnnouncement EvaluateLive(const LiveDay& day, LiveMemory& memory,
                              const FavouriteDay* favourites, const LiveNotifyChoice& choice) {
  Lines favouriteLines, raceLines;
  for (const auto& [race, line] : day.weights) {
    const auto wh = ReadWeightRecord(line);
    if (!wh) continue;
    bool any = false;
    for (const WeightEntry& e : wh->entries) {
      if (e.weight.empty()) continue;
      const std::string id = "W" + race + static_cast<char>('0' + e.horseNumber / 10 % 10) +
                             static_cast<char>('0' + e.horseNumber % 10);
      const std::string value = e.weight.weight + e.weight.sign + e.weight.difference;
      auto known = memory.find(id);
      if (known != memory.end() && known->second == value) continue;
      memory[id] = value;
      any = true;
      if (choice.weights == LiveRing::Off) continue;
      if (const FavouriteRunner* f = FavouriteOf(favourites, race, e.horseNumber))
        favouriteLines.push_back(Mark() + f->horseName + " " + RaceLabel(race) + Sj(" 馬体重 ") +
                                 e.weight.NotificationText());
    }
    if (any && choice.weights == LiveRing::All)
      raceLines.push_back(RaceLabel(race) + Sj(" 馬体重発表"));
  }
  for (const auto& [race, line] : day.payouts) {
    const auto hr = ReadPayoutRecord(line);
    if (!hr) continue;
    const bool confirmed = hr->kubun == "1" || hr->kubun == "2";
    // The race's result rings once; a runner's place rings once, when it is first known (a
    // favourite outside the first three is placed only by a later stage). A race cancelled is
    // remembered without ringing: the day's changes tell it.
    for (auto it = day.results.lower_bound(race); confirmed && it != day.results.end(); ++it) {
      if (!it->first.starts_with(race)) break;
      const auto r = ReadRunnerResult(it->second);
      if (!r || r->PlaceText().empty()) continue;
      const std::string id = "P" + it->first;
      if (memory.contains(id)) continue;
      memory[id] = std::to_string(r->place);
      const FavouriteRunner* f = FavouriteOf(favourites, race, r->horseNumber);
      if (!f || choice.results == LiveRing::Off) continue;
      SjisString place = r->PlaceText();
      if (r->place > 0 && !(r->abnormal >= '1' && r->abnormal <= '5'))
        place = std::to_string(r->place) + Sj("着") + (r->deadHeat ? Sj("（同着）") : "");
      favouriteLines.push_back(Mark() + f->horseName + " " + RaceLabel(race) + " " + place);
    }
    const std::string id = "R" + race;
    if (memory.contains(id)) continue;
    memory[id] = hr->kubun;
    if (confirmed && choice.results == LiveRing::All)
      raceLines.push_back(RaceLabel(race) + Sj(" 確定 ") + Placings(day, race) +
                          FirstPayout(*hr, BetType::Win) + FirstPayout(*hr, BetType::Trifecta));
  }
  LiveAnnouncement a;
  a.favourite = !favouriteLines.empty();
  a.details = favouriteLines;
  a.details.insert(a.details.end(), raceLines.begin(), raceLines.end());
  // Favourites first, as many whole lines as the notification holds.
  for (const std::string& l : a.details) {
    const std::string add = (a.text.empty() ? "" : "\r\n") + l;
    if (a.text.size() + add.size() > kTextBytes) break;
    a.text += add;
  }
  return a;
}

}  // namespace tavolen
