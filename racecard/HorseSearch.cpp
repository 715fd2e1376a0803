#include "racecard/HorseSearch.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "base/Favourites.h"
#include "jvlink/DateFiles.h"
#include "jvlink/JVData_Structure.h"

namespace tavolen {

std::vector<FoundHorse> FindHorses(const fs::path& dataFolder,
                                   const std::function<bool(std::string_view name)>& matches,
                                   size_t maxResults) {
  std::map<SjisString, FoundHorse> byNumber;
  std::error_code ec;
  for (fs::directory_iterator it(dataFolder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = Utf8Text(it->path().filename());
    if (!MatchesExtension(name, kEntryFileSuffix) || !it->is_regular_file(ec)) continue;
    std::string bytes;
    if (!ReadWholeFile(it->path(), bytes)) continue;  // an unreadable file holds no horse
    const SjisString dateKey = FileDateKey(it->path());
    for (size_t at = 0; at + SE::kLength <= bytes.size(); at += SE::kLength) {
      const std::string_view se = std::string_view(bytes).substr(at, SE::kLength);
      const SjisString number = Cut(se, SE::RegistrationNumber);
      if (Cut(se, Header::RecordType) != "SE" || !ValidFavouriteCode(FavouriteKind::Horse, number))
        continue;
      const SjisString horse = UnpaddedName(Cut(se, SE::HorseName));
      if (horse.empty() || !matches(horse)) continue;
      FoundHorse& found = byNumber[number];
      if (found.registrationNumber.empty() || found.dateKey < dateKey)
        found = {number, horse, dateKey};
    }
  }
  std::vector<FoundHorse> out;
  for (auto& [number, horse] : byNumber) out.push_back(std::move(horse));
  std::sort(out.begin(), out.end(), [](const FoundHorse& a, const FoundHorse& b) {
    return a.name != b.name ? a.name < b.name : a.registrationNumber < b.registrationNumber;
  });
  if (out.size() > maxResults) out.resize(maxResults);
  return out;
}

}  // namespace tavolen
