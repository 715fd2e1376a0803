// The program's only way to read and replace files. Every file is replaced whole through
// WriteFileAtomic, so a crash or a full disk leaves the old contents or the new, never a mix.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/Sjis.h"

namespace tavolen {

namespace fs = std::filesystem;

// Why a file or store operation failed. Tests check this; the wording for the user is made
// where the failure is shown (base/FailureText.h).
enum class FileError {
  None,
  Open,              // a file that cannot be opened (or is no file)
  Read,              // a file that cannot be read whole
  Write,             // a file that cannot be replaced; systemError says why
  Folder,            // a folder that cannot be made; systemError says why
  SettingsRead,      // the settings file cannot be read, so it is not written either
  SettingsEntry,     // a settings entry that would not read back as written; detail names it
  LogRead,           // the error log cannot be read
  LogSave,           // the error log cannot be replaced; detail is its path, systemError why
  RenewText,         // the renew file's stamps hold a character a line cannot keep
  ChangeRead,        // a change, renew or memory file that exists but is no readable file
  AppFolderMissing,  // no application folder could be chosen
  AppFolderCreate,   // the application folder cannot be made; detail is its path
  AppFolderEnter,    // the application folder cannot be made the working folder
};

// The outcome of a file operation: a reason code, the path or entry it concerns (code page 932)
// and the system's error number.
struct FileStatus {
  bool ok = true;
  FileError reason = FileError::None;
  SjisString detail;    // code page 932
  int systemError = 0;  // errno of the failing call; 0 when none

  explicit operator bool() const { return ok; }
  static FileStatus Ok() { return {}; }
  static FileStatus Fail(FileError reason, SjisString detail = {}, int systemError = 0) {
    return {false, reason, std::move(detail), systemError};
  }
};

// Writes bytes to a temporary file in the same folder, closes it and renames it over path.
// On failure the old file is untouched and no temporary file is left behind.
FileStatus WriteFileAtomic(const fs::path& path, std::string_view bytes);

// Reads a whole file. A missing or unreadable file is a failure with a message.
FileStatus ReadWholeFile(const fs::path& path, std::string& out);

bool FileExists(const fs::path& path);

// Creates one folder level if it does not exist.
FileStatus EnsureFolder(const fs::path& dir);

// The folder named name inside parent, found whatever its letter case: an exact match first,
// then the first other spelling ("DATA" from an older install, "data"); parent / name when
// there is none, so that it can be created under its own spelling.
fs::path FindFolderAnyCase(const fs::path& parent, std::string_view name);

// Whether a file name (UTF-8) ends with ext, compared as the file system compares names:
// without regard to letter case on Windows ("*.jvRA" lists "X.JVRA" there).
bool MatchesExtension(std::string_view name, std::string_view ext);

// Removes temporary files that a killed process left in dir; returns how many.
int RemoveStaleTempFiles(const fs::path& dir);

// The suffix that marks a temporary file of WriteFileAtomic.
inline constexpr std::string_view kTempSuffix = ".tavolen-tmp";

// Test seam: when set, a write whose target the predicate accepts fails as a full disk would.
using WriteFault = std::function<bool(const fs::path&)>;
void SetWriteFaultForTesting(WriteFault fault);

// The path as a code page 932 text, for messages and list lines.
SjisString PathText(const fs::path& path);

// A path from a code page 932 name (file names are UTF-8 on disk).
fs::path SjisPath(std::string_view sjis);

// A path from a UTF-8 text, and the UTF-8 text of a path. Every name goes through these (or
// SjisPath and PathText): on Windows, std::filesystem reads and writes a narrow text in the ANSI
// code page, which cannot hold a name like "2024年01月06日.jvRA".
fs::path Utf8Path(std::string_view utf8);
std::string Utf8Text(const fs::path& path);

}  // namespace tavolen
