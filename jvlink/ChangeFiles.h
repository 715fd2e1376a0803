// Change files (one per date and change type) and the renew file of a date, in the Data folder.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "jvlink/DateFiles.h"
#include "jvlink/FileIO.h"
#include "jvlink/RaceFiles.h"
#include "jvlink/Sjis.h"

namespace tavolen {

// The type of a delivered record, or none for any other record type.
std::optional<ChangeType> ChangeTypeOf(std::string_view record);
// Fixed record size (CR LF included) of AV, JC, TC, CC files; 0 for WE.
int ChangeRecordSize(ChangeType type);

// Merges one delivered change record (CR LF included) into the change file of its type and
// date under dataDir. Records of other types, and records whose date is not digits, are
// Rejected. listLine is not used.
StoreResult StoreChangeRecord(const fs::path& dataDir, std::string_view record);

// Compares two lines as the change files order them: byte order, ASCII letters without case.
bool ChangeLineLess(std::string_view a, std::string_view b);

// The five stamps of a renew file (WE, AV, JC, TC, CC). A missing file, or one that does not
// hold exactly five lines, gives five empty stamps.
using RenewStamps = std::array<std::string, kChangeTypes>;
RenewStamps ReadRenewFile(const fs::path& renewFile);
FileStatus WriteRenewFile(const fs::path& renewFile, const RenewStamps& stamps);

}  // namespace tavolen
