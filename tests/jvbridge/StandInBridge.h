// The JV-Link bridge under Wine over the COM stand-in, as the bridge tests and the bridge
// benchmark start it.
#pragma once

#include <string>

#include "jvbridge/BridgeJVLink.h"
#include "tests/jvbridge/WineHarness.h"

namespace tavolen::testing {

// Starts the cross-built bridge with Wine; the COM stand-in serves the stand-in folder standin,
// reads the time from clockFile and downloads one file every callsPerFile calls (0: at once).
inline bridge::BridgeOptions StandInBridgeOptions(const fs::path& standin,
                                                  const fs::path& clockFile, int callsPerFile) {
  bridge::BridgeOptions o;
  o.launch.command = {TheWine().loader.string(),
                      WindowsPath(TheWine().Built("jvbridge/tavolen-jvlink-bridge.exe"))};
  o.launch.environment = TheWine().Environment();
  o.launch.environment.push_back("TAVOLEN_STANDIN_FOLDER=" + WindowsPath(standin));
  o.launch.environment.push_back("TAVOLEN_STANDIN_CLOCK=" + WindowsPath(clockFile));
  o.launch.environment.push_back("TAVOLEN_STANDIN_CALLS_PER_FILE=" + std::to_string(callsPerFile));
  return o;
}

}  // namespace tavolen::testing
