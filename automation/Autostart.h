// Starting the program at sign-in. The system's autostart entry starts the program with
// kAtSignInArgument, which takes it straight to the tray (Startup.h). The entry itself is the
// truth: the menu items read it each time a menu opens. One implementation per platform:
// AutostartPosix.cpp writes an XDG autostart desktop entry, AutostartWin32.cpp a value under
// the user's Run key and Explorer's StartupApproved switch. The texts and decisions below are
// plain logic, tested on every platform.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/Sjis.h"

namespace tavolen {

namespace fs = std::filesystem;

// The argument of the autostart entry's command: the program starts in the tray.
inline constexpr const char* kAtSignInArgument = "--autostart";

// Whether the program's arguments (without the program itself) ask for a start at sign-in.
// Every other argument is ignored.
bool StartedAtSignIn(const std::vector<std::string>& arguments);

// The outcome of a change of the entry; reason says in Japanese why it failed.
struct AutostartStatus {
  bool ok = true;
  SjisString reason;
  explicit operator bool() const { return ok; }
  static AutostartStatus Fail(SjisString reason) { return {false, std::move(reason)}; }
};

// The system's entry that starts one program at sign-in.
class AutostartEntry {
 public:
  virtual ~AutostartEntry() = default;
  // Whether the system starts the program at sign-in: the entry is there, names this program
  // and the user has not switched it off.
  virtual bool On() const = 0;
  // Writes the entry (again, so a stale or switched-off entry starts this program) and
  // switches it on.
  virtual AutostartStatus TurnOn() = 0;
  // Removes the entry; an entry that is not there is no failure.
  virtual AutostartStatus TurnOff() = 0;
};

// The running system's entry for program (the running executable's path).
std::unique_ptr<AutostartEntry> SystemAutostartEntry(const fs::path& program);
#if defined(_WIN32)
// The same entry under other keys of HKEY_CURRENT_USER (tests use a throwaway key).
std::unique_ptr<AutostartEntry> RegistryAutostartEntry(const fs::path& program,
                                                       std::u16string runKey,
                                                       std::u16string approvedKey);
#endif

// ---- Linux: an XDG autostart desktop entry ----

inline constexpr const char* kAutostartFileName = "tavolen.desktop";

// $XDG_CONFIG_HOME/autostart when the variable holds an absolute path (a relative one is
// ignored, as the base directory rules say), otherwise <home>/.config/autostart; empty when
// neither is known.
fs::path AutostartFolder(std::string_view xdgConfigHome, const fs::path& home);

// The desktop entry that starts program (an absolute path, UTF-8) at sign-in, its path quoted
// in Exec as desktop entries require. nullopt when the path cannot be written there: not
// absolute, not UTF-8, or holding a control character.
std::optional<std::string> AutostartDesktopEntry(std::string_view program);

// The program an entry's Exec starts, unquoted; empty when there is none.
std::string DesktopEntryProgram(std::string_view entry);

// Whether an entry starts program and is not switched off (Hidden=true, or
// X-GNOME-Autostart-enabled=false as the desktops' start-up settings write it).
bool DesktopEntryStarts(std::string_view entry, std::string_view program);

// ---- Windows: a value under the Run key, and Explorer's switch for it ----

// The value's name under HKCU\Software\Microsoft\Windows\CurrentVersion\Run and under
// Explorer's ...\Explorer\StartupApproved\Run.
inline constexpr char16_t kRunValueName[] = u"Tavolen";

// The Run value for program: its path in quotes and the argument.
std::u16string RunValueCommand(std::u16string_view program);

// Whether a Run value starts program: its first word (quoted or not) is the program's path,
// compared as Windows compares paths (without regard to ASCII letter case or the kind of
// separator).
bool RunValueStarts(std::u16string_view value, std::u16string_view program);

// Explorer's switch (a binary value written by Task Manager's start-up page): an even first
// byte (02) is on, an odd one (03) off. No value, or an empty one, has never been switched off.
bool StartupApprovedOn(const std::optional<std::string>& bytes);

// The bytes that switch the entry on again, as Explorer writes them: 02 and eleven zeros.
std::string StartupApprovedOnBytes();

}  // namespace tavolen
