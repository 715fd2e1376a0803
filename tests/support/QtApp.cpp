#include "tests/support/QtApp.h"

#include <QApplication>

namespace tavolen::testsupport {

QApplication& EnsureApplication(const char* programName) {
  static int argc = 1;
  static char name[64] = {};
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) {
    qsnprintf(name, sizeof name, "%s", programName);
    new QApplication(argc, argv);  // lives until the program ends
  }
  return *qApp;
}

}  // namespace tavolen::testsupport
