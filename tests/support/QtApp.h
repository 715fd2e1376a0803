// The one QApplication of a Qt test program, made on first use (offscreen under ctest).
#pragma once

class QApplication;

namespace tavolen::testsupport {

// The program's QApplication; the first call creates it with the given program name.
QApplication& EnsureApplication(const char* programName = "tavolen_tests");

}  // namespace tavolen::testsupport
