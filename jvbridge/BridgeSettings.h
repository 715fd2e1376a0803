// Which JV-Link the program uses, from the section "JVLink" of the settings file:
//
//   [JVLink]
//   use=bridge            ; "bridge": the real component through the bridge; "standin": the
//                         ; built-in stand-in (the default on Linux)
//   bridge=...            ; the bridge program (default: tavolen-jvlink-bridge.exe beside the
//                         ; program, else the one installed with it)
//   wine=wine             ; Linux: the Wine command that runs the bridge
//   wineprefix=...        ; Linux: the Wine prefix the component is installed in (default:
//                         ; Wine's own)
//   locale=ja_JP.UTF-8    ; Linux: the bridge's locale (empty: the program's)
//   timeout=60            ; seconds a call that shows no dialog may take before the bridge is
//                         ; taken as hung
#pragma once

#include <filesystem>
#include <string>

#include "base/IniFile.h"
#include "jvbridge/BridgeJVLink.h"

namespace tavolen::bridge {

inline constexpr const char* kBridgeProgramName = "tavolen-jvlink-bridge.exe";

struct JVLinkChoice {
  bool useBridge = false;
  std::string bridge;  // UTF-8 path; empty: beside the program
  std::string wine = "wine";
  std::string winePrefix;
  std::string locale = "ja_JP.UTF-8";
  int timeoutSeconds = 60;
};

// The choice stored in the settings file; nothing stored: the platform's default (the bridge
// on Windows, the stand-in elsewhere).
JVLinkChoice ReadJVLinkChoice(const IniFile& ini);

// The bridge program of a choice: the one the settings name; else the one beside the program;
// else the one an install put into its bridge folder (installedFolder, may be empty); else the
// name beside the program, which the start then reports as missing.
std::string BridgeProgram(const JVLinkChoice& choice, const std::filesystem::path& programFolder,
                          const std::filesystem::path& installedFolder = {});

// How the bridge of a choice starts: on Windows the bridge itself, elsewhere through Wine.
BridgeOptions OptionsFor(const JVLinkChoice& choice, const std::filesystem::path& programFolder,
                         const std::filesystem::path& installedFolder = {});

}  // namespace tavolen::bridge
