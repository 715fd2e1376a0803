#include "app/Startup.h"

#include <cstdio>

#include "app/Main.h"
#include "base/FailureText.h"
#include "changes/henkoUnit.h"
#include "jvlink/Platform.h"
#include "racecard/prgrsUnit.h"

namespace tavolen {
namespace {

void Tell(const StartupDeps& deps, const char* step) {
  if (deps.trace) deps.trace(step);
}

// A refusal is also written to the error output, for scripts and for desktops where the box
// cannot be seen.
void Note(const SjisString& message) {
  std::fprintf(stderr, "Tavolen: %s\n", SjisToUtf8(message).c_str());
}

}  // namespace

ProgramWindows::ProgramWindows() = default;
ProgramWindows::~ProgramWindows() {
  Destroy();
}

void ProgramWindows::Destroy() {
  henkoForm.reset();
  prgrsForm.reset();
  mainForm.reset();
  jvLink.reset();
}

StartOutcome StartUp(const StartupDeps& deps, bool anotherInstanceRuns, ProgramWindows& out) {
  // 1. One instance per user session.
  Tell(deps, "instance");
  if (anotherInstanceRuns) {
    const SjisString text = Sj("本ソフトはすでに起動しています。");
    Note(text);
    if (!deps.atSignIn) deps.desktop.PlainBox(text);
    return StartOutcome::AlreadyRunning;
  }
  // 3. JV-Link must be installed: create an object and release it at once.
  Tell(deps, "jvlink");
  auto create = deps.createJVLink ? deps.createJVLink
                                  : [] { return JVLinkRegistry::Instance().Create(kJVLinkProgId); };
  bool present = create() != nullptr;
  // The main window hosts its own instance.
  if (present) out.jvLink = create();
  if (!present || !out.jvLink) {
    const SjisString text =
        Sj("JRA-VANのホームページより【JV-Link】を入手し、インストールしてください。");
    Note(text);
    deps.desktop.Beep();
    deps.desktop.InformationBox(text);
    return StartOutcome::NoJVLink;
  }
  // Temporary files of a write that a killed process never finished.
  Tell(deps, "cleanup");
  RemoveStaleTempFiles(deps.appFolder);
  RemoveStaleTempFiles(FindFolderAnyCase(deps.appFolder, TMainForm::kDataFolderName));

  // 4. The windows: main, progress (never shown), change (hidden, at its stored place).
  Tell(deps, "main");
  MainFormDeps md{deps.appFolder, deps.executableName, deps.desktop,
                  deps.clock,     *out.jvLink,         deps.runModal,
                  deps.quit,      deps.layout,         deps.resourceFolder};
  out.mainForm = std::make_unique<TMainForm>(md);
  Tell(deps, "progress");
  out.prgrsForm = std::make_unique<TPrgrsForm>();
  Tell(deps, "change");
  out.henkoForm = std::make_unique<THenkoForm>(out.mainForm->SettingsFile(), &deps.desktop);
  out.mainForm->SetProgressWindow(out.prgrsForm.get());
  out.mainForm->SetChangeWindow(out.henkoForm.get());

  // 5. The main window is shown (and initialises JV-Link); the caller runs the loop. At sign-in
  // it initialises JV-Link and stays in the tray, which the error output says.
  if (deps.atSignIn) {
    Tell(deps, "tray");
    out.mainForm->StartInTray();
    Note(!out.mainForm->isVisible() ? Sj("ログイン時の起動：タスクトレイで常駐します。")
         : out.mainForm->isMinimized() ? Sj("ログイン時の起動：タスクトレイがないため、"
                                            "ウィンドウを最小化しました。")
                                       : Sj("ログイン時の起動：ウィンドウを表示しました。"));
    return StartOutcome::Running;
  }
  Tell(deps, "show");
  out.mainForm->show();
  return StartOutcome::Running;
}

fs::path ExecutableFolder() {
  std::error_code ec;
  const fs::path exe = ProgramFilePath();
  if (!exe.has_parent_path()) return fs::current_path(ec);
  return exe.parent_path();
}

std::optional<AppFolders> SetUpAppFolders(const fs::path& exeFolder, const fs::path& shareFromBin,
                                          Desktop& desktop) {
  const std::optional<AppFolders> folders =
      ChooseAppFolders(ReadLayoutInputs(exeFolder, shareFromBin));
  if (!folders) {
    const SjisString text = Sj(NoUserFolderText(kSystemFolderRules));
    Note(text);
    desktop.ErrorBox(text);
    return std::nullopt;
  }
  if (FileStatus st = EnterAppFolder(*folders); !st) {
    Note(FailureText(st));
    desktop.ErrorBox(FailureText(st));
    return std::nullopt;
  }
  return folders;
}

std::string ExecutableName() {
  const fs::path exe = ProgramFilePath();
  if (exe.filename().empty()) return "Tavolen";
  return Utf8Text(exe.filename());
}

}  // namespace tavolen
