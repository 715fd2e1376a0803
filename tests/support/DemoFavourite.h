// A favourite horse of the stand-in's demo day whose weight and result come during the day: the
// winner of the day's n-th race by post time.
#pragma once

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "jvlink/JVData_Structure.h"
#include "jvlink/LiveRecords.h"
#include "jvlink/TextLines.h"
#include "standin/DemoDay.h"
#include "standin/Feed.h"

namespace tavolen::testsupport {

struct DemoFavourite {
  std::string race, registration;  // race key, the horse's registration number
  SjisString name;
  int horse = 0;
  // Its line in the favourites file.
  SjisString FavouritesLine() const { return "H\t" + registration + "\t" + name; }
};

// Throws std::out_of_range when the day has fewer races or the race no winner.
inline DemoFavourite DemoRaceWinner(const std::vector<DemoFile>& files, size_t nth) {
  std::vector<std::pair<std::string, std::string>> posts;  // post time, race key
  std::map<std::string, SjisString> entries;               // race key + horse number -> SE
  std::map<std::string, int> winners;
  for (const DemoFile& f : files)
    for (const SjisString& r : SplitRecords(f.bytes)) {
      if (r.starts_with("RA")) posts.push_back({Cut(r, RA::PostTime), Cut(r, Header::RaceKey)});
      if (r.starts_with("SE") && Cut(r, Header::DataDivision) == "2")
        entries[Cut(r, Header::RaceKey) + Cut(r, SE::HorseNumber)] = r;
      if (const auto se = ReadRunnerResult(r); se && se->place == 1)
        winners[se->raceKey] = se->horseNumber;
    }
  std::sort(posts.begin(), posts.end());
  DemoFavourite f;
  f.race = posts.at(nth).second;
  f.horse = winners.at(f.race);
  const std::string number{char('0' + f.horse / 10 % 10), char('0' + f.horse % 10)};
  const SjisString& se = entries.at(f.race + number);
  f.registration = Cut(se, SE::RegistrationNumber);
  f.name = UnpaddedName(Cut(se, SE::HorseName));
  return f;
}

}  // namespace tavolen::testsupport
