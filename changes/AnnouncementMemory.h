// The day's memory of what has been announced: one file per date beside the renew file,
// "yyyy年mm月dd日.announced" in the Data folder, code page 932 with CR LF. A header line, then
// one line per change announced: the change's identity (its record type followed by what the
// change says, without the creation date, which the service may send anew).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "jvlink/ChangeFiles.h"
#include "jvlink/FileIO.h"
#include "jvlink/TextLines.h"

namespace tavolen {

// The first line of every memory file.
inline constexpr std::string_view kAnnouncedHeader = "Tavolen announced changes 1";

// The identity of a change record or stored change line. WE: the type and positions 12-40
// (course and day, stamp, change kind, the codes after and before); the data kind is left
// out, since the service may send it differently for a state and its changes. AV, JC, TC, CC:
// the type, position 3 (the scratch kind) and positions 12 to the end.
std::string ChangeIdentity(ChangeType type, std::string_view record);

// The identities of a memory file's bytes; none when the file is damaged (wrong header, a line
// that is no identity), so that nothing is taken as announced that may not have been.
std::optional<std::unordered_set<std::string>> ParseAnnouncedFile(std::string_view bytes);

// The bytes of a memory file holding these identities.
std::string AnnouncedFileBytes(const Lines& identities);

}  // namespace tavolen
