#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "jvlink/Platform.h"

namespace tavolen {
namespace {

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_FILE_TOO_LARGE:
      return EFBIG;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
      return ENOENT;
    default:
      return EIO;
  }
}

long long FileTimeToUnixNs(const FILETIME& ft) {
  const long long ticks =
      (static_cast<long long>(ft.dwHighDateTime) << 32) | static_cast<long long>(ft.dwLowDateTime);
  return (ticks - 116444736000000000LL) * 100;  // 100 ns ticks since 1601
}

}  // namespace

std::tm LocalTime(std::time_t t) {
  std::tm tm{};
  localtime_s(&tm, &t);
  return tm;
}

unsigned long ProcessId() {
  return GetCurrentProcessId();
}

bool StatRegularFile(const std::filesystem::path& path, FileStamp& stamp) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return false;
  stamp.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  stamp.modifiedNs = FileTimeToUnixNs(data.ftLastWriteTime);
  stamp.modifiedSec = static_cast<std::time_t>(stamp.modifiedNs / 1000000000LL);
  return true;
}

std::filesystem::path UserDataFolder() {
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (local && *local) return std::filesystem::path(local);
  std::error_code ec;
  return std::filesystem::temp_directory_path(ec);
}

std::filesystem::path ProgramFilePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 8; ++attempt) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::filesystem::path(buffer.substr(0, n));
    buffer.resize(buffer.size() * 2);  // cut off: a long path (\\?\ form); try a larger buffer
  }
  return {};
}

namespace {
std::wstring Variable(const wchar_t* name) {
  const wchar_t* v = _wgetenv(name);
  return v ? v : L"";
}
}  // namespace

std::filesystem::path HomeFolder() {
  return std::filesystem::path(Variable(L"USERPROFILE"));
}

std::string UserDataHomeSetting() {
  const std::u8string u8 = std::filesystem::path(Variable(L"LOCALAPPDATA")).u8string();
  return std::string(u8.begin(), u8.end());
}

bool FolderWritable(const std::filesystem::path& folder) {
  // The folder's access rules decide, which its attributes do not show: a file is made and
  // removed again.
  const std::filesystem::path probe =
      folder / (L".tavolen-write-test-" + std::to_wstring(GetCurrentProcessId()));
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

bool FileNamesIgnoreCase() {
  return true;
}

int WriteTempAndReplace(const std::filesystem::path& temp, const std::filesystem::path& path,
                        std::string_view bytes) {
  HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return ErrnoOf(GetLastError());
  int err = 0;
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(h, p, chunk, &written, nullptr)) {
      err = ErrnoOf(GetLastError());
      break;
    }
    p += written;
    left -= written;
  }
  if (!CloseHandle(h) && err == 0) err = ErrnoOf(GetLastError());
  // Replacing the name is one step of the file system: the old file or the new one, never a mix.
  // A target that another program holds open for a moment (a virus scanner, a backup, a viewer)
  // refuses the replace; it is tried again briefly before the write counts as failed.
  for (int attempt = 0; err == 0; ++attempt) {
    if (MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      break;
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
         error != ERROR_LOCK_VIOLATION) ||
        attempt >= 10) {
      err = ErrnoOf(error);
      break;
    }
    Sleep(20);
  }
  if (err != 0) DeleteFileW(temp.c_str());
  return err;
}

}  // namespace tavolen
