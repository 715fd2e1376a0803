// The few operating-system services the ground floor needs, one implementation per platform
// (PlatformPosix.cpp, PlatformWin32.cpp).
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace tavolen {

// The local calendar time of a moment.
std::tm LocalTime(std::time_t t);

// The id of this process, to name temporary files.
unsigned long ProcessId();

struct FileStamp {
  unsigned long long size = 0;
  long long modifiedNs = 0;     // nanoseconds since 1970 (for "has the file changed")
  std::time_t modifiedSec = 0;  // seconds since 1970
};
// The size and modification time of a regular file; false for anything else.
bool StatRegularFile(const std::filesystem::path& path, FileStamp& stamp);

// The folder where a user's programs keep their data: $XDG_DATA_HOME or ~/.local/share on
// Linux, %LOCALAPPDATA% on Windows; the temporary folder when none is known.
std::filesystem::path UserDataFolder();

// The full path of the running program file (/proc/self/exe on Linux, GetModuleFileNameW on
// Windows); empty when it cannot be found.
std::filesystem::path ProgramFilePath();

// The user's home folder: $HOME or the account's on Linux, %USERPROFILE% on Windows; empty when
// none is known.
std::filesystem::path HomeFolder();

// The user's data home as the environment sets it, in UTF-8: $XDG_DATA_HOME on Linux,
// %LOCALAPPDATA% on Windows; empty when unset.
std::string UserDataHomeSetting();

// Whether this process may create files in folder.
bool FolderWritable(const std::filesystem::path& folder);

// Whether the file system compares names without regard to letter case (Windows).
bool FileNamesIgnoreCase();

// Creates temp (which must not exist), writes bytes into it, closes it and renames it over
// path. 0 or an errno value (ENOSPC, EACCES, EROFS, EIO...); on failure temp is removed.
int WriteTempAndReplace(const std::filesystem::path& temp, const std::filesystem::path& path,
                        std::string_view bytes);

}  // namespace tavolen
