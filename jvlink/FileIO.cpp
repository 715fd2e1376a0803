#include "jvlink/FileIO.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>

#include "jvlink/Platform.h"

namespace tavolen {
namespace {

std::mutex faultMutex;
WriteFault writeFault;

bool FaultFor(const fs::path& path) {
  std::lock_guard lock(faultMutex);
  return writeFault && writeFault(path);
}

}  // namespace

SjisString PathText(const fs::path& path) {
  return Utf8ToSjis(Utf8Text(path));
}

fs::path SjisPath(std::string_view sjis) {
  return Utf8Path(SjisToUtf8(sjis));
}

fs::path Utf8Path(std::string_view utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Text(const fs::path& path) {
  const std::u8string u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

FileStatus WriteFileAtomic(const fs::path& path, std::string_view bytes) {
  static std::atomic<unsigned> counter{0};
  if (FaultFor(path)) return FileStatus::Fail(FileError::Write, PathText(path), ENOSPC);

  fs::path temp = path;
  temp += "." + std::to_string(ProcessId()) + "-" + std::to_string(counter++) +
          std::string(kTempSuffix);
  const int err = WriteTempAndReplace(temp, path, bytes);
  if (err != 0) {
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
  if (fs::create_directory(dir, ec) || fs::is_directory(dir)) return FileStatus::Ok();
  // The error as an errno value (Windows reports its own codes), and a file where a folder of
  // the path belongs named as such on every system.
  int err = ec ? ec.default_error_condition().value() : EEXIST;
  std::error_code parentEc;
  const fs::path parent = dir.parent_path();
  if (fs::exists(parent, parentEc) && !fs::is_directory(parent, parentEc)) err = ENOTDIR;
  return FileStatus::Fail(FileError::Folder, PathText(dir), err);
}

namespace {

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

}  // namespace

fs::path FindFolderAnyCase(const fs::path& parent, std::string_view name) {
  const fs::path exact = parent / Utf8Path(name);
  std::error_code ec;
  if (fs::is_directory(exact, ec)) return exact;
  // Sorted, so that the same folder is chosen every time when several spellings exist.
  std::vector<fs::path> others;
  for (auto it = fs::directory_iterator(parent, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code typeEc;
    if (it->is_directory(typeEc) && EqualsIgnoringAsciiCase(Utf8Text(it->path().filename()), name))
      others.push_back(it->path());
  }
  if (others.empty()) return exact;
  std::sort(others.begin(), others.end());
  return others.front();
}

bool MatchesExtension(std::string_view name, std::string_view ext) {
  if (name.size() < ext.size()) return false;
  const std::string_view tail = name.substr(name.size() - ext.size());
  return FileNamesIgnoreCase() ? EqualsIgnoringAsciiCase(tail, ext) : tail == ext;
}

int RemoveStaleTempFiles(const fs::path& dir) {
  int removed = 0;
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    const std::string name = Utf8Text(it->path().filename());
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
