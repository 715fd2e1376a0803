#include <gtest/gtest.h>

#include <fstream>
#include <utility>

#include "jvbridge/BridgeSettings.h"

namespace tavolen::bridge {
namespace {

fs::path Ini(const std::string& name, const std::string& text) {
  const char* tmp = std::getenv("TAVOLEN_TEST_TMP");
  const fs::path dir = fs::path(tmp && *tmp ? tmp : "/tmp") / "jvbridge-settings";
  fs::create_directories(dir);
  const fs::path p = dir / name;
  std::ofstream(p, std::ios::binary) << text;
  return p;
}

TEST(BridgeSettings, NothingSetOnLinuxKeepsTheStandIn) {
  const JVLinkChoice c = ReadJVLinkChoice(IniFile(Ini("none.ini", "[locate]\r\ntop=10\r\n")));
  EXPECT_FALSE(c.useBridge);
  EXPECT_FALSE(
      ReadJVLinkChoice(IniFile(Ini("standin.ini", "[JVLink]\r\nuse=standin\r\n"))).useBridge);
  EXPECT_FALSE(ReadJVLinkChoice(IniFile(Ini("other.ini", "[JVLink]\r\nuse=maybe\r\n"))).useBridge);
}

TEST(BridgeSettings, BridgeThroughWineWithItsPrefixLocaleAndTimeout) {
  const JVLinkChoice c = ReadJVLinkChoice(
      IniFile(Ini("bridge.ini",
                  "[JVLink]\r\nuse= Bridge "
                  "\r\nbridge=/opt/jv/tavolen-jvlink-bridge.exe\r\nwine=/usr/bin/wine\r\n"
                  "wineprefix=/home/u/.wine-jvlink\r\ntimeout=5\r\n")));
  ASSERT_TRUE(c.useBridge);
  const BridgeOptions o = OptionsFor(c, "/app");
  EXPECT_EQ(o.launch.command,
            (std::vector<std::string>{"/usr/bin/wine", "/opt/jv/tavolen-jvlink-bridge.exe"}));
  EXPECT_EQ(o.launch.environment,
            (std::vector<std::string>{"WINEPREFIX=/home/u/.wine-jvlink", "LC_ALL=ja_JP.UTF-8"}));
  EXPECT_EQ(o.callTimeoutMs, 5000);
}

TEST(BridgeSettings, DefaultsPutTheBridgeBesideTheProgramAndRunItWithWine) {
  const JVLinkChoice c = ReadJVLinkChoice(
      IniFile(Ini("short.ini", "[JVLink]\r\nuse=bridge\r\nwine=\r\ntimeout=0\r\nlocale=\r\n")));
  const BridgeOptions o = OptionsFor(c, "/app");
  EXPECT_EQ(o.launch.command, (std::vector<std::string>{"wine", "/app/tavolen-jvlink-bridge.exe"}));
  EXPECT_TRUE(o.launch.environment.empty());  // Wine's own prefix, the program's locale
  EXPECT_EQ(o.callTimeoutMs, 60000);
}

// Empty program and install folders (bin, libexec/tavolen) in a folder of their own.
std::pair<fs::path, fs::path> ProgramFolders(const std::string& ini, const std::string& name) {
  const fs::path root = Ini(ini, "").parent_path() / name;
  fs::remove_all(root);
  const fs::path bin = root / "bin", installed = root / "libexec" / "tavolen";
  fs::create_directories(bin);
  fs::create_directories(installed);
  return {bin, installed};
}

// Without a bridge named in the settings, the one beside the program wins over the one an
// install put into its bridge folder; with neither, the start names the one beside the program.
TEST(BridgeSettings, TheBridgeIsFoundBesideTheProgramOrInTheInstall) {
  const auto [bin, installed] = ProgramFolders("x", "search");
  const JVLinkChoice choice;
  EXPECT_EQ(BridgeProgram(choice, bin, installed), (bin / kBridgeProgramName).string());

  std::ofstream(installed / kBridgeProgramName) << "MZ";
  EXPECT_EQ(BridgeProgram(choice, bin, installed), (installed / kBridgeProgramName).string());
  EXPECT_EQ(BridgeProgram(choice, bin), (bin / kBridgeProgramName).string());

  std::ofstream(bin / kBridgeProgramName) << "MZ";
  EXPECT_EQ(BridgeProgram(choice, bin, installed), (bin / kBridgeProgramName).string());

  JVLinkChoice named;
  named.bridge = "/opt/jv/bridge.exe";
  EXPECT_EQ(BridgeProgram(named, bin, installed), "/opt/jv/bridge.exe");
  EXPECT_EQ(OptionsFor(named, bin, installed).launch.command.back(), "/opt/jv/bridge.exe");
}

// Both bitnesses of an install are found, the one that worked last first, an old bridge last;
// bridges beside the program win over the install's.
TEST(BridgeSettings, BothBridgesAreFoundTheBitnessThatWorkedFirst) {
  const auto [bin, installed] = ProgramFolders("y", "bits");
  for (const char* name : {kBridge64Name, kBridge32Name, kBridgeProgramName})
    std::ofstream(installed / name) << "MZ";
  const auto at = [](const fs::path& f, const char* name) { return (f / name).string(); };
  JVLinkChoice choice = ReadJVLinkChoice(IniFile(Ini("bits.ini", "[JVLink]\r\nuse=bridge\r\n")));
  EXPECT_EQ(choice.bits, 0);
  EXPECT_EQ(BridgePrograms(choice, bin, installed),
            (std::vector<BridgeFile>{{at(installed, kBridge64Name), 64},
                                     {at(installed, kBridge32Name), 32},
                                     {at(installed, kBridgeProgramName), 0}}));
  choice = ReadJVLinkChoice(IniFile(Ini("bits32.ini", "[JVLink]\r\nuse=bridge\r\nbits=32\r\n")));
  EXPECT_EQ(choice.bits, 32);
  const BridgeOptions o = OptionsFor(choice, bin, installed);
  EXPECT_EQ(o.launch.bits, 32);
  EXPECT_EQ(o.launch.command.back(), at(installed, kBridge32Name));
  ASSERT_EQ(o.others.size(), 2u);
  EXPECT_EQ(o.others[0].bits, 64);
  EXPECT_EQ(o.others[0].environment, o.launch.environment);
  EXPECT_EQ(ReadJVLinkChoice(IniFile(Ini("bits7.ini", "[JVLink]\r\nbits=7\r\n"))).bits, 0);

  std::ofstream(bin / kBridgeProgramName) << "MZ";
  EXPECT_EQ(BridgePrograms(choice, bin, installed),
            (std::vector<BridgeFile>{{at(bin, kBridgeProgramName), 0}}));
}

}  // namespace
}  // namespace tavolen::bridge
