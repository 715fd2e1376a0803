// The settings file: Windows private-profile (INI) behaviour over a code page 932 file.
// Every write goes to the file at once, replacing it atomically and keeping every other line.
#pragma once

#include <string>
#include <string_view>

#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

namespace tavolen {

class IniFile {
 public:
  explicit IniFile(fs::path path) : path_(std::move(path)) {}

  const fs::path& path() const { return path_; }

  // Sections and keys match without regard to ASCII case; values are trimmed. A missing key,
  // or a value that is not an integer, gives def.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  FileStatus WriteInteger(std::string_view section, std::string_view key, int value);
  // Yes when the stored integer is not 0; written as "1" or "0".
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  FileStatus WriteBool(std::string_view section, std::string_view key, bool value);
  // A value in double quotes or in "｢" "｣" is returned without them; a missing key gives def.
  SjisString ReadString(std::string_view section, std::string_view key,
                        const SjisString& def) const;
  FileStatus WriteString(std::string_view section, std::string_view key, std::string_view value);

 private:
  fs::path path_;
};

// The settings file of the running program: "<executable name>.ini" in the application folder.
fs::path SettingsFilePath(const fs::path& appFolder, const std::string& executableName);

}  // namespace tavolen
