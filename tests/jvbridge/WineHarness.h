// Windows programs of the cross build run under Wine: one throwaway prefix per test program
// run, made on first use and removed when the program ends.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tavolen::testing {

namespace fs = std::filesystem;

struct Wine {
  fs::path loader;  // the 64-bit Wine loader
  fs::path win64;   // the 64-bit cross build folder
  fs::path prefix;  // the throwaway WINEPREFIX
  fs::path server;  // its wineserver
  std::string why;  // why Wine cannot be used here; empty when it can

  bool usable() const { return why.empty(); }
  // A file of the cross build (relative to win64); empty when it is missing.
  fs::path Built(const std::string& relative) const;
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

}  // namespace tavolen::testing

namespace tavolen::testing {
// TAVOLEN_WINE_REQUIRED=1 (set by scripts/test.sh) turns a skip into a failure.
bool WineRequired();
}  // namespace tavolen::testing

// Skips the test when Wine or the cross build is missing (or TAVOLEN_SKIP_WINE is set), saying
// which; fails instead when the Wine tests are required.
#define TAVOLEN_REQUIRE_WINE()                                                      \
  do {                                                                              \
    if (!::tavolen::testing::TheWine().usable()) {                                  \
      if (::tavolen::testing::WineRequired())                                       \
        FAIL() << "Wine tests required but: " << ::tavolen::testing::TheWine().why; \
      GTEST_SKIP() << "Wine tests skipped: " << ::tavolen::testing::TheWine().why;  \
    }                                                                               \
  } while (0)
