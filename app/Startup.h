// The start-up sequence: one instance, JV-Link present, then the main window, the progress
// window and the change window, and the main window shown. Everything from outside is passed
// in, so that tests can run the sequence with fakes.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/AppFolders.h"
#include "base/Desktop.h"
#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"
#include "jvlink/JVLink.h"

class QDialog;

namespace tavolen {

class TMainForm;
class THenkoForm;
class TPrgrsForm;

struct StartupDeps {
  Desktop& desktop;
  const Clock& clock;
  fs::path appFolder;
  std::string executableName;
  // Creates a JV-Link object as the installed component would be created; empty: the registry
  // entry of "JVDTLab.JVLink".
  std::function<std::unique_ptr<JVLink>()> createJVLink = {};
  std::function<int(QDialog&)> runModal = {};  // passed to the main window
  std::function<void()> quit = {};             // passed to the main window
  // Told the name of each step as it starts: "instance", "jvlink", "cleanup", "main",
  // "progress", "change", then "show", or "tray" at sign-in.
  std::function<void(const char*)> trace = {};
  // The layout appFolder belongs to, and where an installed program's read-only files are.
  FolderLayout layout = FolderLayout::Portable;
  fs::path resourceFolder = {};
  // Started by the autostart entry (kAtSignInArgument): the main window goes straight to the
  // tray, and a second copy ends without a box, since nobody is at the screen to answer it.
  bool atSignIn = false;
};

enum class StartOutcome { Running, AlreadyRunning, NoJVLink };

// The windows of the running program and the JV-Link control the main window hosts. Destroyed
// in reverse order of creation; the main window stores its place as it goes.
struct ProgramWindows {
  std::unique_ptr<JVLink> jvLink;
  std::unique_ptr<TMainForm> mainForm;
  std::unique_ptr<TPrgrsForm> prgrsForm;
  std::unique_ptr<THenkoForm> henkoForm;

  ProgramWindows();
  ~ProgramWindows();
  void Destroy();
};

// Runs the sequence up to the shown main window; the caller then runs the message loop.
// anotherInstanceRuns: the single-instance test failed (it is made before the windowing
// framework starts). On a refusal nothing is created and no file is touched.
StartOutcome StartUp(const StartupDeps& deps, bool anotherInstanceRuns, ProgramWindows& out);

// The folder of the running executable (ProgramFilePath).
fs::path ExecutableFolder();
// Decides the layout of the program in exeFolder (see AppFolders.h), creates the application
// folder when it is the per-user one and makes it the current directory. On a failure the
// desktop's error box says why and nothing is returned: the program cannot keep its files.
std::optional<AppFolders> SetUpAppFolders(const fs::path& exeFolder, const fs::path& shareFromBin,
                                          Desktop& desktop);
// On SIGTERM or SIGHUP (the end of a log-on, a plain kill), runs onTerminate from the message
// loop instead of dying at once, so that the program ends as by its exit command and stores
// its window place. Installed once per process. One implementation per platform
// (TerminationPosix.cpp, TerminationWin32.cpp).
void InstallTerminationHandler(std::function<void()> onTerminate);

// The executable's file name ("Tavolen", "Tavolen.exe"), in UTF-8, which names the settings
// file.
std::string ExecutableName();

}  // namespace tavolen
