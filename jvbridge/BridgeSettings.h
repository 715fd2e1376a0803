// Which JV-Link the program uses, from the section "JVLink" of the settings file:
//
//   [JVLink]
//   use=bridge            ; "bridge": the real component through the bridge; "standin": the
//                         ; built-in stand-in (the default on Linux)
//   bridge=...            ; the bridge program (default: the bridges beside the program, else
//                         ; the ones installed with it, of the component's bitness)
//   wine=wine             ; Linux: the Wine command that runs the bridge
//   wineprefix=...        ; Linux: the Wine prefix the component is installed in (default:
//                         ; Wine's own)
//   locale=ja_JP.UTF-8    ; Linux: the bridge's locale (empty: the program's)
//   timeout=60            ; seconds a call that shows no dialog may take before the bridge is
//                         ; taken as hung
//   bits=64               ; written by the program: the bitness of the bridge that created the
//                         ; component last, tried first at the next start
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/IniFile.h"
#include "jvbridge/BridgeJVLink.h"

namespace tavolen::bridge {

// The bridges by bitness, and the name of the bridge before there were two (accepted when it
// is the one found, its bitness told by its hello).
inline constexpr const char* kBridge64Name = "tavolen-jvlink-bridge64.exe";
inline constexpr const char* kBridge32Name = "tavolen-jvlink-bridge32.exe";
inline constexpr const char* kBridgeProgramName = "tavolen-jvlink-bridge.exe";

struct JVLinkChoice {
  bool useBridge = false;
  std::string bridge;  // UTF-8 path; empty: beside the program
  std::string wine = "wine";
  std::string winePrefix;
  std::string locale = "ja_JP.UTF-8";
  int timeoutSeconds = 60;
  int bits = 0;  // the bitness that worked last (64, 32), 0 when none did yet
};

// A bridge program found, with the bitness its name says (0: unknown).
struct BridgeFile {
  std::string path;  // UTF-8
  int bits = 0;
  bool operator==(const BridgeFile&) const = default;
};

// The choice stored in the settings file; nothing stored: the platform's default (the bridge
// on Windows, the stand-in elsewhere).
JVLinkChoice ReadJVLinkChoice(const IniFile& ini);

// The bridge programs of a choice in the order tried: the one the settings name; else the
// bridges beside the program, or when there are none the ones an install put into its bridge
// folder (installedFolder, may be empty): the bitness that worked last first, else 64-bit,
// then 32-bit, then one of the old name; with none found, the old name beside the program,
// which the start then reports as missing.
std::vector<BridgeFile> BridgePrograms(const JVLinkChoice& choice,
                                       const std::filesystem::path& programFolder,
                                       const std::filesystem::path& installedFolder = {});
// The first of them.
std::string BridgeProgram(const JVLinkChoice& choice, const std::filesystem::path& programFolder,
                          const std::filesystem::path& installedFolder = {});

// How the bridges of a choice start (the first as launch, the rest as others): on Windows the
// bridge itself, elsewhere through Wine.
BridgeOptions OptionsFor(const JVLinkChoice& choice, const std::filesystem::path& programFolder,
                         const std::filesystem::path& installedFolder = {});

}  // namespace tavolen::bridge
