#include "jvlink/FileIO.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>

namespace tavolen {
namespace {

std::mutex faultMutex;
WriteFault writeFault;

// The reason of a failed file or folder operation in Japanese words the user can act on; a rare
// error is named by its number, never by the system's English text.
SjisString Reason(int err) {
  static const std::map<int, const char*> texts = {
      {ENOSPC, "ディスクの空き容量が足りません"}, {EDQUOT, "ディスクの空き容量が足りません"},
      {EACCES, "書き込みが許可されていません"},   {EPERM, "書き込みが許可されていません"},
      {EROFS, "読み取り専用のディスクです"},      {EFBIG, "ファイルが大きすぎます"},
      {EIO, "ディスクの読み書きに失敗しました"},  {ENOENT, "フォルダが見つかりません"},
      {ENOTDIR, "同じ名前のファイルがあります"},  {EEXIST, "同じ名前のファイルがあります"},
      {ENAMETOOLONG, "名前が長すぎます"},         {EMFILE, "開いているファイルが多すぎます"},
      {ENFILE, "開いているファイルが多すぎます"},
  };
  const auto it = texts.find(err);
  return it != texts.end() ? Sj(it->second) : Sj("システムエラー ") + std::to_string(err);
}

SjisString WithReason(const char* what, std::string_view detail, int systemError) {
  return Sj(what) + SjisString(detail) + Sj("（") + Reason(systemError) + Sj("）");
}

bool FaultFor(const fs::path& path) {
  std::lock_guard lock(faultMutex);
  return writeFault && writeFault(path);
}

}  // namespace

SjisString FailureText(FileError reason, std::string_view detail, int systemError) {
  const SjisString d(detail);
  switch (reason) {
    case FileError::None:
      return {};
    case FileError::Open:
      return Sj("ファイルを開けませんでした：") + d;
    case FileError::Read:
      return Sj("ファイルを読み込めませんでした：") + d;
    case FileError::Write:
      return WithReason("ファイルを保存できませんでした：", d, systemError);
    case FileError::Folder:
      return WithReason("フォルダを作成できませんでした：", d, systemError);
    case FileError::SettingsRead:
      return Sj("設定ファイルを読み込めませんでした：") + d;
    case FileError::SettingsEntry:
      return Sj("設定ファイルに書き込めない項目です：") + d;
    case FileError::LogRead:
      return Sj("エラーログを読み込めませんでした：") + d;
    case FileError::LogSave:
      return Sj("エラーログを保存できませんでした。") + d;
    case FileError::RenewText:
      return Sj("更新ファイルに書けない文字があります：") + d;
    case FileError::Other:
      break;
  }
  return d;
}

SjisString PathText(const fs::path& path) {
  return Utf8ToSjis(path.string());
}

fs::path SjisPath(std::string_view sjis) {
  return fs::path(SjisToUtf8(sjis));
}

FileStatus WriteFileAtomic(const fs::path& path, std::string_view bytes) {
  static std::atomic<unsigned> counter{0};
  if (FaultFor(path)) return FileStatus::Fail(FileError::Write, PathText(path), ENOSPC);

  fs::path temp = path;
  temp +=
      "." + std::to_string(getpid()) + "-" + std::to_string(counter++) + std::string(kTempSuffix);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return FileStatus::Fail(FileError::Write, PathText(path), errno);
  const char* p = bytes.data();
  size_t left = bytes.size();
  int err = 0;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    return FileStatus::Fail(FileError::Write, PathText(path), err);
  }
  return FileStatus::Ok();
}

FileStatus ReadWholeFile(const fs::path& path, std::string& out) {
  out.clear();
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return FileStatus::Fail(FileError::Open, PathText(path));
  std::ifstream in(path, std::ios::binary);
  if (!in) return FileStatus::Fail(FileError::Open, PathText(path));
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0) return FileStatus::Fail(FileError::Read, PathText(path));
  in.seekg(0, std::ios::beg);
  out.resize(static_cast<size_t>(size));
  if (size > 0 && !in.read(out.data(), size)) {
    out.clear();
    return FileStatus::Fail(FileError::Read, PathText(path));
  }
  return FileStatus::Ok();
}

bool FileExists(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

FileStatus EnsureFolder(const fs::path& dir) {
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return FileStatus::Ok();
  if (!fs::create_directory(dir, ec) && !fs::is_directory(dir))
    return FileStatus::Fail(FileError::Folder, PathText(dir), ec ? ec.value() : EEXIST);
  return FileStatus::Ok();
}

int RemoveStaleTempFiles(const fs::path& dir) {
  int removed = 0;
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > kTempSuffix.size() && name.ends_with(kTempSuffix)) {
      std::error_code rm;
      if (fs::remove(it->path(), rm)) ++removed;
    }
  }
  return removed;
}

void SetWriteFaultForTesting(WriteFault fault) {
  std::lock_guard lock(faultMutex);
  writeFault = std::move(fault);
}

}  // namespace tavolen
