// The file-shape checks shared by the reliability tests and the crash driver, on top of the
// shared test support (records, scratch folders, snapshots).
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen::reliability {

using namespace tavolen::testsupport;

// A fresh application folder with an empty Data folder, under the reliability tests' scratch
// folder.
inline fs::path FreshApp(const std::string& name) {
  return FreshDir("reliability/" + name);
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
