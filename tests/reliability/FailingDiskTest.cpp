// A disk that refuses writes, through the write-fault seam, a real file-size limit that cuts a
// write short, and a read-only Data folder: every store reports a Japanese message and leaves
// every file exactly as it was.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "base/ErrorLog.h"
#include "base/FailureText.h"
#include "base/IniFile.h"
#include "jvlink/ChangeFiles.h"
#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"
#include "jvlink/RaceFiles.h"
#include "tests/reliability/ReliabilityFiles.h"

namespace tavolen {
namespace {

using namespace tavolen::reliability;

constexpr std::string_view kDay = "20240106";

// Makes every write whose path the predicate accepts fail, for the life of the object.
struct FullDisk {
  explicit FullDisk(WriteFault fault = [](const fs::path&) { return true; }) {
    SetWriteFaultForTesting(std::move(fault));
  }
  ~FullDisk() { SetWriteFaultForTesting(nullptr); }
};

// A Data folder holding a day file (races 1 and 2 at Nakayama), its entry file with one
// runner, and change files and a renew file of the day.
struct StoredDay {
  fs::path app;
  fs::path data;
  explicit StoredDay(const std::string& name) : app(FreshApp(name)), data(app / "Data") {
    WriteFileBytes(data / (DateName(kDay) + ".jvRA"), DayLine(MakeRa(kDay, "06", 1)) + "\r\n" +
                                                          DayLine(MakeRa(kDay, "06", 2)) + "\r\n");
    std::string entry;
    for (int i = 0; i < 216; ++i)
      entry += (i == 3 ? MakeSe(kDay, "06", 1, 4).substr(0, 553) : std::string(553, ' ')) + "\r\n";
    WriteFileBytes(data / (DateName(kDay) + "中山.jvSEr"), entry);
    const std::string stamp = "01061000";
    WriteFileBytes(data / (DateName(kDay) + ".jvWE"), MakeWe(kDay, "06", stamp, "1"));
    WriteFileBytes(data / (DateName(kDay) + ".jvAV"), MakeAv(kDay, 3, 5, stamp));
    WriteFileBytes(data / (DateName(kDay) + ".jvJC"),
                   MakeJc(kDay, 3, 5, stamp, Sj("アトノキシュ")));
    WriteFileBytes(data / (DateName(kDay) + ".jvTC"), MakeTc(kDay, 3, stamp, "1600"));
    WriteFileBytes(data / (DateName(kDay) + ".jvCC"), MakeCc(kDay, 3, stamp));
    WriteFileBytes(data / (DateName(kDay) + ".renew"), "01061000\r\n\r\n\r\n\r\n\r\n");
  }
};

// The message names the file and says in Japanese why it was not saved.
void ExpectSaveMessage(const SjisString& message, const std::string& fileName,
                       const std::string& reason) {
  const std::string text = SjisToUtf8(message);
  EXPECT_NE(text.find("ファイルを保存できませんでした"), std::string::npos) << text;
  EXPECT_NE(text.find(fileName), std::string::npos) << text;
  EXPECT_NE(text.find(reason), std::string::npos) << text;
}

TEST(FailingDisk, StoringRaceRecordsChangesNoFile) {
  StoredDay day("full-disk-race");
  struct Case {
    const char* what;
    std::string record;
    bool ra;
    std::string file;
  };
  const std::vector<Case> cases = {
      {"a new race of a stored day", MakeRa(kDay, "06", 3), true, DateName(kDay) + ".jvRA"},
      {"a race that replaces a line", MakeRa(kDay, "06", 1, "B"), true, DateName(kDay) + ".jvRA"},
      {"the first race of a new day", MakeRa("20240107", "06", 1), true,
       DateName("20240107") + ".jvRA"},
      {"a runner of a stored entry file", MakeSe(kDay, "06", 1, 5), false,
       DateName(kDay) + "中山.jvSEr"},
      {"the first runner of a course", MakeSe(kDay, "09", 1, 1), false,
       DateName(kDay) + "阪神.jvSEr"},
  };
  const Snapshot before = TakeSnapshot(day.app);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FullDisk disk;
    const StoreResult r =
        c.ra ? StoreRaRecord(day.data, c.record) : StoreSeRecord(day.data, c.record);
    ASSERT_TRUE(r.failed());
    EXPECT_TRUE(r.listLine.empty());
    ExpectSaveMessage(FailureText(r.status), c.file, "ディスクの空き容量が足りません");
    EXPECT_EQ(TakeSnapshot(day.app), before);
  }
}

TEST(FailingDisk, AFaultOnOneFileLeavesTheOthersWorking) {
  StoredDay day("full-disk-one-file");
  const fs::path entry = day.data / (DateName(kDay) + "中山.jvSEr");
  const std::string entryBefore = ReadFileBytes(entry);
  FullDisk disk([&](const fs::path& p) { return p == entry; });

  EXPECT_TRUE(StoreRaRecord(day.data, MakeRa(kDay, "06", 3)).stored());
  EXPECT_TRUE(StoreSeRecord(day.data, MakeSe(kDay, "06", 1, 6)).failed());
  EXPECT_EQ(ReadFileBytes(entry), entryBefore);
  EXPECT_EQ(ReadFileBytes(day.data / (DateName(kDay) + ".jvRA")),
            DayLine(MakeRa(kDay, "06", 1)) + "\r\n" + DayLine(MakeRa(kDay, "06", 2)) + "\r\n" +
                DayLine(MakeRa(kDay, "06", 3)) + "\r\n");
}

TEST(FailingDisk, MergingChangeRecordsChangesNoFile) {
  StoredDay day("full-disk-changes");
  const std::string later = "01061100";
  struct Case {
    const char* what;
    std::string record;
    std::string file;
  };
  const std::vector<Case> cases = {
      {"a weather change", MakeWe(kDay, "06", later, "2"), DateName(kDay) + ".jvWE"},
      {"a scratch of a new runner", MakeAv(kDay, 3, 6, later), DateName(kDay) + ".jvAV"},
      {"a scratch that replaces a line", MakeAv(kDay, 3, 5, later), DateName(kDay) + ".jvAV"},
      {"a jockey change", MakeJc(kDay, 3, 6, later, Sj("ベツノキシュ")), DateName(kDay) + ".jvJC"},
      {"a post-time change", MakeTc(kDay, 3, later, "1610"), DateName(kDay) + ".jvTC"},
      {"a course change", MakeCc(kDay, 4, later), DateName(kDay) + ".jvCC"},
      {"the first change of another day", MakeAv("20240107", 1, 1, "01071000"),
       DateName("20240107") + ".jvAV"},
  };
  const Snapshot before = TakeSnapshot(day.app);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FullDisk disk;
    const StoreResult r = StoreChangeRecord(day.data, c.record);
    ASSERT_TRUE(r.failed());
    ExpectSaveMessage(FailureText(r.status), c.file, "ディスクの空き容量が足りません");
    EXPECT_EQ(TakeSnapshot(day.app), before);
  }
}

TEST(FailingDisk, SavingTheRenewFileKeepsTheOldStamps) {
  StoredDay day("full-disk-renew");
  const fs::path renew = day.data / (DateName(kDay) + ".renew");
  const Snapshot before = TakeSnapshot(day.app);
  {
    FullDisk disk;
    const FileStatus st = WriteRenewFile(renew, {"01061200", "01061100", "", "01061230", ""});
    ASSERT_FALSE(st.ok);
    ExpectSaveMessage(FailureText(st), DateName(kDay) + ".renew", "ディスクの空き容量が足りません");
  }
  EXPECT_EQ(TakeSnapshot(day.app), before);
  const RenewStamps stamps = ReadRenewFile(renew);
  EXPECT_EQ(stamps[0], "01061000");
  EXPECT_EQ(stamps[1], "");
}

TEST(FailingDisk, SettingsAndErrorLogKeepTheirLinesAndRecover) {
  const fs::path app = FreshApp("full-disk-settings");
  const fs::path iniPath = app / "Tavolen.ini";
  const std::string iniBytes = "[locate]\r\ntop=10\r\nleft=20\r\n[Time]\r\nAutoRdataGet=5\r\n";
  WriteFileBytes(iniPath, iniBytes);
  FakeClock clock(LocalDateTime{2024, 1, 6, 10, 30, 0});
  ErrorLog log(app, clock);
  ASSERT_TRUE(log.RecordStartup());
  const std::string logBytes = ReadFileBytes(app / "ErrorLog.txt");
  {
    FullDisk disk;
    IniFile ini(iniPath);
    const FileStatus st = ini.WriteInteger("Time", "AutoRdataGet", 7);
    ASSERT_FALSE(st.ok);
    ExpectSaveMessage(FailureText(st), "Tavolen.ini", "ディスクの空き容量が足りません");
    EXPECT_FALSE(ini.WriteString("new", "key", "value").ok);
    EXPECT_EQ(ini.ReadInteger("Time", "AutoRdataGet", 0), 5);
    const FileStatus logged = log.RecordError(Sj("開催速報データ取得中"));
    ASSERT_FALSE(logged.ok);
    EXPECT_NE(SjisToUtf8(FailureText(logged)).find("エラーログを保存できませんでした"),
              std::string::npos);
  }
  EXPECT_EQ(ReadFileBytes(iniPath), iniBytes);
  EXPECT_EQ(ReadFileBytes(app / "ErrorLog.txt"), logBytes);
  for (const auto& e : fs::directory_iterator(app))
    EXPECT_FALSE(e.path().string().ends_with(std::string(kTempSuffix))) << e.path();

  // Once the disk has room again, the same writes go through.
  IniFile ini(iniPath);
  EXPECT_TRUE(ini.WriteInteger("Time", "AutoRdataGet", 7).ok);
  EXPECT_EQ(ini.ReadInteger("Time", "AutoRdataGet", 0), 7);
  EXPECT_TRUE(log.RecordError(Sj("開催速報データ取得中")).ok);
  EXPECT_TRUE(ReadFileBytes(app / "ErrorLog.txt").starts_with(logBytes));
}

// Runs body in a child process with a file-size limit, so a write really stops part-way (the
// kernel refuses the rest), and returns the child's exit code.
int WithFileSizeLimit(rlim_t bytes, const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{bytes, bytes};
    if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(90);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(FailingDisk, AWriteCutShortByTheDiskLeavesTheOldFile) {
  StoredDay day("cut-short");
  const Snapshot before = TakeSnapshot(day.app);
  // An entry file is 119,880 bytes; the limit stops its temporary copy after 60,000.
  const int code = WithFileSizeLimit(60000, [&] {
    const StoreResult se = StoreSeRecord(day.data, MakeSe(kDay, "06", 12, 18));
    if (!se.failed()) return 1;
    if (SjisToUtf8(FailureText(se.status)).find("ファイルが大きすぎます") == std::string::npos)
      return 2;
    return 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(TakeSnapshot(day.app), before);

  // A day file grows past the limit with its 48th race line.
  std::string big;
  for (int r = 1; r <= 12; ++r)
    for (const char* course : {"05", "06", "08", "09"})
      big += DayLine(MakeRa(kDay, course, r)) + "\r\n";
  WriteFileBytes(day.data / (DateName(kDay) + ".jvRA"), big);
  const Snapshot withBig = TakeSnapshot(day.app);
  EXPECT_EQ(WithFileSizeLimit(
                big.size() + 100,
                [&] { return StoreRaRecord(day.data, MakeRa(kDay, "10", 1)).failed() ? 0 : 1; }),
            0);
  EXPECT_EQ(TakeSnapshot(day.app), withBig);
}

TEST(FailingDisk, AReadOnlyDataFolderChangesNoFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  StoredDay day("read-only");
  const Snapshot before = TakeSnapshot(day.app);
  fs::permissions(day.data, fs::perms::owner_read | fs::perms::owner_exec);
  const StoreResult ra = StoreRaRecord(day.data, MakeRa(kDay, "06", 3));
  const StoreResult se = StoreSeRecord(day.data, MakeSe(kDay, "06", 1, 5));
  const StoreResult av = StoreChangeRecord(day.data, MakeAv(kDay, 3, 6, "01061100"));
  const FileStatus renew =
      WriteRenewFile(day.data / (DateName(kDay) + ".renew"), {"01061200", "", "", "", ""});
  fs::permissions(day.data, fs::perms::owner_all);
  ASSERT_TRUE(ra.failed());
  ASSERT_TRUE(se.failed());
  ASSERT_TRUE(av.failed());
  ASSERT_FALSE(renew.ok);
  ExpectSaveMessage(FailureText(ra.status), DateName(kDay) + ".jvRA",
                    "書き込みが許可されていません");
  ExpectSaveMessage(FailureText(av.status), DateName(kDay) + ".jvAV",
                    "書き込みが許可されていません");
  EXPECT_EQ(TakeSnapshot(day.app), before);
}

// A day file that came to hold two lines of one race (edited by hand, or written by another
// program) keeps one line of that race, the new one, once the race is stored again.
TEST(FailingDisk, ADayFileWithTwoLinesOfOneRaceKeepsOne) {
  const fs::path app = FreshApp("two-lines-one-race");
  const fs::path file = app / "Data" / (DateName(kDay) + ".jvRA");
  WriteFileBytes(file, DayLine(MakeRa(kDay, "06", 3, "X")) + "\r\n" +
                           DayLine(MakeRa(kDay, "06", 1)) + "\r\n" +
                           DayLine(MakeRa(kDay, "06", 3, "Y")) + "\r\n");
  ASSERT_TRUE(StoreRaRecord(app / "Data", MakeRa(kDay, "06", 3, "Z")).stored());
  EXPECT_EQ(ReadFileBytes(file),
            DayLine(MakeRa(kDay, "06", 1)) + "\r\n" + DayLine(MakeRa(kDay, "06", 3, "Z")) + "\r\n");
}

}  // namespace
}  // namespace tavolen
