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
  c.bits = ini.Read(Settings::JVLinkBits, 0);
  if (c.bits != 32 && c.bits != 64) c.bits = 0;
  return c;
}

std::vector<BridgeFile> BridgePrograms(const JVLinkChoice& choice,
                                       const std::filesystem::path& programFolder,
                                       const std::filesystem::path& installedFolder) {
  if (!choice.bridge.empty()) return {BridgeFile{choice.bridge, 0}};
  const int first = choice.bits == 32 ? 32 : 64;
  const auto in = [first](const std::filesystem::path& folder) {
    std::vector<BridgeFile> found;
    for (const BridgeFile& f : {BridgeFile{first == 64 ? kBridge64Name : kBridge32Name, first},
                                BridgeFile{first == 64 ? kBridge32Name : kBridge64Name, 96 - first},
                                BridgeFile{kBridgeProgramName, 0}})
      if (FileExists(folder / f.path)) found.push_back({Utf8Text(folder / f.path), f.bits});
    return found;
  };
  std::vector<BridgeFile> found = in(programFolder);
  if (found.empty() && !installedFolder.empty()) found = in(installedFolder);
  if (found.empty()) found.push_back({Utf8Text(programFolder / kBridgeProgramName), 0});
  return found;
}

std::string BridgeProgram(const JVLinkChoice& choice, const std::filesystem::path& programFolder,
                          const std::filesystem::path& installedFolder) {
  return BridgePrograms(choice, programFolder, installedFolder).front().path;
}

BridgeOptions OptionsFor(const JVLinkChoice& choice, const std::filesystem::path& programFolder,
                         const std::filesystem::path& installedFolder) {
  BridgeOptions o;
  bool first = true;
  for (const BridgeFile& f : BridgePrograms(choice, programFolder, installedFolder)) {
    BridgeLaunch l;
    l.bits = f.bits;
    if (kWindows) {
      l.command = {f.path};
    } else {
      l.command = {choice.wine, f.path};
      if (!choice.winePrefix.empty()) l.environment.push_back("WINEPREFIX=" + choice.winePrefix);
      if (!choice.locale.empty()) l.environment.push_back("LC_ALL=" + choice.locale);
    }
    (first ? o.launch : o.others.emplace_back()) = std::move(l);
    first = false;
  }
  o.callTimeoutMs = choice.timeoutSeconds * 1000;
  return o;
}

}  // namespace tavolen::bridge
