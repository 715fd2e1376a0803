// Fuzzes the favourites file reader and the changes it marks. The input is the file's bytes.
// Checks: reading never crashes; a list that is read is written back to bytes that read as the
// same list and are written the same again; a change record cut from the input and a day of
// runner records cut from it never make the matching fail.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Favourites.h"
#include "fuzz/FuzzSupport.h"

namespace tavolen {
namespace {

void Run(std::string_view input) {
  const auto list = ParseFavourites(input);
  if (list) {
    const std::string bytes = FavouritesBytes(*list);
    const auto again = ParseFavourites(bytes);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->items() == list->items());
    FUZZ_CHECK(FavouritesBytes(*again) == bytes);
    for (const Favourite& f : list->items()) FUZZ_CHECK(ValidFavouriteCode(f.kind, f.code));
  }
  // Whatever the list, runner records and change records taken from the input are matched
  // without fault.
  FavouriteList any = list.value_or(FavouriteList{});
  any.Add(FavouriteKind::Horse, "2019104567", input.substr(0, 36));
  any.Add(FavouriteKind::Jockey, "01126", input.substr(0, 8));
  std::vector<std::string> runners;
  for (size_t at = 0; at < input.size(); at += 555) runners.emplace_back(input.substr(at, 555));
  const FavouriteDay day(any, runners);
  for (ChangeType type :
       {ChangeType::WE, ChangeType::AV, ChangeType::JC, ChangeType::TC, ChangeType::CC}) {
    const SjisString name = day.Concerned(type, input.substr(0, 161));
    FUZZ_CHECK(type != ChangeType::WE || name.empty());  // the weather concerns no favourite
  }
  (void)day.RaceHasFavourite(input.substr(0, 16));
}

}  // namespace
}  // namespace tavolen

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tavolen::Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
