// Shared helpers of the file fuzz targets: checks that abort, a scratch application folder,
// snapshots of a folder tree, the chunked input format and an independent line splitter.
//
// Input format of the file targets: chunks separated by "@@@"; the first byte of a chunk says
// what it is, the rest is its payload (see each target).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tavolen::fuzzing {

namespace fs = std::filesystem;

#define FUZZ_CHECK(cond)                                                     \
  do {                                                                       \
    if (!(cond)) {                                                           \
      std::fprintf(stderr, "check failed: %s (line %d)\n", #cond, __LINE__); \
      std::abort();                                                          \
    }                                                                        \
  } while (0)

inline constexpr std::string_view kChunkSeparator = "@@@";
inline constexpr size_t kMaxChunks = 64;

inline std::vector<std::string_view> SplitChunks(std::string_view input) {
  std::vector<std::string_view> chunks;
  while (chunks.size() < kMaxChunks) {
    const size_t at = input.find(kChunkSeparator);
    chunks.push_back(input.substr(0, at));
    if (at == std::string_view::npos) break;
    input.remove_prefix(at + kChunkSeparator.size());
  }
  return chunks;
}

// An application folder with an empty Data folder, emptied again before every input.
struct ScratchApp {
  fs::path root;
  fs::path data;
  explicit ScratchApp(const std::string& name) {
    root = fs::temp_directory_path() / (name + "-" + std::to_string(getpid()));
    data = root / "Data";
    Reset();
  }
  ~ScratchApp() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  void Reset() {
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(data);
  }
};

// Every entry under a folder: files with their bytes, folders with the marker "<dir>".
using Snapshot = std::map<std::string, std::string>;

inline std::string FileBytes(const fs::path& p) {
  std::string out;
  FILE* f = std::fopen(p.c_str(), "rb");
  if (!f) return out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

inline void PutFile(const fs::path& p, std::string_view bytes) {
  FILE* f = std::fopen(p.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline Snapshot TakeSnapshot(const fs::path& root) {
  Snapshot s;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string rel = fs::relative(it->path(), root).string();
    s[rel] = it->is_directory() ? std::string("<dir>") : FileBytes(it->path());
  }
  return s;
}

// The entries whose bytes differ between two snapshots, or that exist in only one.
inline std::vector<std::string> Changed(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> out;
  for (const auto& [name, bytes] : after) {
    auto it = before.find(name);
    if (it == before.end() || it->second != bytes) out.push_back(name);
  }
  for (const auto& [name, bytes] : before)
    if (!after.count(name)) out.push_back(name);
  return out;
}

// Nothing but the Data folder and plain files directly inside it; no temporary file is left.
inline void CheckOnlyDataFiles(const Snapshot& s) {
  for (const auto& [name, bytes] : s) {
    if (name == "Data") {
      FUZZ_CHECK(bytes == "<dir>");
      continue;
    }
    FUZZ_CHECK(name.starts_with("Data/"));
    FUZZ_CHECK(name.find('/', 5) == std::string::npos);
    FUZZ_CHECK(bytes != "<dir>");
    FUZZ_CHECK(!name.ends_with(".tavolen-tmp"));
  }
}

// Lines split at CR LF, LF or CR, as a file of text lines is read; a final line end does not
// start another line.
inline std::vector<std::string> TextLinesOf(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

// True when the text is the lines, each followed by CR LF, and no line holds a line break.
inline bool IsCrLfText(std::string_view text, const std::vector<std::string>& lines) {
  std::string joined;
  for (const auto& l : lines) {
    if (l.find_first_of("\r\n") != std::string::npos) return false;
    joined += l;
    joined += "\r\n";
  }
  return joined == text;
}

inline bool IsBlank(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) > 0x20) return false;
  return true;
}

inline bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// 1-based field of a record; empty when the record is too short to hold it.
inline std::string_view Field(std::string_view record, size_t pos, size_t len) {
  if (record.size() < pos - 1 + len) return {};
  return record.substr(pos - 1, len);
}

// "yyyy年mm月dd日" as a file-system (UTF-8) name from eight digits.
inline std::string DateKeyUtf8(std::string_view date8) {
  return std::string(date8.substr(0, 4)) + "年" + std::string(date8.substr(4, 2)) + "月" +
         std::string(date8.substr(6, 2)) + "日";
}

// Overlays bytes onto a record from 1-based position pos, never past limit bytes.
inline void Overlay(std::string& record, size_t pos, std::string_view bytes, size_t limit) {
  for (size_t i = 0; i < bytes.size() && pos - 1 + i < limit; ++i) record[pos - 1 + i] = bytes[i];
}

// Leading decimal digits of a payload: the number they make, and the payload after them.
inline size_t TakeNumber(std::string_view& payload, size_t digits) {
  size_t n = 0;
  for (size_t i = 0; i < digits; ++i) {
    if (payload.empty() || payload[0] < '0' || payload[0] > '9') break;
    n = n * 10 + static_cast<size_t>(payload[0] - '0');
    payload.remove_prefix(1);
  }
  return n;
}

}  // namespace tavolen::fuzzing
