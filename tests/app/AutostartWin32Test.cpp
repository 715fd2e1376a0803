// Start at sign-in on Windows: the Run value and Explorer's StartupApproved switch in the user's
// registry (under Wine, the throwaway prefix's).
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/Autostart.h"

namespace tavolen {
namespace {

const wchar_t* W(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}

std::optional<std::u16string> ReadText(const std::u16string& key, const std::u16string& name) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  if (RegGetValueW(HKEY_CURRENT_USER, W(key), W(name), RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::u16string(reinterpret_cast<const char16_t*>(buffer));
}

std::optional<std::string> ReadBinary(const std::u16string& key, const std::u16string& name) {
  char buffer[64];
  DWORD size = sizeof buffer;
  if (RegGetValueW(HKEY_CURRENT_USER, W(key), W(name), RRF_RT_REG_BINARY, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::string(buffer, size);
}

// What Task Manager writes when the user switches the entry off: 03 and the time.
void SwitchOffAsTaskManagerDoes(const std::u16string& key, const std::u16string& name) {
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, W(key), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &handle, nullptr),
            ERROR_SUCCESS);
  const BYTE off[12] = {0x03, 0, 0, 0, 0x6c, 0x3a, 0x9e, 0x51, 0x2b, 0x6f, 0xda, 0x01};
  EXPECT_EQ(RegSetValueExW(handle, W(name), 0, REG_BINARY, off, sizeof off), ERROR_SUCCESS);
  RegCloseKey(handle);
}

TEST(AutostartRegistry, WrittenSwitchedOffInTaskManagerSwitchedOnAgainAndRemoved) {
  std::u16string root = u"Software\\TavolenTest-";  // a key of this test run alone
  for (char c : std::to_string(GetCurrentProcessId())) root += static_cast<char16_t>(c);
  const std::u16string run = root + u"\\Run", approved = root + u"\\StartupApproved\\Run";
  const fs::path program(L"C:\\Program Files (x86)\\\u7af6\u99ac\\Tavolen.exe");
  auto entry = RegistryAutostartEntry(program, run, approved);
  EXPECT_FALSE(entry->On());

  ASSERT_TRUE(entry->TurnOn());
  EXPECT_EQ(ReadText(run, kRunValueName),
            u"\"C:\\Program Files (x86)\\\u7af6\u99ac\\Tavolen.exe\" --autostart");
  EXPECT_FALSE(ReadBinary(approved, kRunValueName));  // Explorer's own, not written unasked
  EXPECT_TRUE(entry->On());
  EXPECT_FALSE(RegistryAutostartEntry(L"D:\\Other\\Tavolen.exe", run, approved)->On());

  SwitchOffAsTaskManagerDoes(approved, kRunValueName);
  EXPECT_FALSE(entry->On());
  ASSERT_TRUE(entry->TurnOn());
  EXPECT_EQ(ReadBinary(approved, kRunValueName), StartupApprovedOnBytes());
  EXPECT_TRUE(entry->On());

  ASSERT_TRUE(entry->TurnOff());
  EXPECT_FALSE(ReadText(run, kRunValueName));
  EXPECT_FALSE(ReadBinary(approved, kRunValueName));
  EXPECT_FALSE(entry->On());
  EXPECT_TRUE(entry->TurnOff());  // nothing to remove is no failure
  RegDeleteTreeW(HKEY_CURRENT_USER, W(root));
}

// The system's entry is the value "Tavolen" under the user's Run key. Left alone where such a
// value exists already (a real installation's).
TEST(AutostartRegistry, TheSystemsEntryIsTheUsersRunKey) {
  const std::u16string run = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  if (ReadText(run, kRunValueName)) GTEST_SKIP() << "this user starts Tavolen at sign-in already";
  const fs::path program(L"C:\\Tavolen\\Tavolen.exe");
  auto entry = SystemAutostartEntry(program);
  ASSERT_TRUE(entry->TurnOn());
  EXPECT_EQ(ReadText(run, kRunValueName), u"\"C:\\Tavolen\\Tavolen.exe\" --autostart");
  EXPECT_TRUE(entry->On());
  ASSERT_TRUE(entry->TurnOff());
  EXPECT_FALSE(ReadText(run, kRunValueName));
}

}  // namespace
}  // namespace tavolen
