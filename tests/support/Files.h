// Scratch folders, raw file bytes and folder snapshots for every test program, the fuzz targets
// and the benchmarks.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/FileIO.h"

namespace tavolen::testsupport {

namespace fs = std::filesystem;

// The root of the scratch folders: $TAVOLEN_TEST_TMP, else the system's temporary folder.
fs::path TempRoot();

// An empty folder at TempRoot()/name (name may hold a group, "acquire/window"); whatever was
// there is removed first, even a folder a test left without write permission.
fs::path TempDir(const std::string& name);

// TempDir(name) with an empty Data folder inside: a fresh application folder.
fs::path FreshDir(const std::string& name);

// The string of these byte values (0 to 255), for writing raw code page 932 bytes readably.
inline std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

// The bytes of a file; empty when it cannot be read.
std::string ReadFileBytes(const fs::path& path);

// Replaces a file with the bytes (a plain write, for setting up a test); false on failure.
bool WriteFileBytes(const fs::path& path, std::string_view bytes);

// The names directly inside a folder, sorted; empty when it cannot be read.
std::vector<std::string> Names(const fs::path& dir);
inline int FileCount(const fs::path& dir) {
  return static_cast<int>(Names(dir).size());
}

// Every entry of a folder tree, for "nothing was written" checks.
size_t CountEntries(const fs::path& dir);

// Every entry under a folder by its relative name: files with their bytes, folders "<dir>".
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(const fs::path& root);

// The entries whose bytes differ between two snapshots, or that exist in only one.
std::vector<std::string> Changed(const Snapshot& before, const Snapshot& after);

// The resident memory of this process in kilobytes (VmRSS); -1 when it cannot be read.
long ResidentKilobytes();

// "yyyy年mm月dd日" from eight digits, as a file-system (UTF-8) name: the start of the names of
// a date's race, change and renew files. Written here apart from the program's own naming, so
// a test notices when the program names a file wrongly.
std::string DateName(std::string_view date8);

// DateName(date8) + suffix (UTF-8), e.g. ".jvRA", "東京.jvSEr", ".jvWE", ".renew".
inline fs::path RaceFileName(std::string_view date8, std::string_view suffixUtf8) {
  return Utf8Path(DateName(date8) + std::string(suffixUtf8));
}

}  // namespace tavolen::testsupport
