// Records built field by field from their layouts, scratch application folders, folder
// snapshots and the file-shape checks shared by the reliability tests and the crash driver.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/Sjis.h"

namespace tavolen::reliability {

namespace fs = std::filesystem;

// A blank record of the given size (CR LF included) with the type at position 1.
inline std::string Blank(std::string_view type, size_t size) {
  std::string r(size - 2, ' ');
  r += "\r\n";
  r.replace(0, type.size(), type);
  return r;
}

// Writes text over the record from 1-based position pos.
inline void Put(std::string& record, int pos, std::string_view text) {
  record.replace(static_cast<size_t>(pos - 1), text.size(), text);
}

inline std::string TwoDigits(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n % 100);
  return b;
}

// Race key (positions 12-27): date, course, meeting 01, day number 02, race.
inline std::string RaceKey(std::string_view date, std::string_view course, int race) {
  return std::string(date) + std::string(course) + "0102" + TwoDigits(race);
}

// An RA record of division 1 whose race name carries a marker, so versions can be told apart.
inline std::string MakeRa(std::string_view date, std::string_view course, int race,
                          std::string_view marker = "A") {
  std::string r = Blank("RA", 1272);
  Put(r, 3, "1");
  Put(r, 4, "20240105");
  Put(r, 12, RaceKey(date, course, race));
  Put(r, 33, Sj("テスト記念") + std::string(marker));
  Put(r, 874, "1025");
  Put(r, 882, "16");
  Put(r, 1268, "END");
  return r;
}

inline std::string MakeSe(std::string_view date, std::string_view course, int race, int horse,
                          std::string_view marker = "A") {
  std::string r = Blank("SE", 555);
  Put(r, 3, "1");
  Put(r, 4, "20240105");
  Put(r, 12, RaceKey(date, course, race));
  Put(r, 28, "1");
  Put(r, 29, TwoDigits(horse));
  Put(r, 41, Sj("ウマノナマエ") + std::string(marker));
  Put(r, 551, "END");
  return r;
}

// The stored day-file line of an RA record: no CR LF, "000000000" over positions 3-11.
inline std::string DayLine(std::string_view ra) {
  std::string line(ra.substr(0, 1270));
  line.replace(2, 9, "000000000");
  return line;
}

inline std::string MakeWe(std::string_view date, std::string_view course, std::string_view stamp,
                          std::string_view kind) {
  std::string r = Blank("WE", 42);
  Put(r, 3, "1");
  Put(r, 4, "20240105");
  Put(r, 12, std::string(date) + std::string(course) + "0102");
  Put(r, 26, stamp);
  Put(r, 34, kind);
  Put(r, 35, "111000");
  return r;
}

inline std::string MakeAv(std::string_view date, int race, int horse, std::string_view stamp) {
  std::string r = Blank("AV", 78);
  Put(r, 3, "1");
  Put(r, 12, RaceKey(date, "06", race));
  Put(r, 28, stamp);
  Put(r, 36, TwoDigits(horse));
  Put(r, 38, Sj("トリケシウマ"));
  Put(r, 74, "001");
  return r;
}

inline std::string MakeJc(std::string_view date, int race, int horse, std::string_view stamp,
                          std::string_view after) {
  std::string r = Blank("JC", 161);
  Put(r, 12, RaceKey(date, "06", race));
  Put(r, 28, stamp);
  Put(r, 36, TwoDigits(horse));
  Put(r, 38, Sj("ノリカエウマ"));
  Put(r, 74, "570");
  Put(r, 82, after);
  Put(r, 125, Sj("マエノキシュ"));
  return r;
}

inline std::string MakeTc(std::string_view date, int race, std::string_view stamp,
                          std::string_view newTime) {
  std::string r = Blank("TC", 45);
  Put(r, 12, RaceKey(date, "06", race));
  Put(r, 28, stamp);
  Put(r, 36, newTime);
  Put(r, 40, "1530");
  return r;
}

inline std::string MakeCc(std::string_view date, int race, std::string_view stamp) {
  std::string r = Blank("CC", 50);
  Put(r, 12, RaceKey(date, "06", race));
  Put(r, 28, stamp);
  Put(r, 36, "1800");
  Put(r, 40, "24");
  Put(r, 42, "1600");
  Put(r, 46, "24");
  return r;
}

// "yyyy年mm月dd日" as a file-system (UTF-8) name.
inline std::string DateName(std::string_view date8) {
  return std::string(date8.substr(0, 4)) + "年" + std::string(date8.substr(4, 2)) + "月" +
         std::string(date8.substr(6, 2)) + "日";
}

inline fs::path ScratchRoot() {
  const char* base = std::getenv("TAVOLEN_TEST_TMP");
  return fs::path(base ? base : fs::temp_directory_path().string()) / "reliability";
}

// A fresh application folder with an empty Data folder.
inline fs::path FreshApp(const std::string& name) {
  fs::path dir = ScratchRoot() / name;
  std::error_code ec;
  fs::permissions(dir / "Data", fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(dir, ec);
  fs::create_directories(dir / "Data");
  return dir;
}

inline std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void Spit(const fs::path& p, std::string_view bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  if (!out) return;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every entry under a folder: files with their bytes, folders marked "<dir>".
using Snapshot = std::map<std::string, std::string>;

inline Snapshot TakeSnapshot(const fs::path& root) {
  Snapshot s;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::u8string rel = fs::relative(it->path(), root).generic_u8string();
    s[std::string(rel.begin(), rel.end())] =
        it->is_directory() ? std::string("<dir>") : Slurp(it->path());
  }
  return s;
}

// Lines of a text split at CR LF; false when the text does not end in CR LF or holds a lone
// CR or LF.
inline bool CrLfLines(std::string_view text, std::vector<std::string>& lines) {
  lines.clear();
  size_t start = 0;
  while (start < text.size()) {
    const size_t at = text.find("\r\n", start);
    if (at == std::string_view::npos) return false;
    std::string_view line = text.substr(start, at - start);
    if (line.find_first_of("\r\n") != std::string_view::npos) return false;
    lines.emplace_back(line);
    start = at + 2;
  }
  return true;
}

// The shapes the program promises for its files; each returns an empty text when the file
// keeps them, otherwise what is wrong.

// A whole number of 1272-byte records, each "RA000000000" ... CR LF, sorted, one per race.
inline std::string DayFileProblem(std::string_view text) {
  if (text.size() % 1272 != 0) return "size not a multiple of 1272";
  std::vector<std::string> lines;
  if (!CrLfLines(text, lines)) return "line ends";
  std::set<std::string> keys;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].size() != 1270) return "line length";
    if (lines[i].substr(0, 11) != "RA000000000") return "line start";
    if (i > 0 && lines[i] < lines[i - 1]) return "order";
    if (!keys.insert(lines[i].substr(11, 16)).second) return "two lines for one race";
  }
  return {};
}

// Exactly 216 lines of 553 bytes.
inline std::string EntryFileProblem(std::string_view text) {
  if (text.size() != 216 * 555) return "size not 216 x 555";
  std::vector<std::string> lines;
  if (!CrLfLines(text, lines) || lines.size() != 216) return "line ends";
  for (const auto& l : lines)
    if (l.size() != 553) return "line length";
  return {};
}

}  // namespace tavolen::reliability
