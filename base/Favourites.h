// The user's favourite horses and jockeys: the list, its file, and what the day's runner records
// and change records say about them. A horse is known by its registration number (so a horse
// that is renamed keeps its mark), a jockey by the jockey code; each keeps the name it was last
// seen with, for display. Pure C++.
//
// The list file "Favourites.txt" lies in the application folder: code page 932, CR LF, the line
// "Tavolen favourites 1", then one line per favourite: "H" or "J", a tab, the registration number
// (10 digits) or jockey code (5 digits), a tab, the name.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/ChangeFiles.h"
#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

namespace tavolen {

enum class FavouriteKind { Horse, Jockey };

struct Favourite {
  FavouriteKind kind = FavouriteKind::Horse;
  SjisString code;  // registration number (horse) or jockey code (jockey)
  SjisString name;  // as last seen, without its padding
  friend bool operator==(const Favourite&, const Favourite&) = default;
};

inline constexpr const char* kFavouritesFileName = "Favourites.txt";
inline constexpr std::string_view kFavouritesHeader = "Tavolen favourites 1";

// Whether a code can name a favourite of the kind: 10 digits for a horse, 5 for a jockey.
bool ValidFavouriteCode(FavouriteKind kind, std::string_view code);

// A name without the half-width and full-width blanks that pad it, and without a lead byte a
// fixed-width cut left at its end.
SjisString UnpaddedName(std::string_view name);

class FavouriteList {
 public:
  const std::vector<Favourite>& items() const { return items_; }
  bool empty() const { return items_.empty(); }
  const Favourite* Find(FavouriteKind kind, std::string_view code) const;
  bool Contains(FavouriteKind kind, std::string_view code) const {
    return Find(kind, code) != nullptr;
  }
  // Adds a favourite (false when the code is not valid or already listed).
  bool Add(FavouriteKind kind, std::string_view code, std::string_view name);
  bool Remove(FavouriteKind kind, std::string_view code);
  // Adds it when it is not listed, otherwise removes it; true when it is listed afterwards.
  bool Toggle(FavouriteKind kind, std::string_view code, std::string_view name);

 private:
  std::vector<Favourite> items_;
};

// The list in a file's bytes; none when the file is damaged (no header, a line that is no
// favourite), so that a damaged file is never taken for a shorter list and saved over.
std::optional<FavouriteList> ParseFavourites(std::string_view bytes);
std::string FavouritesBytes(const FavouriteList& list);

// The favourites file of the program and its state. A damaged or unreadable file is moved aside
// (renamed to "Favourites-damaged-yyyymmddhhnnss.txt" beside it, never deleted) and the program
// goes on with an empty list; a file that cannot even be moved aside is never saved over.
class FavouritesStore {
 public:
  explicit FavouritesStore(fs::path file) : file_(std::move(file)) {}

  const fs::path& path() const { return file_; }
  FavouriteList& list() { return list_; }
  const FavouriteList& list() const { return list_; }

  // Reads the file. Returns the problem in words for the error log and the status line, empty
  // when the file was read or is missing.
  SjisString Load(const LocalDateTime& now);
  // Writes the whole list atomically.
  FileStatus Save() const;

 private:
  fs::path file_;
  FavouriteList list_;
  bool mayWrite_ = true;
};

// The name of the file a damaged favourites file is moved to, for a moment.
fs::path DamagedFavouritesPath(const fs::path& file, const LocalDateTime& now);

// One runner of the day, as the favourites see it.
struct FavouriteRunner {
  int horseNumber = 0;
  SjisString horseName;   // unpadded
  SjisString jockeyName;  // unpadded
  bool horse = false;     // a favourite horse
  bool jockey = false;    // ridden by a favourite jockey
};

// What the day's runner records say about the favourites: which runners are favourites, which
// races a favourite runs in, and which change records concern one.
class FavouriteDay {
 public:
  FavouriteDay() = default;
  // runnerRecords: the day's SE records (blank records are skipped).
  FavouriteDay(const FavouriteList& list, const std::vector<std::string>& runnerRecords);

  // Whether a favourite horse runs, or a favourite jockey rides, in the race (16-digit key).
  bool RaceHasFavourite(std::string_view raceKey) const;
  // The runner of a race with that horse number; null when the day has no such record.
  const FavouriteRunner* Runner(std::string_view raceKey, int horseNumber) const;
  // The name of the favourite a change record concerns; empty when it concerns none. A scratch
  // or exclusion of a favourite horse; a jockey change of a favourite horse or to or from a
  // favourite jockey; a post-time or course change of a race a favourite runs in. Weather and
  // going concern no favourite.
  SjisString Concerned(ChangeType type, std::string_view record) const;

 private:
  std::vector<Favourite> horses_, jockeys_;
  // Every runner of the day, favourite or not, by race key and horse number.
  std::map<std::string, std::map<int, FavouriteRunner>, std::less<>> runners_;
};

}  // namespace tavolen
