#include "standin/Traits.h"

#include <sstream>

#include "jvlink/Sjis.h"

namespace tavolen {

StandInTraits ParseTraits(std::string_view text) {
  StandInTraits t;
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string a, b;
    words >> a >> b;
    if (a == "size" && b == "back") {
      t.sizeBack = true;
    } else if (a == "size" && b == "cut") {
      t.sizeBack = t.sizeCut = true;
    } else if (a == "downloading") {
      try {
        t.downloadingReads = std::max(0, std::stoi(b));
      } catch (...) {
      }
    } else if (a == "version" && b == "none") {
      t.noVersion = true;
    } else if (a == "version" && !b.empty()) {
      t.version = b;
    } else if (a == "update" && b == "box") {
      int seconds = -1;
      if (words >> seconds && seconds >= 0) t.updateBoxSeconds = seconds;
    }
  }
  return t;
}

StandInTraits LoadTraits(const fs::path& folder) {
  const fs::path file = folder / kStandInTraitsFileName;
  if (!FileExists(file)) return {};
  std::string text;
  if (!ReadWholeFile(file, text)) return {};
  return ParseTraits(text);
}

SjisString CutRecord(const SjisString& record, int size) {
  if (size <= 0) return {};
  if (record.size() < static_cast<size_t>(size)) return record;
  const size_t keep = static_cast<size_t>(size) - 1;
  size_t i = 0;
  while (i < keep) {
    const size_t width = IsSjisLeadByte(static_cast<unsigned char>(record[i])) ? 2 : 1;
    if (i + width > keep) break;
    i += width;
  }
  return record.substr(0, i);
}

}  // namespace tavolen
