// Records built field by field from their layouts, and scratch folders, for the file tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "jvlink/Sjis.h"

namespace tavolen::testing {

namespace fs = std::filesystem;

// A blank record of the given size (CR LF included) with the type at position 1.
inline std::string BlankRecord(std::string_view type, size_t size) {
  std::string r(size - 2, ' ');
  r += "\r\n";
  r.replace(0, type.size(), type);
  return r;
}

// Writes text over the record from 1-based position pos.
inline void Put(std::string& record, int pos, std::string_view text) {
  record.replace(static_cast<size_t>(pos - 1), text.size(), text);
}

// An RA record: division 7 is rejected, 1-6 are stored. The race name carries the marker so
// records of one race can be told apart.
inline std::string MakeRa(std::string_view date, std::string_view course, std::string_view race,
                          std::string_view division = "7", std::string_view marker = "A") {
  std::string r = BlankRecord("RA", 1272);
  Put(r, 3, division);
  Put(r, 4, "20240105");  // creation date
  Put(r, 12, date);
  Put(r, 20, course);
  Put(r, 22, "01");  // meeting
  Put(r, 24, "02");  // day number
  Put(r, 26, race);
  Put(r, 33, Sj("テスト記念") + std::string(marker));
  Put(r, 874, "1025");
  Put(r, 882, "16");
  Put(r, 1268, "END");
  return r;
}

inline std::string MakeSe(std::string_view date, std::string_view course, std::string_view race,
                          std::string_view horse, std::string_view division = "7",
                          std::string_view marker = "A") {
  std::string r = BlankRecord("SE", 555);
  Put(r, 3, division);
  Put(r, 4, "20240105");
  Put(r, 12, date);
  Put(r, 20, course);
  Put(r, 22, "01");
  Put(r, 24, "02");
  Put(r, 26, race);
  Put(r, 28, "1");
  Put(r, 29, horse);
  Put(r, 41, Sj("ウマノナマエ") + std::string(marker));
  Put(r, 551, "END");
  return r;
}

// A fresh, empty folder for one test, with an empty Data folder inside it.
inline fs::path FreshDir(const std::string& name) {
  const char* base = std::getenv("TAVOLEN_TEST_TMP");
  fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) / name;
  fs::remove_all(dir);
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
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every entry of a folder tree, for "nothing was written" checks.
inline size_t CountEntries(const fs::path& dir) {
  size_t n = 0;
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
       ++it)
    ++n;
  return n;
}

}  // namespace tavolen::testing
