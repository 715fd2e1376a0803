// The error log "ErrorLog.txt": start lines at every start-up and one line per recorded error.
#pragma once

#include <string>

#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"
#include "jvlink/TextLines.h"

namespace tavolen {

class ErrorLog {
 public:
  ErrorLog(fs::path appFolder, const Clock& clock);

  const fs::path& path() const { return path_; }

  // Keeps the newest 100 old lines, adds "ソフト起動：yyyy/mm/dd hh:nn:ss" and the folder line.
  FileStatus RecordStartup();
  // Adds "【エラー】hh:nn:ss：" + message. A log that has gone missing is created again.
  FileStatus RecordError(const SjisString& message);

  const Lines& lines() const { return lines_; }

 private:
  fs::path appFolder_;
  fs::path path_;
  const Clock& clock_;
  Lines lines_;
};

}  // namespace tavolen
