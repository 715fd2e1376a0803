#include "jvbridge/BridgeSettings.h"

#include <cctype>

#include "base/SettingsKeys.h"
#include "jvlink/FileIO.h"
#include "jvlink/TextLines.h"

namespace tavolen::bridge {
namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

std::string Value(const IniFile& ini, const Setting<SjisString>& setting, const std::string& def) {
  return SjisToUtf8(TrimBlanks(ini.Read(setting, Utf8ToSjis(def))));
}

}  // namespace

JVLinkChoice ReadJVLinkChoice(const IniFile& ini) {
  JVLinkChoice c;
  std::string use = Value(ini, Settings::JVLinkUse, kWindows ? "bridge" : "standin");
  for (char& ch : use) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  c.useBridge = use == "bridge";
  c.bridge = Value(ini, Settings::JVLinkBridge, "");
  c.wine = Value(ini, Settings::JVLinkWine, c.wine);
  if (c.wine.empty()) c.wine = "wine";
  c.winePrefix = Value(ini, Settings::JVLinkWinePrefix, "");
  c.locale = Value(ini, Settings::JVLinkLocale, c.locale);
  c.timeoutSeconds = ini.Read(Settings::JVLinkTimeout, c.timeoutSeconds);
  if (c.timeoutSeconds < 1) c.timeoutSeconds = 60;
  return c;
}

std::string BridgeProgram(const JVLinkChoice& choice, const std::filesystem::path& programFolder,
                          const std::filesystem::path& installedFolder) {
  if (!choice.bridge.empty()) return choice.bridge;
  const std::filesystem::path beside = programFolder / kBridgeProgramName;
  if (!installedFolder.empty() && !FileExists(beside)) {
    const std::filesystem::path installed = installedFolder / kBridgeProgramName;
    if (FileExists(installed)) return Utf8Text(installed);
  }
  return Utf8Text(beside);
}

BridgeOptions OptionsFor(const JVLinkChoice& choice, const std::filesystem::path& programFolder,
                         const std::filesystem::path& installedFolder) {
  BridgeOptions o;
  const std::string program = BridgeProgram(choice, programFolder, installedFolder);
  if (kWindows) {
    o.launch.command = {program};
  } else {
    o.launch.command = {choice.wine, program};
    if (!choice.winePrefix.empty())
      o.launch.environment.push_back("WINEPREFIX=" + choice.winePrefix);
    if (!choice.locale.empty()) o.launch.environment.push_back("LC_ALL=" + choice.locale);
  }
  o.callTimeoutMs = choice.timeoutSeconds * 1000;
  return o;
}

}  // namespace tavolen::bridge
