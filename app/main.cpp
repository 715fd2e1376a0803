// Tavolen: watches a JRA race day for change information and shows race cards.
#include <QApplication>
#include <cstdio>

#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "base/QtDesktop.h"
#include "base/Widgets.h"
#include "jvbridge/BridgeSettings.h"
#include "standin/StandIn.h"
#include "standin/StandInSettingsDialog.h"

int main(int argc, char** argv) {
  using namespace tavolen;
  // The single-instance test comes first: a second copy touches nothing.
  SingleInstance instance;

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tavolen"));
  QApplication::setQuitOnLastWindowClosed(false);  // the program lives on in the tray
  InstallFontSubstitutions();

  QtDesktop desktop;
  SystemClock clock;
  fs::path appFolder;
  if (!instance.AlreadyRunning()) appFolder = MakeApplicationFolderCurrent();

  // The JV-Link: the real component through the bridge when the settings say so, otherwise
  // the stand-in, installed as the component.
  StartupDeps deps{desktop, clock, appFolder, ExecutableName()};
  const bridge::JVLinkChoice choice =
      ReadJVLinkChoice(IniFile(SettingsFilePath(appFolder, ExecutableName())));
  if (choice.useBridge) {
    const bridge::BridgeOptions options = OptionsFor(choice, appFolder);
    deps.createJVLink = [options]() -> std::unique_ptr<JVLink> {
      SjisString why;
      auto link = bridge::StartBridgeJVLink(options, why);
      if (!link) {
        std::fprintf(stderr, "Tavolen: %s\n", SjisToUtf8(why).c_str());
        return nullptr;
      }
      // Windows repaint while a call waits; no input reaches them, so no second call starts.
      link->SetWaitPump(
          [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
      return link;
    };
  } else {
    RegisterStandIn(clock);
    InstallStandInSettingsDialog();
  }

  ProgramWindows windows;
  if (StartUp(deps, instance.AlreadyRunning(), windows) != StartOutcome::Running) return 1;
  InstallTerminationHandler([] { QCoreApplication::exit(0); });
  const int code = app.exec();
  windows.Destroy();
  return code;
}
