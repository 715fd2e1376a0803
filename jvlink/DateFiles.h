// The names of the files of a date in the Data folder, for every writer and reader: the date
// key "yyyy年mm月dd日" followed by a suffix. A day file ".jvRA", an entry file per course
// (course name + ".jvSEr"), five change files (".jvWE", ".jvAV", ".jvJC", ".jvTC", ".jvCC"),
// the renew file ".renew" and the memory of what was announced ".announced".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "jvlink/Sjis.h"

namespace tavolen {

// The change categories, always in this order.
enum class ChangeType { WE = 0, AV = 1, JC = 2, TC = 3, CC = 4 };
inline constexpr int kChangeTypes = 5;

inline constexpr std::string_view kDayFileSuffix = ".jvRA";
inline constexpr std::string_view kEntryFileSuffix = ".jvSEr";
inline constexpr std::string_view kRenewFileSuffix = ".renew";
inline constexpr std::string_view kAnnouncedFileSuffix = ".announced";
// ".jvWE", ".jvAV", ".jvJC", ".jvTC", ".jvCC"
const char* ChangeExtension(ChangeType type);

// The date key is 14 bytes of code page 932.
inline constexpr size_t kDateKeyLength = 14;

// The date key of positions 12-19 of a race, runner or change record; empty when they are not
// all digits (the name must never carry a folder separator or "..").
SjisString RecordDateKey(std::string_view record);

// dateKey + suffix; an entry file's suffix is the course name + kEntryFileSuffix.
SjisString DateFileName(std::string_view dateKey, std::string_view suffix);

// The date key at the start of a date file's name: its first 14 bytes.
SjisString FileDateKey(const std::filesystem::path& dateFile);

// The file of the same date beside dateFile with another suffix: the change files and the
// renew file of a loaded day lie beside its day file.
std::filesystem::path SiblingDateFile(const std::filesystem::path& dateFile,
                                      std::string_view suffix);

}  // namespace tavolen
