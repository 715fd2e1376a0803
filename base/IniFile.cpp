#include "base/IniFile.h"

#include <charconv>
#include <optional>
#include <vector>

#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

// Half-width corner brackets in code page 932.
constexpr char kCornerOpen = '\xA2';   // ｢
constexpr char kCornerClose = '\xA3';  // ｣

// Length of the character at s[i]: 2 for a lead byte followed by a trail byte, else 1. A
// stray lead byte counts as one character, the way the codec drops it.
size_t CharLength(std::string_view s, size_t i) {
  if (IsSjisLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() &&
      IsSjisTrailByte(static_cast<unsigned char>(s[i + 1])))
    return 2;
  return 1;
}

// Position of the first single-byte character c, never a trail byte; npos if none.
size_t FindChar(std::string_view s, char c) {
  for (size_t i = 0; i < s.size(); i += CharLength(s, i))
    if (s[i] == c && CharLength(s, i) == 1) return i;
  return std::string_view::npos;
}

// Single-byte ASCII letters in lower case; double-byte characters keep their bytes.
std::string Fold(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size();) {
    size_t n = CharLength(out, i);
    if (n == 1 && out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
    i += n;
  }
  return out;
}

// Whether the last character of s is the single byte c (not the trail byte of a pair).
bool EndsWithSingle(std::string_view s, char c) {
  if (s.empty() || s.back() != c) return false;
  size_t i = 0;
  while (i < s.size()) {
    size_t n = CharLength(s, i);
    if (i + n == s.size()) return n == 1;
    i += n;
  }
  return false;
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section name or key, trimmed
  std::string_view value;  // key lines: the value, trimmed
};

// Section header: "[" name "]" after optional blanks (no "]": the rest of the line is the
// name). Comment: ";" first. Key line: key "=" value. Anything else is kept but never matched.
ParsedLine ParseLine(std::string_view line) {
  ParsedLine p;
  std::string_view t = TrimBlanks(line);
  if (t.empty() || t.front() == ';') return p;
  if (t.front() == '[') {
    std::string_view rest = t.substr(1);
    size_t close = FindChar(rest, ']');
    p.kind = LineKind::Section;
    p.name = TrimBlanks(close == std::string_view::npos ? rest : rest.substr(0, close));
    return p;
  }
  size_t eq = FindChar(t, '=');
  if (eq == std::string_view::npos) return p;
  p.kind = LineKind::Key;
  p.name = TrimBlanks(t.substr(0, eq));
  p.value = TrimBlanks(t.substr(eq + 1));
  return p;
}

// Where a section and a key lie among the lines of the file.
struct Location {
  std::optional<size_t> section;  // the header line of the first matching section
  std::optional<size_t> key;      // the first matching key line within that section
  size_t lastKeyOrHeader = 0;     // the last key line of the section, or its header
};

Location Locate(const Lines& lines, std::string_view section, std::string_view key) {
  Location loc;
  const std::string wantSection = Fold(TrimBlanks(section));
  const std::string wantKey = Fold(TrimBlanks(key));
  bool inSection = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    ParsedLine p = ParseLine(lines[i]);
    if (p.kind == LineKind::Section) {
      if (inSection) break;  // only the first section of that name counts
      if (Fold(p.name) == wantSection) {
        inSection = true;
        loc.section = i;
        loc.lastKeyOrHeader = i;
      }
    } else if (inSection && p.kind == LineKind::Key) {
      loc.lastKeyOrHeader = i;
      if (!loc.key && Fold(p.name) == wantKey) loc.key = i;
    }
  }
  return loc;
}

// The settings file as lines; a missing file has none. An existing file that cannot be read
// is a failure, so that a write never replaces contents it has not seen.
FileStatus LoadLines(const fs::path& path, Lines& lines) {
  lines.clear();
  std::error_code ec;
  if (!fs::exists(path, ec) && !ec) return FileStatus::Ok();
  if (!FileExists(path))  // a folder or a device in its place is not read
    return FileStatus::Fail(FileError::SettingsRead, PathText(path));
  std::string bytes;
  FileStatus st = ReadWholeFile(path, bytes);
  if (!st) return st;
  lines = SplitLines(bytes);
  return FileStatus::Ok();
}

std::optional<std::string> LookUp(const fs::path& path, std::string_view section,
                                  std::string_view key) {
  Lines lines;
  if (!LoadLines(path, lines)) return std::nullopt;
  Location loc = Locate(lines, section, key);
  if (!loc.key) return std::nullopt;
  return std::string(ParseLine(lines[*loc.key]).value);
}

// A value in a pair of double quotes or corner brackets, without the pair.
std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2) {
    if (v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
    if (v.front() == kCornerOpen && EndsWithSingle(v, kCornerClose))
      return v.substr(1, v.size() - 2);
  }
  return v;
}

// Decimal with an optional sign, the whole text, within the range of int.
std::optional<int> ParseInteger(std::string_view v) {
  if (!v.empty() && v.front() == '+') {
    v.remove_prefix(1);
    if (!v.empty() && v.front() == '-') return std::nullopt;
  }
  int n = 0;
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (v.empty() || ec != std::errc() || end != v.data() + v.size()) return std::nullopt;
  return n;
}

bool HasLineBreak(std::string_view s) {
  return s.find('\r') != std::string_view::npos || s.find('\n') != std::string_view::npos;
}

// Whether the header and key lines built from section, key and value read back as written:
// no line breaks, no "]" in the section, no "=" in the key, no key that would read as a
// header or comment, no stray lead byte that would swallow the "]" or "=" after it.
FileStatus CheckWritable(std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view sec = TrimBlanks(section);
  const std::string_view k = TrimBlanks(key);
  bool ok = !HasLineBreak(section) && !HasLineBreak(key) && !HasLineBreak(value) && !k.empty();
  if (ok) {
    const std::string header = "[" + std::string(sec) + "]";
    ParsedLine h = ParseLine(header);
    ok = h.kind == LineKind::Section && h.name == sec && FindChar(header, ']') == header.size() - 1;
  }
  if (ok) {
    const std::string line = std::string(k) + "=" + std::string(value);
    ParsedLine p = ParseLine(line);
    ok = p.kind == LineKind::Key && p.name == k && p.value == TrimBlanks(value);
  }
  if (ok) return FileStatus::Ok();
  return FileStatus::Fail(FileError::SettingsEntry,
                          "[" + std::string(section) + "] " + std::string(key));
}

}  // namespace

int IniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  std::optional<std::string> v = LookUp(path_, section, key);
  if (!v) return def;
  return ParseInteger(Unquote(*v)).value_or(def);
}

FileStatus IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

FileStatus IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

SjisString IniFile::ReadString(std::string_view section, std::string_view key,
                               const SjisString& def) const {
  std::optional<std::string> v = LookUp(path_, section, key);
  if (!v) return def;
  return SjisString(Unquote(*v));
}

FileStatus IniFile::WriteString(std::string_view section, std::string_view key,
                                std::string_view value) {
  if (FileStatus st = CheckWritable(section, key, value); !st) return st;
  Lines lines;
  if (FileStatus st = LoadLines(path_, lines); !st) return st;

  const std::string_view sec = TrimBlanks(section);
  const std::string_view k = TrimBlanks(key);
  Location loc = Locate(lines, sec, k);
  if (loc.key) {
    // The key keeps its spelling in the file; only its value changes.
    lines[*loc.key] = std::string(ParseLine(lines[*loc.key]).name) + "=" + std::string(value);
  } else {
    std::string keyLine = std::string(k) + "=" + std::string(value);
    if (loc.section) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(loc.lastKeyOrHeader + 1),
                   std::move(keyLine));
    } else {
      lines.push_back("[" + std::string(sec) + "]");
      lines.push_back(std::move(keyLine));
    }
  }
  return WriteFileAtomic(path_, JoinLinesCrLf(lines));
}

fs::path SettingsFilePath(const fs::path& appFolder, const std::string& executableName) {
  fs::path name = Utf8Path(executableName).filename();
  if (name.empty() || name == "." || name == "..") name = "Tavolen";
  name.replace_extension(".ini");
  return appFolder / name;
}

}  // namespace tavolen
