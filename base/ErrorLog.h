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
  // A log that exists but cannot be read is left alone and the line is not recorded.
  FileStatus RecordError(const SjisString& message);
  // Adds "【記録】yyyy/mm/dd hh:nn:ss：" + message: what the program did by itself (its
  // unattended acquisitions), dated, since such a run can last for days.
  FileStatus RecordNote(const SjisString& message);

  // The line list as last built (after a failed save it holds the lines that were not saved).
  const Lines& lines() const { return lines_; }

 private:
  // Loads the log, adds one line and saves it whole.
  FileStatus Append(const SjisString& line);
  FileStatus Load();
  FileStatus Save() const;

  fs::path appFolder_;
  fs::path path_;
  const Clock& clock_;
  Lines lines_;
};

}  // namespace tavolen
