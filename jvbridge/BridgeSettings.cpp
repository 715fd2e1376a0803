#include "jvbridge/BridgeSettings.h"

#include <cctype>

#include "jvlink/TextLines.h"

namespace tavolen::bridge {
namespace {

constexpr const char* kSection = "JVLink";

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

std::string Value(const IniFile& ini, const char* key, const std::string& def) {
  return SjisToUtf8(TrimBlanks(ini.ReadString(kSection, key, Utf8ToSjis(def))));
}

}  // namespace

JVLinkChoice ReadJVLinkChoice(const IniFile& ini) {
  JVLinkChoice c;
  std::string use = Value(ini, "use", kWindows ? "bridge" : "standin");
  for (char& ch : use) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  c.useBridge = use == "bridge";
  c.bridge = Value(ini, "bridge", "");
  c.wine = Value(ini, "wine", c.wine);
  if (c.wine.empty()) c.wine = "wine";
  c.winePrefix = Value(ini, "wineprefix", "");
  c.locale = Value(ini, "locale", c.locale);
  c.timeoutSeconds = ini.ReadInteger(kSection, "timeout", c.timeoutSeconds);
  if (c.timeoutSeconds < 1) c.timeoutSeconds = 60;
  return c;
}

BridgeOptions OptionsFor(const JVLinkChoice& choice, const std::filesystem::path& appFolder) {
  BridgeOptions o;
  const std::string program =
      choice.bridge.empty() ? (appFolder / kBridgeProgramName).string() : choice.bridge;
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
