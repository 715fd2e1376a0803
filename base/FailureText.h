// The Japanese wording of a file failure, made where the failure is shown: in a message box,
// a status line or the error log.
#pragma once

#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

namespace tavolen {

// The wording of a failed file operation (code page 932); empty for a success.
SjisString FailureText(const FileStatus& status);

// The reason of a system error number in words the user can act on; a rare one is named by its
// number ("システムエラー N"), never by the system's English text.
SjisString SystemErrorText(int systemError);

}  // namespace tavolen
