// Tavolen: watches a JRA race day for change information and shows race cards.
#include <QApplication>

#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "base/QtDesktop.h"
#include "base/Widgets.h"
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

  // On this platform the JV-Link stand-in is the installed component.
  RegisterStandIn(clock);
  InstallStandInSettingsDialog();

  StartupDeps deps{desktop, clock, appFolder, ExecutableName()};
  ProgramWindows windows;
  if (StartUp(deps, instance.AlreadyRunning(), windows) != StartOutcome::Running) return 1;
  InstallTerminationHandler([] { QCoreApplication::exit(0); });
  const int code = app.exec();
  windows.Destroy();
  return code;
}
