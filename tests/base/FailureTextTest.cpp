#include "base/FailureText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <fstream>

#include "tests/support/Files.h"

namespace tavolen {
namespace {

std::string Text(const FileStatus& st) {
  return SjisToUtf8(FailureText(st));
}

// The part in full-width parentheses at the end: the system's reason.
std::string ReasonPart(const std::string& text) {
  const size_t open = text.rfind("（");
  return open == std::string::npos ? std::string() : text.substr(open);
}

bool HasAsciiLetter(const std::string& text) {
  for (char c : text)
    if (std::isalpha(static_cast<unsigned char>(c))) return true;
  return false;
}

// Every failure has words for the user, even without a detail; a success has none.
TEST(FailureText, EveryReasonIsWorded) {
  EXPECT_TRUE(FailureText(FileStatus::Ok()).empty());
  for (int r = static_cast<int>(FileError::Open); r <= static_cast<int>(FileError::AppFolderEnter);
       ++r) {
    const FileStatus st = FileStatus::Fail(static_cast<FileError>(r));
    EXPECT_FALSE(FailureText(st).empty()) << "reason " << r;
  }
}

// Write and folder failures name the path and the system's reason in Japanese, never in the
// system's English text; a rare error is named by its number.
TEST(FailureText, SystemReasonsAreJapanese) {
  const SjisString path = Sj("データ\\2024年01月06日.jvRA");
  const std::string full = Text(FileStatus::Fail(FileError::Write, path, ENOSPC));
  EXPECT_EQ(full,
            "ファイルを保存できませんでした：データ\\2024年01月06日."
            "jvRA（ディスクの空き容量が足りません）");
  for (int err :
       {EACCES, EPERM, EROFS, EFBIG, EIO, ENOENT, ENOTDIR, EEXIST, ENAMETOOLONG, EMFILE}) {
    const std::string reason = ReasonPart(Text(FileStatus::Fail(FileError::Folder, path, err)));
    EXPECT_GT(reason.size(), std::string("（）").size()) << err;
    EXPECT_FALSE(HasAsciiLetter(reason)) << reason;
  }
  EXPECT_EQ(ReasonPart(Text(FileStatus::Fail(FileError::Write, path, 9999))),
            "（システムエラー 9999）");
}

// A file standing where a folder belongs, as EnsureFolder meets it.
TEST(FailureText, AFileInTheWayOfAFolder) {
  const fs::path dir = testsupport::TempDir("base/failure-text");
  std::ofstream(dir / "plain") << "a file where a folder should go";
  const std::string text = Text(EnsureFolder(dir / "plain" / "Data"));
  EXPECT_NE(text.find("フォルダを作成できませんでした"), std::string::npos) << text;
  EXPECT_NE(text.find("同じ名前のファイルがあります"), std::string::npos) << text;
  EXPECT_FALSE(HasAsciiLetter(ReasonPart(text))) << text;
}

// A log that cannot be saved says so first, then why the file could not be written.
TEST(FailureText, ALogThatCannotBeSavedSaysWhy) {
  const std::string text = Text(FileStatus::Fail(FileError::LogSave, Sj("ErrorLog.txt"), EACCES));
  EXPECT_EQ(text,
            "エラーログを保存できませんでした。ファイルを保存できませんでした：ErrorLog.txt（"
            "書き込みが許可されていません）");
}

}  // namespace
}  // namespace tavolen
