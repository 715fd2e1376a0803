// The one QApplication of a Qt test program, made on first use (offscreen under ctest).
#pragma once

#include <QString>

class QApplication;

namespace tavolen::testsupport {

// The program's QApplication; the first call creates it with the given program name.
QApplication& EnsureApplication(const char* programName = "tavolen_tests");

// A QString from a UTF-8 literal, for comparing window texts.
inline QString Q(const char* utf8) {
  return QString::fromUtf8(utf8);
}

}  // namespace tavolen::testsupport
