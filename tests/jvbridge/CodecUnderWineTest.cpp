#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "jvbridge/CodecDump.h"
#include "tests/jvbridge/WineHarness.h"

namespace tavolen {
namespace {

using testing::TheWine;
namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The Windows build of the codec (MultiByteToWideChar/WideCharToMultiByte with code page 932)
// answers every single byte, byte pair and UTF-16 unit exactly as the Linux build (iconv).
TEST(CodecUnderWine, WindowsCodecMatchesLinuxCodecEverywhere) {
  TAVOLEN_REQUIRE_WINE();
  const fs::path exe = TheWine().Built("jvbridge/tavolen-codec-dump.exe");
  ASSERT_FALSE(exe.empty());
  const fs::path out = TheWine().prefix / "codec-dump.bin";
  std::string log;
  ASSERT_EQ(TheWine().Run({testing::WindowsPath(exe), testing::WindowsPath(out)}, &log), 0) << log;
  const std::string windows = Slurp(out);
  const std::string linux = CodecDump();
  ASSERT_EQ(windows.size(), linux.size());
  size_t firstDiff = 0;
  while (firstDiff < windows.size() && windows[firstDiff] == linux[firstDiff]) ++firstDiff;
  EXPECT_EQ(firstDiff, windows.size()) << "first difference at byte " << firstDiff;
}

}  // namespace
}  // namespace tavolen
