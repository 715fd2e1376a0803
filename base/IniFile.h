// The settings file: Windows private-profile (INI) behaviour over a code page 932 file.
// Every write goes to the file at once, replacing it atomically and keeping every other line.
#pragma once

#include <string>
#include <string_view>

#include "base/SettingsKeys.h"
#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

namespace tavolen {

// Lines are "[section]" headers, "key=value" lines and anything else (comments starting with
// ";", blank lines, other text), which is kept as it is. Lines may end in CR LF, LF or CR; a
// write saves CR LF. Only the first section of a name and its first key of a name count. A
// missing or unreadable file reads as empty. Texts are code page 932: "]" and "=" are found and
// ASCII letters folded only outside double-byte characters.
class IniFile {
 public:
  explicit IniFile(fs::path path) : path_(std::move(path)) {}

  const fs::path& path() const { return path_; }

  // Sections and keys match without regard to ASCII case; values are trimmed. A missing key,
  // or a value that is not an integer, gives def. An integer is the whole value (after a pair
  // of quotes is removed): decimal digits with an optional sign, within the range of int.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  FileStatus WriteInteger(std::string_view section, std::string_view key, int value);
  // Yes when the stored integer is not 0; written as "1" or "0".
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  FileStatus WriteBool(std::string_view section, std::string_view key, bool value);
  // A value in double quotes or in "｢" "｣" is returned without them; a missing key gives def.
  SjisString ReadString(std::string_view section, std::string_view key,
                        const SjisString& def) const;
  // Every write replaces the file at once and keeps its other lines. The key's line becomes
  // "key=value" (the key spelled as in the file); a new key goes after the last key of its
  // section, a new section at the end. An entry that would not read back as written (a line
  // break, "]" in the section, "=" in the key, a key starting with "[" or ";", an empty key) is
  // refused, as is a write to a file that exists but cannot be read; the file stays as it was.
  FileStatus WriteString(std::string_view section, std::string_view key, std::string_view value);

  // The same by the settings table's names, with the table's default.
  int Read(const Setting<int>& s) const { return ReadInteger(s.section, s.key, s.def); }
  bool Read(const Setting<bool>& s) const { return ReadBool(s.section, s.key, s.def); }
  SjisString Read(const Setting<SjisString>& s) const {
    return ReadString(s.section, s.key, SjisString(s.def));
  }
  // With a default the moment decides.
  int Read(const Setting<int>& s, int def) const { return ReadInteger(s.section, s.key, def); }
  bool Read(const Setting<bool>& s, bool def) const { return ReadBool(s.section, s.key, def); }
  SjisString Read(const Setting<SjisString>& s, const SjisString& def) const {
    return ReadString(s.section, s.key, def);
  }
  FileStatus Write(const Setting<int>& s, int value) {
    return WriteInteger(s.section, s.key, value);
  }
  FileStatus Write(const Setting<bool>& s, bool value) {
    return WriteBool(s.section, s.key, value);
  }
  FileStatus Write(const Setting<SjisString>& s, std::string_view value) {
    return WriteString(s.section, s.key, value);
  }

 private:
  fs::path path_;
};

// The settings file of the running program: the executable's file name (a file system name)
// with its extension replaced by ".ini", in the application folder.
fs::path SettingsFilePath(const fs::path& appFolder, const std::string& executableName);

}  // namespace tavolen
