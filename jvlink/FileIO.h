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

// The outcome of a file operation; a failure carries a Japanese message for the user.
struct FileStatus {
  bool ok = true;
  SjisString message;  // code page 932; empty when ok

  explicit operator bool() const { return ok; }
  static FileStatus Ok() { return {}; }
  static FileStatus Fail(SjisString m) { return {false, std::move(m)}; }
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
