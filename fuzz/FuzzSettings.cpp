// Fuzzes the settings file reader and writer. The input is the file's bytes, optionally
// followed by NUL and "section NUL key NUL value [NUL fault]": the entry that is written.
// Checks: reads never crash; a write either is refused or reads back; a write changes only the
// key's line (or adds it, or adds its section at the end); a failed write leaves the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/IniFile.h"
#include "fuzz/FuzzSupport.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

struct ScratchFolder {
  fs::path dir;
  ScratchFolder() {
    dir = fs::temp_directory_path() / ("tavolen-fuzz-settings-" + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

std::vector<std::string_view> SplitAtNul(std::string_view s) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == '\0') {
      parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// The lines after a write are the lines before with at most one line replaced, or one line
// inserted, or a section header and one key line added at the end.
bool OnlyTheEntryChanged(const Lines& before, const Lines& after) {
  if (after.size() < before.size() || after.size() > before.size() + 2) return false;
  size_t prefix = 0;
  while (prefix < before.size() && before[prefix] == after[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < before.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
    ++suffix;
  const size_t changedBefore = before.size() - prefix - suffix;
  const size_t changedAfter = after.size() - prefix - suffix;
  if (changedAfter == 2) return changedBefore == 0 && suffix == 0;
  return changedBefore <= 1 && changedAfter <= 1;
}

void Run(std::string_view input) {
  static ScratchFolder scratch;
  const fs::path file = scratch.dir / "Tavolen.ini";

  std::vector<std::string_view> parts = SplitAtNul(input);
  const std::string content(parts[0]);
  const std::string section(parts.size() > 1 ? parts[1] : "locate");
  const std::string key(parts.size() > 2 ? parts[2] : "top");
  const std::string value(parts.size() > 3 ? parts[3] : "\"2024/01/05 15:30:00\"");
  const bool fault = parts.size() > 4 && parts[4] == "fault";

  FUZZ_CHECK(WriteFileAtomic(file, content));
  IniFile ini(file);
  static const SjisString def = "\x01 default";
  ini.ReadInteger("locate", "top", 10);
  ini.ReadInteger("Time", "AutoRdataGet", 5);
  ini.ReadBool("datalist", "close", false);
  ini.ReadString("JvDataGet", "LastTime", def);
  ini.ReadInteger(section, key, 0);
  ini.ReadBool(section, key, true);
  const SjisString old = ini.ReadString(section, key, def);

  if (fault) SetWriteFaultForTesting([](const fs::path&) { return true; });
  FileStatus st = ini.WriteString(section, key, value);
  SetWriteFaultForTesting(nullptr);
  const std::string after = fuzzing::ReadFileBytes(file);
  if (!st) {
    FUZZ_CHECK(st.reason != FileError::None);
    FUZZ_CHECK(after == content);
    FUZZ_CHECK(IniFile(file).ReadString(section, key, def) == old);
    return;
  }
  FUZZ_CHECK(!fault);
  FUZZ_CHECK(OnlyTheEntryChanged(SplitLines(content), SplitLines(after)));
  FUZZ_CHECK(after.empty() || after.ends_with("\r\n"));

  // A second component on the same file reads what was written.
  IniFile other(file);
  const SjisString got = other.ReadString(section, key, def);
  const std::string_view trimmed = TrimBlanks(value);
  if (trimmed.empty() || (trimmed.front() != '"' && trimmed.front() != '\xA2'))
    FUZZ_CHECK(got == trimmed);
  else
    FUZZ_CHECK(trimmed.find(got) != std::string_view::npos);

  const int n = static_cast<int>(input.size()) - 1000;
  FUZZ_CHECK(other.WriteInteger(section, key, n));
  FUZZ_CHECK(ini.ReadInteger(section, key, n + 1) == n);
  FUZZ_CHECK(ini.ReadBool(section, key, n == 0) == (n != 0));
}

}  // namespace
}  // namespace tavolen

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tavolen::Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
