// Tavolen: watches a JRA race day for change information and shows race cards.
#include <QApplication>
#include <QSystemTrayIcon>
#include <cstdio>

#include "app/AppFolders.h"
#include "app/InstanceActivation.h"
#include "app/Main.h"
#include "app/ProgramIcon.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "app/Translations.h"
#include "automation/Autostart.h"
#include "base/QtDesktop.h"
#include "base/SettingsKeys.h"
#include "base/Widgets.h"
#include "jvbridge/BridgeSettings.h"
#include "standin/StandIn.h"
#include "standin/StandInSettingsDialog.h"

// Where an installed program's read-only files lie, relative to its own folder.
#ifndef TAVOLEN_SHARE_FROM_BIN
#define TAVOLEN_SHARE_FROM_BIN "../share/tavolen"
#endif
// Where an install puts the JV-Link bridge, relative to the program's folder.
#ifndef TAVOLEN_BRIDGE_FROM_BIN
#define TAVOLEN_BRIDGE_FROM_BIN "../libexec/tavolen"
#endif

int main(int argc, char** argv) {
  using namespace tavolen;
  // The single-instance test comes first: a second copy touches nothing.
  SingleInstance instance;
  // Started by the autostart entry: straight to the tray. Other arguments are ignored.
  const bool atSignIn = StartedAtSignIn(std::vector<std::string>(argv + 1, argv + argc));

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tavolen"));
  // Docks, window lists and notifications find the menu entry and its icon by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("tavolen"));
  QApplication::setWindowIcon(ProgramIcon());
  QApplication::setQuitOnLastWindowClosed(false);  // the program lives on in the tray
  InstallFontSubstitutions();
  InstallJapaneseQtTranslations(app);

  QtDesktop desktop;
  desktop.trayIcon()->setIcon(ProgramIcon());
  SystemClock clock;
  // Portable (a writable folder): everything beside the executable. Installed: the user's
  // files in $XDG_DATA_HOME/tavolen, the program's own read-only files from the install.
  AppFolders folders;
  if (!instance.AlreadyRunning()) {
    std::optional<AppFolders> chosen =
        SetUpAppFolders(ExecutableFolder(), TAVOLEN_SHARE_FROM_BIN, desktop);
    if (!chosen) return 1;
    folders = *chosen;
  }

  // The JV-Link: the real component through the bridge when the settings say so, otherwise
  // the stand-in, installed as the component.
  StartupDeps deps{desktop, clock, folders.appFolder, ExecutableName()};
  deps.layout = folders.layout;
  deps.resourceFolder = folders.resourceFolder;
  deps.atSignIn = atSignIn;
  const bridge::JVLinkChoice choice =
      bridge::ReadJVLinkChoice(IniFile(SettingsFilePath(folders.appFolder, ExecutableName())));
  // Lives until the end of main: the windows' JV-Link goes back to it when they are destroyed.
  std::unique_ptr<bridge::BridgeStarter> starter;
  if (choice.useBridge) {
    // Windows repaint while a call waits; no input reaches them, so no second call starts.
    bridge::BridgeOptions options =
        bridge::OptionsFor(choice, ExecutableFolder(),
                           (ExecutableFolder() / TAVOLEN_BRIDGE_FROM_BIN).lexically_normal());
    // The bitness whose bridge created the component is tried first at the next start (a
    // failed write costs only one more bridge start then).
    options.chosen = [settings = SettingsFilePath(folders.appFolder, ExecutableName())](int bits) {
      [[maybe_unused]] const FileStatus st = IniFile(settings).Write(Settings::JVLinkBits, bits);
    };
    starter = std::make_unique<bridge::BridgeStarter>(std::move(options), [] {
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    deps.createJVLink = [&starter]() -> std::unique_ptr<JVLink> {
      SjisString why;
      auto link = starter->Create(why);
      if (!link) std::fprintf(stderr, "Tavolen: %s\n", SjisToUtf8(why).c_str());
      return link;
    };
  } else {
    RegisterStandIn(clock);
    InstallStandInSettingsDialog();
  }

  ProgramWindows windows;
  const StartOutcome outcome = StartUp(deps, instance.AlreadyRunning(), windows);
  // After its message, a second copy brings the running copy's main window forward; at sign-in
  // the running copy stays where it is, and finding it is no failure.
  if (outcome == StartOutcome::AlreadyRunning && !atSignIn)
    AskRunningCopyToShow(ActivationSocketPath(instance));
  if (outcome == StartOutcome::AlreadyRunning && atSignIn) return 0;
  if (outcome != StartOutcome::Running) return 1;
  InstanceActivation activation;
  if (instance.state() == SingleInstance::State::Acquired)
    activation.Listen(ActivationSocketPath(instance), [&windows] {
      if (windows.mainForm) windows.mainForm->TrayIcon1DblClick();
    });
  InstallTerminationHandler([] { QCoreApplication::exit(0); });
  const int code = app.exec();
  windows.Destroy();
  return code;
}
