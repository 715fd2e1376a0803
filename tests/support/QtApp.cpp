#include "tests/support/QtApp.h"

#include <QApplication>

namespace tavolen::testsupport {

void TakeWineQtEnvironment() {
#if defined(_WIN32)
  // Wine leaves the QT_ variables out of a Windows program's environment; scripts/wine-run.sh
  // hands the platform and font folder over under other names. Without them Qt would take its
  // Windows platform, which under Wine without a display makes no windows at all.
  for (const char* name : {"QT_QPA_PLATFORM", "QT_QPA_FONTDIR"}) {
    const QByteArray passed = qgetenv((QByteArray("TAVOLEN_") + name).constData());
    if (qEnvironmentVariableIsEmpty(name) && !passed.isEmpty()) qputenv(name, passed);
  }
#endif
}

QApplication& EnsureApplication(const char* programName) {
  static int argc = 1;
  static char name[64] = {};
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) {
    TakeWineQtEnvironment();
    qsnprintf(name, sizeof name, "%s", programName);
    new QApplication(argc, argv);  // lives until the program ends
  }
  return *qApp;
}

}  // namespace tavolen::testsupport
