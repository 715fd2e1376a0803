// Records and folders for the stand-in tests, built straight from the record layouts.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "jvlink/FileIO.h"

namespace tavolen::test {

// A record of `length` bytes (CR LF included): blanks with the given texts at their 1-based
// positions.
inline std::string Rec(int length, std::vector<std::pair<int, std::string>> fields) {
  std::string r(static_cast<size_t>(length), ' ');
  r[r.size() - 2] = '\r';
  r[r.size() - 1] = '\n';
  for (auto& [pos, text] : fields) r.replace(static_cast<size_t>(pos - 1), text.size(), text);
  return r;
}

// key: the 16-digit race key.
inline std::string Ra(const std::string& key) {
  return Rec(1272, {{1, "RA2"}, {12, key}});
}
inline std::string Se(const std::string& key, const std::string& horse) {
  return Rec(555, {{1, "SE2"}, {12, key}, {29, horse}});
}
// courseDay: positions 12-25; stamp: month, day, hour, minute.
inline std::string We(const std::string& courseDay, const std::string& stamp, char kind) {
  return Rec(42, {{1, "WE"}, {12, courseDay}, {26, stamp}, {34, std::string(1, kind)}});
}
inline std::string Av(const std::string& key, const std::string& stamp, const std::string& horse) {
  return Rec(78, {{1, "AV1"}, {12, key}, {28, stamp}, {36, horse}});
}
inline std::string Tc(const std::string& key, const std::string& stamp) {
  return Rec(45, {{1, "TC1"}, {12, key}, {28, stamp}, {36, "10401030"}});
}

inline fs::path TempDir(const std::string& name) {
  const char* base = std::getenv("TAVOLEN_TEST_TMP");
  fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) / "standin" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  ASSERT_TRUE(WriteFileAtomic(path, bytes));
}

}  // namespace tavolen::test
