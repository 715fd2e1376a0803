// Windows programs of the cross build run under Wine: one throwaway prefix per test program
// run, made on first use and removed when the program ends.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tavolen::testing {

namespace fs = std::filesystem;

struct Wine {
  fs::path loader;      // the 64-bit Wine loader
  fs::path win64;       // the 64-bit cross build folder
  fs::path win32;       // the 32-bit cross build folder (the bridge and the COM stand-in)
  fs::path prefix;      // the throwaway WINEPREFIX
  fs::path server;      // its wineserver
  std::string display;  // the X display of the Windows programs (Xvfb); empty: none
  std::string why;      // why Wine cannot be used here; empty when it can
  std::string why32;    // why the 32-bit programs cannot be run; empty when they can

  bool usable() const { return why.empty(); }
  bool usable32() const { return why.empty() && why32.empty(); }
  // A file of the cross build (relative to win64, or win32 with bits 32); empty when it is
  // missing.
  fs::path Built(const std::string& relative, int bits = 64) const;
  // The environment a Windows program of the tests runs with ("NAME=value").
  std::vector<std::string> Environment() const;
  // Runs loader + args with Environment(); the exit code, or -1 when it could not start.
  int Run(const std::vector<std::string>& args, std::string* output = nullptr) const;
  // Starts the prefix's server for good (a Windows program then starts at once), or ends it.
  void KeepServer() const;
  void EndServer() const;
};

// The prefix is created on the first call (wineboot, about 15 s); later calls return it.
const Wine& TheWine();

// The Windows name of a Linux path (Wine's drive Z: is the root folder).
std::string WindowsPath(const fs::path& path);

// An X display (Xvfb, started on first use and ended with the test program) for the Windows
// programs whose windows a test needs, as ":n"; empty when none can be started.
std::string TestDisplay();

// The bridge of one bitness in the cross build.
fs::path BuiltBridge(int bits);

// Where the COM stand-in is registered in the prefix: in the 64-bit view (as JV-Link 5.0.0),
// the 32-bit view (as JV-Link before it), both, or neither; or as a 64-bit server whose class
// the 32-bit view shows too, with a server there that a 32-bit program cannot load (as keys
// left behind by an uninstalled 4.x, or Wine's unredirected per-user classes, show it).
// False with the reason when regsvr32 fails. The prefix keeps it for the rest of the run; the
// tests start from Both.
enum class Registration { None, Only64, Only32, Both, Only64ServerBothViews };
bool RegisterStandIn(Registration r, std::string& why);

}  // namespace tavolen::testing

namespace tavolen::testing {
// TAVOLEN_WINE_REQUIRED=1 (set by scripts/test.sh) turns a skip into a failure.
bool WineRequired();
// The same for the 32-bit programs, unless TAVOLEN_WINE32_OPTIONAL=1 (set by scripts/test.sh
// when the set-up could not install 32-bit Wine, and said why).
bool Wine32Required();
}  // namespace tavolen::testing

// Skips the test when a part it needs is missing, saying which; fails instead when the Wine
// tests are required.
#define TAVOLEN_REQUIRE_WINE_PART(usable, why, what, required)                       \
  do {                                                                               \
    if (!::tavolen::testing::TheWine().usable) {                                     \
      if (::tavolen::testing::required())                                            \
        FAIL() << what " tests required but: " << ::tavolen::testing::TheWine().why; \
      GTEST_SKIP() << what " tests skipped: " << ::tavolen::testing::TheWine().why;  \
    }                                                                                \
  } while (0)

// Wine and the cross build (or TAVOLEN_SKIP_WINE set).
#define TAVOLEN_REQUIRE_WINE() TAVOLEN_REQUIRE_WINE_PART(usable(), why, "Wine", WineRequired)

// The same for the 32-bit programs (the 32-bit cross build and Wine's 32-bit part).
#define TAVOLEN_REQUIRE_WINE32()                                                 \
  do {                                                                           \
    TAVOLEN_REQUIRE_WINE();                                                      \
    TAVOLEN_REQUIRE_WINE_PART(usable32(), why32, "32-bit Wine", Wine32Required); \
  } while (0)
