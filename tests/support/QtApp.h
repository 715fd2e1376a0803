// The one QApplication of a Qt test program, made on first use (offscreen under ctest).
#pragma once

#include <QString>

class QApplication;

namespace tavolen::testsupport {

// Under Wine, the QT_ variables scripts/wine-run.sh passed under TAVOLEN_ names (Wine drops
// them); to be called before the QApplication is made. Elsewhere nothing.
void TakeWineQtEnvironment();

// The program's QApplication; the first call creates it with the given program name.
QApplication& EnsureApplication(const char* programName = "tavolen_tests");

// A QString from a UTF-8 literal, for comparing window texts.
inline QString Q(const char* utf8) {
  return QString::fromUtf8(utf8);
}

}  // namespace tavolen::testsupport
