#include "base/ErrorLog.h"

namespace tavolen {
namespace {

constexpr size_t kKeptOldLines = 100;

// The folder as text without a trailing separator (a root, "/" or "C:\\", stays whole).
SjisString FolderText(const fs::path& folder) {
  fs::path f = folder;
  while (!f.empty() && !f.has_filename() && f != f.root_path()) f = f.parent_path();
  return PathText(f);
}

// One error line is one line: line breaks inside the message become blanks.
SjisString OneLine(const SjisString& message) {
  SjisString out = message;
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

}  // namespace

ErrorLog::ErrorLog(fs::path appFolder, const Clock& clock)
    : appFolder_(std::move(appFolder)), path_(appFolder_ / "ErrorLog.txt"), clock_(clock) {}

FileStatus ErrorLog::Load() {
  lines_.clear();
  std::error_code ec;
  if (!fs::exists(path_, ec) && !ec) return FileStatus::Ok();
  std::string bytes;
  // A folder or a device in place of the log is not read.
  if (!FileExists(path_) || !ReadWholeFile(path_, bytes))
    return FileStatus::Fail(FileError::LogRead, PathText(path_));
  lines_ = SplitLines(bytes);
  return FileStatus::Ok();
}

FileStatus ErrorLog::Save() const {
  FileStatus st = WriteFileAtomic(path_, JoinLinesCrLf(lines_));
  if (!st) return FileStatus::Fail(FileError::LogSave, st.detail, st.systemError);
  return st;
}

FileStatus ErrorLog::RecordStartup() {
  static const SjisString startText = Sj("ソフト起動：");
  if (FileStatus st = Load(); !st) return st;
  if (lines_.size() > kKeptOldLines)
    lines_.erase(lines_.begin(), lines_.end() - static_cast<std::ptrdiff_t>(kKeptOldLines));
  lines_.push_back(startText + FormatSlashDateTime(clock_.Now()));
  lines_.push_back(FolderText(appFolder_));
  return Save();
}

FileStatus ErrorLog::RecordError(const SjisString& message) {
  return Append(Sj("【エラー】") + FormatHms(clock_.Now()) + Sj("：") + OneLine(message));
}

FileStatus ErrorLog::RecordNote(const SjisString& message) {
  return Append(Sj("【記録】") + FormatSlashDateTime(clock_.Now()) + Sj("：") + OneLine(message));
}

FileStatus ErrorLog::Append(const SjisString& line) {
  if (FileStatus st = Load(); !st) return st;
  lines_.push_back(line);
  return Save();
}

}  // namespace tavolen
