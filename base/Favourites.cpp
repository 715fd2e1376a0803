#include "base/Favourites.h"

#include <algorithm>
#include <system_error>

#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

constexpr size_t kNameBytes = 36;    // the longest name field a favourite is taken from
constexpr int kShownHorseName = 18;  // change lines show the head of the horse name

const char* Tag(FavouriteKind kind) {
  return kind == FavouriteKind::Horse ? "H" : "J";
}

// Whether needle occurs in text starting at a character boundary.
bool ContainsText(std::string_view text, std::string_view needle) {
  if (needle.empty()) return false;
  for (size_t i = 0; i + needle.size() <= text.size();) {
    if (text.compare(i, needle.size(), needle) == 0) return true;
    i += IsSjisLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return false;
}

}  // namespace

bool ValidFavouriteCode(FavouriteKind kind, std::string_view code) {
  const size_t size =
      kind == FavouriteKind::Horse ? SE::RegistrationNumber.len : SE::JockeyCode.len;
  return code.size() == size && AllDigits(code);
}

SjisString UnpaddedName(std::string_view name) {
  name = DropCutLeadByte(name);
  size_t end = 0;
  for (size_t i = 0; i < name.size();) {
    const auto b = static_cast<unsigned char>(name[i]);
    const size_t len = IsSjisLeadByte(b) && i + 1 < name.size() ? 2 : 1;
    const bool blank = (len == 1 && (b == ' ' || b == '\0')) ||
                       (len == 2 && b == 0x81 && static_cast<unsigned char>(name[i + 1]) == 0x40);
    i += len;
    if (!blank) end = i;
  }
  size_t begin = 0;
  while (begin < end && name[begin] == ' ') ++begin;
  return SjisString(name.substr(begin, end - begin));
}

const Favourite* FavouriteList::Find(FavouriteKind kind, std::string_view code) const {
  for (const Favourite& f : items_)
    if (f.kind == kind && f.code == code) return &f;
  return nullptr;
}

bool FavouriteList::Add(FavouriteKind kind, std::string_view code, std::string_view name) {
  if (!ValidFavouriteCode(kind, code) || Contains(kind, code)) return false;
  // A name must stay on its line and in its field; then its padding goes.
  std::string raw(name.substr(0, std::min(name.size(), kNameBytes)));
  std::replace_if(
      raw.begin(), raw.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
  SjisString shown = UnpaddedName(raw);
  items_.push_back({kind, SjisString(code), std::move(shown)});
  return true;
}

bool FavouriteList::Remove(FavouriteKind kind, std::string_view code) {
  const auto it = std::find_if(items_.begin(), items_.end(), [&](const Favourite& f) {
    return f.kind == kind && f.code == code;
  });
  if (it == items_.end()) return false;
  items_.erase(it);
  return true;
}

bool FavouriteList::Toggle(FavouriteKind kind, std::string_view code, std::string_view name) {
  if (Remove(kind, code)) return false;
  return Add(kind, code, name);
}

std::optional<FavouriteList> ParseFavourites(std::string_view bytes) {
  const Lines lines = SplitLines(bytes);
  if (lines.empty() || lines.front() != kFavouritesHeader) return std::nullopt;
  FavouriteList list;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (TrimBlanks(line).empty()) continue;
    const size_t tab1 = line.find('\t');
    const size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos) return std::nullopt;
    const std::string_view tag = std::string_view(line).substr(0, tab1);
    const std::string_view code = std::string_view(line).substr(tab1 + 1, tab2 - tab1 - 1);
    FavouriteKind kind;
    if (tag == "H")
      kind = FavouriteKind::Horse;
    else if (tag == "J")
      kind = FavouriteKind::Jockey;
    else
      return std::nullopt;
    if (!ValidFavouriteCode(kind, code)) return std::nullopt;
    list.Add(kind, code, std::string_view(line).substr(tab2 + 1));  // a repeated line counts once
  }
  return list;
}

std::string FavouritesBytes(const FavouriteList& list) {
  Lines lines{std::string(kFavouritesHeader)};
  for (const Favourite& f : list.items())
    lines.push_back(std::string(Tag(f.kind)) + "\t" + f.code + "\t" + f.name);
  return JoinLinesCrLf(lines);
}

fs::path DamagedFavouritesPath(const fs::path& file, const LocalDateTime& now) {
  const std::string stem = Utf8Text(file.stem()) + "-damaged-" + FormatCompactDateTime(now);
  fs::path aside = file.parent_path() / Utf8Path(stem + ".txt");
  for (int n = 2; FileExists(aside) || fs::is_symlink(aside); ++n)
    aside = file.parent_path() / Utf8Path(stem + "-" + std::to_string(n) + ".txt");
  return aside;
}

SjisString FavouritesStore::Load(const LocalDateTime& now) {
  list_ = FavouriteList{};
  mayWrite_ = true;
  std::error_code ec;
  const fs::file_status st = fs::status(file_, ec);
  if (st.type() == fs::file_type::not_found) return {};
  std::string bytes;
  std::optional<FavouriteList> parsed;
  if (!ec && fs::is_regular_file(st) && ReadWholeFile(file_, bytes))
    parsed = ParseFavourites(bytes);
  if (parsed) {
    list_ = std::move(*parsed);
    return {};
  }
  // Damaged or unreadable: kept aside, and the program goes on without favourites.
  const fs::path aside = DamagedFavouritesPath(file_, now);
  fs::rename(file_, aside, ec);
  if (ec) {
    mayWrite_ = false;
    return Sj("お気に入りファイルを読めません。空のリストで続けます（このファイルには保存しませ"
              "ん）：") +
           PathText(file_);
  }
  return Sj("お気に入りファイルが壊れているため、") + PathText(aside.filename()) +
         Sj(" に移して空のリストで続けます");
}

FileStatus FavouritesStore::Save() const {
  if (!mayWrite_) return FileStatus::Fail(FileError::Open, PathText(file_));
  return WriteFileAtomic(file_, FavouritesBytes(list_));
}

FavouriteDay::FavouriteDay(const FavouriteList& list,
                           const std::vector<std::string>& runnerRecords) {
  for (const Favourite& f : list.items())
    (f.kind == FavouriteKind::Horse ? horses_ : jockeys_).push_back(f);
  if (list.empty()) return;
  for (const std::string& se : runnerRecords) {
    if (Cut(se, Header::RecordType) != "SE") continue;
    const int number = ReadNumber(Cut(se, SE::HorseNumber));
    if (number <= 0) continue;
    FavouriteRunner runner;
    runner.horseNumber = number;
    runner.horseName = UnpaddedName(Cut(se, SE::HorseName));
    runner.jockeyName = UnpaddedName(Cut(se, SE::JockeyName));
    runner.horse = list.Contains(FavouriteKind::Horse, Cut(se, SE::RegistrationNumber));
    runner.jockey = list.Contains(FavouriteKind::Jockey, Cut(se, SE::JockeyCode));
    runners_[Cut(se, Header::RaceKey)][number] = std::move(runner);
  }
}

bool FavouriteDay::RaceHasFavourite(std::string_view raceKey) const {
  const auto race = runners_.find(raceKey);
  if (race == runners_.end()) return false;
  return std::any_of(race->second.begin(), race->second.end(),
                     [](const auto& r) { return r.second.horse || r.second.jockey; });
}

const FavouriteRunner* FavouriteDay::Runner(std::string_view raceKey, int horseNumber) const {
  const auto race = runners_.find(raceKey);
  if (race == runners_.end()) return nullptr;
  const auto runner = race->second.find(horseNumber);
  return runner == race->second.end() ? nullptr : &runner->second;
}

SjisString FavouriteDay::Concerned(ChangeType type, std::string_view record) const {
  if (horses_.empty() && jockeys_.empty()) return {};
  const std::string raceKey = Cut(record, Header::RaceKey);
  // A horse known by its runner record is known by its registration number; without one (no
  // entry file for the race) by the name the favourite was marked with.
  auto favouriteHorse = [&](FieldDef numberField, FieldDef nameField) -> SjisString {
    const SjisString shown = UnpaddedName(Cut(record, nameField.pos, kShownHorseName));
    if (const FavouriteRunner* r = Runner(raceKey, ReadNumber(Cut(record, numberField))))
      return r->horse ? shown : SjisString();
    const SjisString whole = UnpaddedName(Cut(record, nameField));
    for (const Favourite& f : horses_)
      if (!whole.empty() && f.name == whole) return shown;
    return {};
  };
  switch (type) {
    case ChangeType::WE:
      return {};
    case ChangeType::AV:
      return favouriteHorse(AV::HorseNumber, AV::HorseName);
    case ChangeType::JC: {
      if (SjisString horse = favouriteHorse(JC::HorseNumber, JC::HorseName); !horse.empty())
        return horse;
      const FavouriteRunner* r = Runner(raceKey, ReadNumber(Cut(record, JC::HorseNumber)));
      if (r && r->jockey) return r->jockeyName;  // from the favourite jockey entered
      // The change record names its jockeys in full; a favourite's short name is part of it.
      const SjisString before = UnpaddedName(Cut(record, JC::JockeyBefore));
      const SjisString after = UnpaddedName(Cut(record, JC::JockeyAfter));
      for (const Favourite& f : jockeys_)
        if (ContainsText(before, f.name) || ContainsText(after, f.name)) return f.name;
      return {};
    }
    case ChangeType::TC:
    case ChangeType::CC: {
      const auto race = runners_.find(raceKey);
      if (race == runners_.end()) return {};
      for (const auto& [number, r] : race->second) {
        if (r.horse) return r.horseName;
        if (r.jockey) return r.jockeyName;
      }
      return {};
    }
  }
  return {};
}

}  // namespace tavolen
