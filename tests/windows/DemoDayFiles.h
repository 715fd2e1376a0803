// The stand-in's demo race day written through the program's own acquisition and change checks
// (the crash test's logic stream, run whole and never killed) into an application folder.
#pragma once

#include "tests/reliability/CrashLogic.h"

namespace tavolen::testing {

// False at the first step that fails.
inline bool WriteDemoDayThroughTheProgram(const fs::path& app) {
  std::error_code ec;
  fs::create_directories(app / "Data", ec);
  reliability::LogicStream stream(app);
  if (!stream.Init() || !stream.RecordStartup()) return false;
  for (uint64_t i = 0; i < reliability::kLogicOps; ++i)
    if (!stream.Apply(i)) return false;
  return true;
}

}  // namespace tavolen::testing
