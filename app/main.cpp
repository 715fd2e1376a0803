// Tavolen: watches a JRA race day for change information and shows race cards.
#include <QApplication>

#include "app/InstanceActivation.h"
#include "app/Main.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "app/Translations.h"
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
  InstallJapaneseQtTranslations(app);

  QtDesktop desktop;
  SystemClock clock;
  fs::path appFolder;
  if (!instance.AlreadyRunning()) appFolder = MakeApplicationFolderCurrent();

  // On this platform the JV-Link stand-in is the installed component.
  RegisterStandIn(clock);
  InstallStandInSettingsDialog();

  StartupDeps deps{desktop, clock, appFolder, ExecutableName()};
  ProgramWindows windows;
  const StartOutcome outcome = StartUp(deps, instance.AlreadyRunning(), windows);
  // After its message, a second copy brings the running copy's main window forward.
  if (outcome == StartOutcome::AlreadyRunning) AskRunningCopyToShow(ActivationSocketPath(instance));
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
