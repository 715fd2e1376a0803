// Start at sign-in on Windows: the Run value and Explorer's StartupApproved switch in the user's
// registry (under Wine, the throwaway prefix's).
#include <windows.h>

#include <gtest/gtest.h>

#include "automation/Autostart.h"

namespace tavolen {
namespace {

const wchar_t* W(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}

// A value's bytes; empty when it is missing.
std::string Read(const std::u16string& key, DWORD type) {
  char buffer[1024];
  DWORD size = sizeof buffer;
  if (RegGetValueW(HKEY_CURRENT_USER, W(key), W(kRunValueName), type, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return {};
  return std::string(buffer, size);
}
std::string Text(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
}

TEST(AutostartRegistry, WrittenSwitchedOffInTaskManagerSwitchedOnAgainAndRemoved) {
  std::u16string root = u"Software\\TavolenTest-";  // a key of this test run alone
  for (char c : std::to_string(GetCurrentProcessId())) root += static_cast<char16_t>(c);
  const std::u16string run = root + u"\\Run", approved = root + u"\\StartupApproved\\Run";
  const fs::path program(L"C:\\Program Files (x86)\\\u7af6\u99ac\\Tavolen.exe");
  auto entry = RegistryAutostartEntry(program, run, approved);
  EXPECT_FALSE(entry->On());
  ASSERT_TRUE(entry->TurnOn());
  EXPECT_EQ(Read(run, RRF_RT_REG_SZ),
            Text(u"\"C:\\Program Files (x86)\\\u7af6\u99ac\\Tavolen.exe\" --autostart"));
  EXPECT_EQ(Read(approved, RRF_RT_REG_BINARY), "");  // Explorer's own, not written unasked
  EXPECT_TRUE(entry->On());
  EXPECT_FALSE(RegistryAutostartEntry(L"D:\\Other\\Tavolen.exe", run, approved)->On());

  // Task Manager switches it off: 03 and the time.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, W(approved), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const BYTE off[12] = {0x03, 0, 0, 0, 0x6c, 0x3a, 0x9e, 0x51, 0x2b, 0x6f, 0xda, 0x01};
  RegSetValueExW(key, W(kRunValueName), 0, REG_BINARY, off, sizeof off);
  RegCloseKey(key);
  EXPECT_FALSE(entry->On());
  ASSERT_TRUE(entry->TurnOn());
  EXPECT_EQ(Read(approved, RRF_RT_REG_BINARY), StartupApprovedOnBytes());
  EXPECT_TRUE(entry->On());

  ASSERT_TRUE(entry->TurnOff());
  EXPECT_EQ(Read(run, RRF_RT_REG_SZ), "");
  EXPECT_EQ(Read(approved, RRF_RT_REG_BINARY), "");
  EXPECT_TRUE(entry->TurnOff());  // nothing to remove is no failure
  RegDeleteTreeW(HKEY_CURRENT_USER, W(root));

  // The system's entry is the user's Run key (left alone where a real one exists).
  const std::u16string userRun = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  if (!Read(userRun, RRF_RT_REG_SZ).empty()) GTEST_SKIP() << "this user starts Tavolen already";
  auto system = SystemAutostartEntry(program);
  ASSERT_TRUE(system->TurnOn());
  EXPECT_EQ(Read(userRun, RRF_RT_REG_SZ), Text(RunValueCommand(program.u16string())));
  EXPECT_TRUE(system->On());
  ASSERT_TRUE(system->TurnOff());
  EXPECT_EQ(Read(userRun, RRF_RT_REG_SZ), "");
}

}  // namespace
}  // namespace tavolen
