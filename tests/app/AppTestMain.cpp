// The window tests need one QApplication for the whole program, on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "base/Widgets.h"
#include "tests/support/QtApp.h"

int main(int argc, char** argv) {
  tavolen::testsupport::TakeWineQtEnvironment();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  tavolen::InstallFontSubstitutions();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
