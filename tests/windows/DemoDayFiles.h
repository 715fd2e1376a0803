// The stand-in's demo race day written through the program's own acquisition and change checks
// (the crash test's logic stream, run whole and never killed) into an application folder.
#pragma once

#include "tests/reliability/CrashLogic.h"

namespace tavolen::testing {

// False at the first step that fails, saying which in why.
inline bool WriteDemoDayThroughTheProgram(const fs::path& app, std::string* why = nullptr) {
  std::error_code ec;
  fs::create_directories(app / "Data", ec);
  reliability::LogicStream stream(app);
  if (!stream.Init() || !stream.RecordStartup()) {
    if (why) *why = "the start of the program failed";
    return false;
  }
  for (uint64_t i = 0; i < reliability::kLogicOps; ++i) {
    if (!stream.Apply(i)) {
      if (why)
        *why = i == 0 ? "the acquisition failed" : "change check " + std::to_string(i) + " failed";
      return false;
    }
  }
  return true;
}

}  // namespace tavolen::testing
