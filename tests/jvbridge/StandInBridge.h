// The JV-Link bridge under Wine over the COM stand-in, as the bridge tests and the bridge
// benchmark start it.
#pragma once

#include <string>

#include "jvbridge/BridgeJVLink.h"
#include "jvbridge/BridgeSettings.h"
#include "tests/jvbridge/WineHarness.h"

namespace tavolen::testing {

// Starts the cross-built bridge with Wine; the COM stand-in serves the stand-in folder standin,
// reads the time from clockFile and downloads one file every callsPerFile calls (0: at once).
// bits: the bridge's bitness (the COM stand-in of that bitness must be registered).
inline bridge::BridgeOptions StandInBridgeOptions(const fs::path& standin,
                                                  const fs::path& clockFile, int callsPerFile,
                                                  int bits = 64) {
  bridge::BridgeOptions o;
  o.launch.command = {TheWine().loader.string(), WindowsPath(BuiltBridge(bits))};
  o.launch.bits = bits;
  o.launch.environment = TheWine().Environment();
  o.launch.environment.push_back("TAVOLEN_STANDIN_FOLDER=" + WindowsPath(standin));
  o.launch.environment.push_back("TAVOLEN_STANDIN_CLOCK=" + WindowsPath(clockFile));
  o.launch.environment.push_back("TAVOLEN_STANDIN_CALLS_PER_FILE=" + std::to_string(callsPerFile));
  return o;
}

// Both bridges as an install lays them out (copied into folder/libexec), started as the program
// starts them from its settings (choice: the Wine command and prefix are the test run's), with
// the environment of the COM stand-in. A bridge not built is left out (none: an empty command).
inline bridge::BridgeOptions InstalledBridgeOptions(const fs::path& folder,
                                                    bridge::JVLinkChoice choice,
                                                    const fs::path& standin,
                                                    const fs::path& clockFile) {
  const fs::path bin = folder / "bin", libexec = folder / "libexec";
  fs::create_directories(bin);
  fs::create_directories(libexec);
  for (int bits : {64, 32}) {
    if (BuiltBridge(bits).empty()) continue;
    fs::copy_file(BuiltBridge(bits),
                  libexec / ("tavolen-jvlink-bridge" + std::to_string(bits) + ".exe"),
                  fs::copy_options::overwrite_existing);
  }
  choice.useBridge = true;
  choice.wine = TheWine().loader.string();
  choice.winePrefix = TheWine().prefix.string();
  bridge::BridgeOptions o = bridge::OptionsFor(choice, bin, libexec);
  const auto withStandIn = [&](bridge::BridgeLaunch& l) {
    for (const std::string& e : TheWine().Environment()) l.environment.push_back(e);
    l.environment.push_back("TAVOLEN_STANDIN_FOLDER=" + WindowsPath(standin));
    l.environment.push_back("TAVOLEN_STANDIN_CLOCK=" + WindowsPath(clockFile));
    l.environment.push_back("TAVOLEN_STANDIN_CALLS_PER_FILE=0");
  };
  withStandIn(o.launch);
  for (bridge::BridgeLaunch& l : o.others) withStandIn(l);
  return o;
}

}  // namespace tavolen::testing
