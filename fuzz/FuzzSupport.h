// Shared helpers of the file fuzz targets: checks that abort, a scratch application folder,
// the chunked input format and an independent line splitter, on top of the shared test support
// (snapshots, file bytes).
//
// Input format of the file targets: chunks separated by "@@@"; the first byte of a chunk says
// what it is, the rest is its payload (see each target).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/Files.h"

namespace tavolen::fuzzing {

namespace fs = std::filesystem;

#define FUZZ_CHECK(cond)                                                     \
  do {                                                                       \
    if (!(cond)) {                                                           \
      std::fprintf(stderr, "check failed: %s (line %d)\n", #cond, __LINE__); \
      std::abort();                                                          \
    }                                                                        \
  } while (0)

// The libFuzzer entry point of a target whose Harness type has Run(std::string_view); one
// harness lives for the whole run.
#define TAVOLEN_FUZZ_ENTRY(Harness)                                           \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {   \
    static Harness harness;                                                   \
    harness.Run(std::string_view(reinterpret_cast<const char*>(data), size)); \
    return 0;                                                                 \
  }

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

// Calls handle(kind, payload) for every non-empty chunk: its first byte and the rest.
template <typename Handler>
void ForEachChunk(std::string_view input, Handler&& handle) {
  for (std::string_view chunk : SplitChunks(input))
    if (!chunk.empty()) handle(chunk[0], chunk.substr(1));
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

using testsupport::Changed;
using testsupport::ReadFileBytes;
using testsupport::Snapshot;
using testsupport::TakeSnapshot;

inline void PutFile(const fs::path& p, std::string_view bytes) {
  FUZZ_CHECK(testsupport::WriteFileBytes(p, bytes));
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
// start another line. Worked out apart from the program's splitter: every CR LF and every lone
// CR becomes LF first, then the text is cut at each LF.
inline std::vector<std::string> TextLinesOf(std::string_view text) {
  std::string unified;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool crLf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    if (crLf) continue;  // the LF that follows stands for both
    unified += text[i] == '\r' ? '\n' : text[i];
  }
  std::vector<std::string> lines;
  std::string_view rest = unified;
  while (!rest.empty()) {
    const size_t lf = rest.find('\n');
    lines.emplace_back(rest.substr(0, lf));
    if (lf == std::string_view::npos) break;
    rest.remove_prefix(lf + 1);
  }
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

using testsupport::DateName;

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

// A number field without blanks around it and without its sign: negative tells whether the
// sign was "-".
inline std::string_view WithoutSign(std::string_view s, bool& negative) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  negative = !s.empty() && s[0] == '-';
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
  return s;
}

// JRA course codes 01-10 and the names their entry files carry, written here apart from the
// program's code tables.
inline constexpr std::string_view kJraCodes[] = {"01", "02", "03", "04", "05",
                                                 "06", "07", "08", "09", "10"};
inline constexpr std::string_view kJraNames[] = {"札幌", "函館", "福島", "新潟", "東京",
                                                 "中山", "中京", "京都", "阪神", "小倉"};

inline std::optional<std::string> JraName(std::string_view code) {
  for (size_t i = 0; i < std::size(kJraCodes); ++i)
    if (kJraCodes[i] == code) return std::string(kJraNames[i]);
  return std::nullopt;
}

// A course index 0-9 from any byte of a payload: a digit is itself, anything else its value
// modulo 10.
inline unsigned CourseIndex(char ch) {
  const unsigned char c = static_cast<unsigned char>(ch);
  return c >= '0' && c <= '9' ? c - '0' : c % 10;
}

// A generated file of text lines from a payload: three digits of line count (at most 400),
// three digits of line length (at most 700), six digits of an offset, then bytes laid over the
// lines from that offset. line(i, length) makes line i; it is cut or padded to the length and
// ends in CR LF.
template <typename MakeLine>
std::string GeneratedLines(std::string_view payload, MakeLine&& line) {
  const size_t lines = std::min<size_t>(TakeNumber(payload, 3), 400);
  const size_t length = std::min<size_t>(TakeNumber(payload, 3), 700);
  const size_t offset = TakeNumber(payload, 6);
  std::string bytes;
  for (size_t i = 0; i < lines; ++i) {
    std::string text = line(i, length);
    text.resize(length, ' ');
    bytes += text + "\r\n";
  }
  if (offset < bytes.size()) Overlay(bytes, offset + 1, payload, bytes.size());
  return bytes;
}

}  // namespace tavolen::fuzzing
