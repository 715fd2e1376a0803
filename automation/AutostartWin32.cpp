// Start at sign-in on Windows: a value under the user's Run key, which Explorer runs at
// sign-in, naming the running Tavolen.exe in quotes with the argument. Task Manager's start-up
// page switches such a value off without removing it, in a binary value of the same name under
// Explorer's StartupApproved\Run; an entry switched off there shows unchecked, and checking it
// again switches it on.
#include <windows.h>

#include <string>

#include "automation/Autostart.h"

namespace tavolen {
namespace {

constexpr char16_t kRunKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char16_t kApprovedKey[] =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

const wchar_t* W(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}

SjisString RegistryFailure(const std::u16string& key, LONG error) {
  const SjisString why = error == ERROR_ACCESS_DENIED ? Sj("書き込みが許可されていません")
                                                      : Sj("エラー ") + std::to_string(error);
  return Sj("レジストリに書き込めませんでした：HKEY_CURRENT_USER\\") + Utf16ToSjis(key) + Sj("（") +
         why + Sj("）");
}

// A value's bytes as stored; nullopt when the key or the value is missing or not of type.
std::optional<std::string> ReadValue(const std::u16string& key, const std::u16string& name,
                                     DWORD types) {
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, W(key), W(name), types, nullptr, nullptr, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::string bytes(size, '\0');
  if (RegGetValueW(HKEY_CURRENT_USER, W(key), W(name), types, nullptr, bytes.data(), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  bytes.resize(size);
  return bytes;
}

LONG WriteValue(const std::u16string& key, const std::u16string& name, DWORD type,
                const std::string& bytes) {
  HKEY handle = nullptr;
  LONG r = RegCreateKeyExW(HKEY_CURRENT_USER, W(key), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                           &handle, nullptr);
  if (r != ERROR_SUCCESS) return r;
  r = RegSetValueExW(handle, W(name), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                     static_cast<DWORD>(bytes.size()));
  RegCloseKey(handle);
  return r;
}

// No key and no value are no failure.
LONG DeleteValue(const std::u16string& key, const std::u16string& name) {
  HKEY handle = nullptr;
  LONG r = RegOpenKeyExW(HKEY_CURRENT_USER, W(key), 0, KEY_SET_VALUE, &handle);
  if (r == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (r != ERROR_SUCCESS) return r;
  r = RegDeleteValueW(handle, W(name));
  RegCloseKey(handle);
  return r == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : r;
}

class RunKeyEntry : public AutostartEntry {
 public:
  RunKeyEntry(const fs::path& program, std::u16string runKey, std::u16string approvedKey)
      : program_(program.u16string()),
        runKey_(std::move(runKey)),
        approvedKey_(std::move(approvedKey)) {}

  bool On() const override {
    const std::optional<std::string> run =
        ReadValue(runKey_, kRunValueName, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND);
    if (!run) return false;
    std::u16string value(run->size() / 2, u'\0');
    run->copy(reinterpret_cast<char*>(value.data()), value.size() * 2);
    if (const size_t end = value.find(u'\0'); end != std::u16string::npos) value.resize(end);
    return RunValueStarts(value, program_) &&
           StartupApprovedOn(ReadValue(approvedKey_, kRunValueName, RRF_RT_REG_BINARY));
  }

  AutostartStatus TurnOn() override {
    const std::u16string command = RunValueCommand(program_);
    const std::string bytes(reinterpret_cast<const char*>(command.c_str()),
                            (command.size() + 1) * sizeof(char16_t));
    if (const LONG r = WriteValue(runKey_, kRunValueName, REG_SZ, bytes); r != ERROR_SUCCESS)
      return AutostartStatus::Fail(RegistryFailure(runKey_, r));
    // Switched off in Task Manager: switched on again, as its own "enable" does.
    if (!StartupApprovedOn(ReadValue(approvedKey_, kRunValueName, RRF_RT_REG_BINARY)))
      if (const LONG r =
              WriteValue(approvedKey_, kRunValueName, REG_BINARY, StartupApprovedOnBytes());
          r != ERROR_SUCCESS)
        return AutostartStatus::Fail(RegistryFailure(approvedKey_, r));
    return {};
  }

  AutostartStatus TurnOff() override {
    if (const LONG r = DeleteValue(runKey_, kRunValueName); r != ERROR_SUCCESS)
      return AutostartStatus::Fail(RegistryFailure(runKey_, r));
    // Explorer's switch for a value that is gone means nothing any more.
    DeleteValue(approvedKey_, kRunValueName);
    return {};
  }

 private:
  std::u16string program_;
  std::u16string runKey_;
  std::u16string approvedKey_;
};

}  // namespace

std::unique_ptr<AutostartEntry> SystemAutostartEntry(const fs::path& program) {
  return std::make_unique<RunKeyEntry>(program, kRunKey, kApprovedKey);
}

std::unique_ptr<AutostartEntry> RegistryAutostartEntry(const fs::path& program,
                                                       std::u16string runKey,
                                                       std::u16string approvedKey) {
  return std::make_unique<RunKeyEntry>(program, std::move(runKey), std::move(approvedKey));
}

}  // namespace tavolen
