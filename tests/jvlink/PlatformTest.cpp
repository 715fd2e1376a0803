// The platform's file services as the stores use them: Japanese names through wide paths, the
// atomic replace, the data folder in any letter case, masks, the program's own path.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "jvlink/FileIO.h"
#include "jvlink/Platform.h"
#include "jvlink/Sjis.h"

namespace tavolen {
namespace {

fs::path TempDir(const std::string& name) {
  const char* base = std::getenv("TAVOLEN_TEST_TMP");
  fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) / "platform" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string Bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(Utf8Text(e.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

// The names of a date are made from code page 932 texts and found again by listing the folder;
// a UTF-16 literal names the same file on every platform, whatever the narrow code page.
TEST(PlatformFiles, DateNamesAreStoredAndListedUnchanged) {
  const fs::path dir = TempDir("names");
  const SjisString day = Sj("2024年01月06日.jvRA");
  const SjisString entry = Sj("2024年01月06日中山.jvSEr");
  const SjisString renew = Sj("2024年01月06日.renew");
  for (const SjisString& name : {day, entry, renew})
    ASSERT_TRUE(WriteFileAtomic(dir / SjisPath(name), "x" + name));
  EXPECT_TRUE(fs::is_regular_file(dir / fs::path(u"2024年01月06日.jvRA")));
  EXPECT_TRUE(fs::is_regular_file(dir / fs::path(u"2024年01月06日中山.jvSEr")));
  EXPECT_TRUE(fs::is_regular_file(dir / fs::path(u"2024年01月06日.renew")));
  EXPECT_EQ(Names(dir), (std::vector<std::string>{"2024年01月06日.jvRA", "2024年01月06日.renew",
                                                  "2024年01月06日中山.jvSEr"}));
  for (const auto& e : fs::directory_iterator(dir)) {
    const SjisString name = PathText(e.path().filename());
    EXPECT_EQ(Bytes(e.path()), "x" + name);
    EXPECT_EQ(SjisPath(name), e.path().filename());
  }
  EXPECT_EQ(Utf8Path(Utf8Text(dir / SjisPath(entry))), dir / SjisPath(entry));
}

TEST(PlatformFiles, ReplaceKeepsExactlyTheNewBytes) {
  const fs::path dir = TempDir("replace");
  const fs::path f = dir / SjisPath(Sj("2024年01月06日.jvWE"));
  ASSERT_TRUE(WriteFileAtomic(f, std::string(5000, 'a') + "\r\n"));
  ASSERT_TRUE(WriteFileAtomic(f, "short\r\n"));  // shorter: nothing of the old file stays
  EXPECT_EQ(Bytes(f), "short\r\n");
  ASSERT_TRUE(WriteFileAtomic(f, ""));
  EXPECT_EQ(Bytes(f), "");
  EXPECT_EQ(Names(dir).size(), 1u);
}

// A replace the system refuses (a folder holds the name) fails with a message, keeps what is
// there and leaves no temporary file.
TEST(PlatformFiles, RefusedReplaceKeepsTheOldAndLeavesNoTemporary) {
  const fs::path dir = TempDir("refused");
  const fs::path f = dir / "2024.renew";
  fs::create_directories(f / "inside");
  const FileStatus st = WriteFileAtomic(f, "new");
  EXPECT_FALSE(st.ok);
  EXPECT_EQ(st.reason, FileError::Write);
  EXPECT_EQ(st.detail, PathText(f));
  EXPECT_TRUE(fs::is_directory(f / "inside"));
  EXPECT_EQ(Names(dir), std::vector<std::string>{"2024.renew"});
}

TEST(PlatformFiles, DataFolderIsFoundWhateverItsLetterCase) {
  const fs::path app = TempDir("datacase");
  // None yet: the name to create, spelled as asked.
  EXPECT_EQ(FindFolderAnyCase(app, "Data"), app / "Data");
  // A file of that name is not the folder.
  std::ofstream(app / "DATA.txt") << "x";
  EXPECT_EQ(FindFolderAnyCase(app, "Data"), app / "Data");

  fs::create_directory(app / "DATA");  // an older install
  const fs::path found = FindFolderAnyCase(app, "Data");
  EXPECT_TRUE(fs::is_directory(found));
  std::ofstream(found / "x.jvRA") << "x";
  EXPECT_TRUE(fs::is_regular_file(app / "DATA" / "x.jvRA"));
  // Asked the same way twice, the same folder.
  EXPECT_EQ(FindFolderAnyCase(app, "Data"), found);

  if (!FileNamesIgnoreCase()) {
    EXPECT_EQ(found, app / "DATA");
    const fs::path other = TempDir("datacase-lower");
    fs::create_directory(other / "data");
    EXPECT_EQ(FindFolderAnyCase(other, "Data"), other / "data");
    // The exact spelling wins where both exist.
    fs::create_directory(other / "Data");
    EXPECT_EQ(FindFolderAnyCase(other, "Data"), other / "Data");
  }
}

TEST(PlatformFiles, MaskFollowsTheFileSystemsLetterCase) {
  EXPECT_TRUE(MatchesExtension("2024年01月06日.jvRA", ".jvRA"));
  EXPECT_FALSE(MatchesExtension("2024年01月06日.jvSEr", ".jvRA"));
  EXPECT_FALSE(MatchesExtension("jvRA", ".jvRA"));
  EXPECT_FALSE(MatchesExtension("", ".jvRA"));
  EXPECT_EQ(MatchesExtension("2024年01月06日.JVRA", ".jvRA"), FileNamesIgnoreCase());
  EXPECT_EQ(MatchesExtension("x.jvra", ".jvRA"), FileNamesIgnoreCase());
#ifdef _WIN32
  EXPECT_TRUE(FileNamesIgnoreCase());
#else
  EXPECT_FALSE(FileNamesIgnoreCase());
#endif
}

TEST(PlatformFiles, ProgramFileIsThisTestProgram) {
  const fs::path exe = ProgramFilePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_TRUE(exe.is_absolute());
  EXPECT_TRUE(fs::is_regular_file(exe));
  EXPECT_EQ(Utf8Text(exe.stem()), "tavolen_jvlink_tests");
#ifdef _WIN32
  EXPECT_EQ(exe.extension(), ".exe");
#endif
}

// Whether the program may keep its files beside itself; asking leaves nothing behind.
TEST(PlatformFiles, FolderWritableAsksWithoutLeavingAFile) {
  const fs::path dir = TempDir("writable");
  EXPECT_TRUE(FolderWritable(dir));
  EXPECT_TRUE(Names(dir).empty());
  EXPECT_FALSE(FolderWritable(dir / "missing"));
  EXPECT_FALSE(HomeFolder().empty());
}

}  // namespace
}  // namespace tavolen
