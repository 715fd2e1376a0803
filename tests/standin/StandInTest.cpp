#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "jvlink/JVData_Structure.h"
#include "standin/DemoDay.h"
#include "standin/StandIn.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"
#include "tests/support/TestDir.h"

namespace tavolen {
namespace {

using testsupport::Av;
using testsupport::Ra;
using testsupport::Se;
using testsupport::Tc;
using testsupport::We;

constexpr const char* kKey1 = "2024010606010101";
constexpr const char* kKey2 = "2024010606010102";

// One read of a session: the result, and the record as code page 932 bytes.
struct Read {
  int code;
  SjisString record;
  std::string file;
};

class StandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testsupport::TestDir("standin");
    feed_ = root_ / "feed";
    fs::create_directories(feed_);
    link_ = Make();
    ASSERT_EQ(link_->StoreSettings({"KEY", feed_}), 0);
  }
  void TearDown() override { SetWriteFaultForTesting(nullptr); }

  std::unique_ptr<StandInJVLink> Make(int callsPerFile = 2) {
    return std::make_unique<StandInJVLink>(clock_, StandInOptions{root_ / "own", callsPerFile});
  }
  void Feed(const std::string& name, const std::vector<std::string>& records) {
    std::string bytes;
    for (const auto& r : records) bytes += r;
    ASSERT_TRUE(testsupport::WriteFileBytes(feed_ / name, bytes));
  }
  int Open(const std::string& fromtime, int option = 2) {
    last_ = u"unset";
    return link_->JVOpen(u"RACE", Wide(fromtime), option, readCount_, downloadCount_, last_);
  }
  Read Next() {
    std::u16string buff, name;
    int size = 60000;
    const int r = link_->JVRead(buff, size, name);
    EXPECT_EQ(size, 60000);
    return {r, RecordToSjis(buff), Utf16ToSjis(name)};
  }
  // Reads to the end (or a failure), waiting out a download.
  std::vector<Read> ReadAll() {
    std::vector<Read> out;
    for (int guard = 0; guard < 100000; ++guard) {
      Read r = Next();
      if (r.code == -3) continue;
      out.push_back(r);
      if (r.code == 0 || r.code < -3) break;
    }
    return out;
  }
  void Faults(const std::string& text) {
    ASSERT_TRUE(testsupport::WriteFileBytes(feed_ / "faults.txt", text));
  }

  FakeClock clock_{{2024, 1, 6, 12, 0, 0}};
  fs::path root_, feed_;
  std::unique_ptr<StandInJVLink> link_;
  int readCount_ = -9, downloadCount_ = -9;
  std::u16string last_;
};

TEST_F(StandIn, SidChecksAndCallsBeforeInit) {
  std::u16string buff, name;
  int size = 60000;
  EXPECT_EQ(Open("20240101000000"), -201);
  EXPECT_EQ(link_->JVRTOpen(u"0B14", u"20240106"), -201);
  EXPECT_EQ(link_->JVStatus(), -201);
  EXPECT_EQ(link_->JVRead(buff, size, name), -201);
  EXPECT_EQ(link_->JVClose(), 0);

  EXPECT_EQ(link_->JVInit(u""), -101);
  EXPECT_EQ(link_->JVInit(std::u16string(64, u'A')), -102);
  EXPECT_EQ(link_->JVInit(Wide(Sj("あ") + std::string(62, 'A'))), -102);  // 64 bytes
  EXPECT_EQ(link_->JVInit(u" TAVOLEN"), -103);
  EXPECT_EQ(link_->JVInit(Wide(Sj("　TAVOLEN"))), -103);
  EXPECT_EQ(Open("20240101000000"), -201) << "a failed JVInit does not initialise";
  EXPECT_EQ(link_->JVInit(std::u16string(63, u'A')), 0);
  EXPECT_EQ(link_->JVStatus(), -203);
  EXPECT_EQ(link_->JVRead(buff, size, name), -203);
}

TEST_F(StandIn, OpenArgumentsAndSessionState) {
  Feed("20240105000000-ra.jvd", {Ra(kKey1)});
  ASSERT_EQ(link_->JVInit(u"UNKNOWN"), 0);
  auto open = [&](const std::u16string& spec, const std::u16string& from, int option) {
    readCount_ = downloadCount_ = -9;
    last_ = u"unset";
    return link_->JVOpen(spec, from, option, readCount_, downloadCount_, last_);
  };
  EXPECT_EQ(open(u"", u"20240101000000", 2), -111);
  EXPECT_EQ(open(u"RAC", u"20240101000000", 2), -111);
  EXPECT_EQ(open(u"RACEXXXX", u"20240101000000", 2), -111);
  EXPECT_EQ(readCount_, 0);
  EXPECT_EQ(downloadCount_, 0);
  EXPECT_EQ(last_, u"");
  EXPECT_EQ(open(u"RACE", u"2024010100000", 2), -112);
  EXPECT_EQ(open(u"RACE", u"20241301000000", 2), -112);
  EXPECT_EQ(open(u"RACE", u"2024010100000A", 2), -112);
  EXPECT_EQ(open(u"RACE", u"20240101000000", 0), -115);
  EXPECT_EQ(open(u"RACE", u"20240101000000", 5), -115);
  EXPECT_EQ(open(u"RACEDIFF", u"20240101000000", 2), -116);
  EXPECT_EQ(open(u"DIFF", u"20240101000000", 1), -1) << "known, but nothing of it in the feed";

  EXPECT_EQ(open(u"RACE", u"20240101000000", 1), 0);
  EXPECT_EQ(open(u"RACE", u"20240101000000", 2), -202);
  EXPECT_EQ(link_->JVRTOpen(u"0B14", u"20240106"), -202);
  EXPECT_EQ(link_->JVClose(), 0);
  EXPECT_EQ(open(u"RACE", u"20240101000000", 4), 0);
  EXPECT_EQ(link_->JVClose(), 0);
  Feed("20240106000000-we.jvd", {We("20240106060101", "00000000", '1')});
  EXPECT_EQ(link_->JVRTOpen(u"0B14", u"20240106"), 0);
  EXPECT_EQ(open(u"RACE", u"20240101000000", 2), -202);
  EXPECT_EQ(link_->JVStatus(), -203) << "no JVOpen session";
  EXPECT_EQ(link_->JVClose(), 0);
  EXPECT_EQ(link_->JVClose(), 0);
}

TEST_F(StandIn, FromtimeSelectsNewerFilesAndCountsWhatIsNotCached) {
  Feed("20240101120000-old.jvd", {Ra(kKey1), Ra(kKey2)});
  Feed("20240103120000-mid.jvd", {Se(kKey1, "01"), Se(kKey1, "02"), Se(kKey1, "03")});
  std::string lfOnly = Ra(kKey2);
  lfOnly.erase(lfOnly.size() - 2, 1);  // a file written with LF line ends
  Feed("20240105090000-new.jvd", {lfOnly, Se(kKey2, "01")});
  Feed("20240105100000-changes.jvd", {We("20240106060101", "00000000", '1'), Ra(kKey1)});
  ASSERT_TRUE(testsupport::WriteFileBytes(feed_ / "notes.txt", "not a feed file\n"));
  ASSERT_EQ(link_->JVInit(u"UNKNOWN"), 0);

  ASSERT_EQ(Open("20240102000000"), 0);
  EXPECT_EQ(readCount_, 2);
  EXPECT_EQ(downloadCount_, 2);
  EXPECT_EQ(last_, u"20240105090000");
  std::vector<Read> reads = ReadAll();
  std::vector<std::string> seen;
  for (const Read& r : reads) {
    if (r.code > 0) {
      EXPECT_EQ(r.code, static_cast<int>(r.record.size()));
      EXPECT_TRUE(r.record.ends_with("\r\n"));
      seen.push_back(r.file + ":" + Cut(r.record, 1, 2) + Cut(r.record, 26, 2) +
                     Cut(r.record, 29, 2));
    } else {
      seen.push_back(std::to_string(r.code));
    }
  }
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "20240103120000-mid.jvd:SE0101", "20240103120000-mid.jvd:SE0102",
                      "20240103120000-mid.jvd:SE0103", "-1", "20240105090000-new.jvd:RA02  ",
                      "20240105090000-new.jvd:SE0201", "-1", "0"}));
  EXPECT_EQ(reads[4].record, Ra(kKey2)) << "delivered with CR LF";
  EXPECT_EQ(Next().code, 0) << "stays at the end";
  EXPECT_EQ(link_->JVClose(), 0);

  // Downloaded files are cached; a changed file is downloaded again.
  ASSERT_EQ(Open("20240101000000"), 0);
  EXPECT_EQ(readCount_, 3);
  EXPECT_EQ(downloadCount_, 1);
  EXPECT_EQ(link_->JVClose(), 0);
  Feed("20240103120000-mid.jvd", {Se(kKey1, "01")});
  ASSERT_EQ(Open("20240102000000"), 0);
  EXPECT_EQ(downloadCount_, 1);
  EXPECT_EQ(link_->JVClose(), 0);

  EXPECT_EQ(Open("20240105090000"), -1) << "a file as old as fromtime is not newer";
  EXPECT_EQ(readCount_, 0);
  EXPECT_EQ(last_, u"");
  EXPECT_EQ(Open("20240105085959"), 0);
  EXPECT_EQ(readCount_, 1);
}

TEST_F(StandIn, DownloadRisesAtItsPaceAndReadWaitsForIt) {
  Feed("20240105000000-a.jvd", {Ra(kKey1)});
  Feed("20240105000001-b.jvd", {Ra(kKey2)});
  ASSERT_EQ(link_->JVInit(u"UNKNOWN"), 0);
  ASSERT_EQ(Open("20240101000000"), 0);
  ASSERT_EQ(downloadCount_, 2);
  // One file every two calls of JVStatus or JVRead.
  EXPECT_EQ(Next().code, -3);
  EXPECT_EQ(link_->JVStatus(), 1);
  EXPECT_EQ(Next().code, -3);
  EXPECT_EQ(link_->JVStatus(), 2);
  EXPECT_EQ(link_->JVStatus(), 2);
  EXPECT_TRUE(FileExists(root_ / "own" / "cache" / "20240105000000-a.jvd"));
  EXPECT_TRUE(FileExists(root_ / "own" / "cache" / "20240105000001-b.jvd"));
  EXPECT_EQ(Next().code, 1272);
  EXPECT_EQ(link_->JVClose(), 0);

  // Nothing to download: JVStatus reports the (zero) count, reading starts at once.
  ASSERT_EQ(Open("20240101000000"), 0);
  EXPECT_EQ(downloadCount_, 0);
  EXPECT_EQ(link_->JVStatus(), 0);
  EXPECT_EQ(Next().code, 1272);
}

TEST_F(StandIn, FailedCacheWriteFailsTheDownload) {
  Feed("20240105000000-a.jvd", {Ra(kKey1)});
  ASSERT_EQ(link_->JVInit(u"UNKNOWN"), 0);
  ASSERT_EQ(Open("20240101000000"), 0);
  SetWriteFaultForTesting([](const fs::path& p) { return p.parent_path().filename() == "cache"; });
  EXPECT_EQ(link_->JVStatus(), 0);
  EXPECT_EQ(link_->JVStatus(), -502);
  EXPECT_EQ(Next().code, -502);
  EXPECT_EQ(link_->JVClose(), 0);
  SetWriteFaultForTesting(nullptr);
  ASSERT_EQ(Open("20240101000000"), 0);
  EXPECT_EQ(downloadCount_, 1) << "nothing half-cached";
}

TEST_F(StandIn, CancelStopsTheDownloadAndKeepsWhatArrived) {
  Feed("20240105000000-a.jvd", {Ra(kKey1)});
  Feed("20240105000001-b.jvd", {Ra(kKey2)});
  Feed("20240105000002-c.jvd", {Se(kKey1, "01")});
  ASSERT_EQ(link_->JVInit(u"UNKNOWN"), 0);
  ASSERT_EQ(Open("20240101000000"), 0);
  EXPECT_EQ(link_->JVStatus(), 0);
  EXPECT_EQ(link_->JVStatus(), 1);
  link_->JVCancel();
  EXPECT_EQ(link_->JVStatus(), -502);
  EXPECT_EQ(Next().code, -502);
  EXPECT_EQ(Open("20240101000000"), -202) << "a cancel does not close the session";
  EXPECT_EQ(link_->JVClose(), 0);
  ASSERT_EQ(Open("20240101000000"), 0);
  EXPECT_EQ(downloadCount_, 2);

  // A cancel while reading ends the data.
  while (link_->JVStatus() < 2) {
  }
  EXPECT_GT(Next().code, 0);
  link_->JVCancel();
  EXPECT_EQ(Next().code, 0);
  EXPECT_EQ(link_->JVClose(), 0);
  link_->JVCancel();  // with nothing open: no effect
  EXPECT_EQ(Open("20240101000000"), 0);
}

TEST_F(StandIn, ChangeDataUnfoldsWithTheClock) {
  const std::string course = "20240106060101";
  Feed("20240106000000-changes.jvd",
       {We(course, "00000000", '1'), We(course, "01060930", '2'), Av(kKey1, "01061000", "03"),
        Ra(kKey1), Tc(kKey2, "01061200"), Ra(kKey2), Av("2024010706020101", "01070900", "05"),
        We(course, "01061201", '3')});
  Feed("20240106000001-more.jvd", {Av(kKey2, "01061100", "07")});
  ASSERT_EQ(link_->JVInit(u"UNKNOWN"), 0);

  EXPECT_EQ(link_->JVRTOpen(u"0B15", u"20240106"), -111);
  EXPECT_EQ(link_->JVRTOpen(u"", u"20240106"), -111);
  EXPECT_EQ(link_->JVRTOpen(u"0B14", u"2024010"), -114);
  EXPECT_EQ(link_->JVRTOpen(u"0B14", u"2024010X"), -114);
  EXPECT_EQ(link_->JVRTOpen(u"0B14", u"20240231"), -114);
  EXPECT_EQ(link_->JVRTOpen(u"0B14", u"20240105"), -1);

  auto session = [&](const LocalDateTime& now) {
    clock_.Set(now);
    std::vector<std::string> out;
    if (link_->JVRTOpen(u"0B14", u"20240106") != 0) return out;
    for (const Read& r : ReadAll())
      out.push_back(r.code > 0 ? Cut(r.record, 1, 2) + AnnouncementStamp(r.record)
                               : std::to_string(r.code));
    EXPECT_EQ(link_->JVClose(), 0);
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(session({2024, 1, 6, 9, 29, 0}), (V{"WE00000000", "-1", "0"}));
  EXPECT_EQ(session({2024, 1, 6, 10, 0, 0}),
            (V{"WE00000000", "WE01060930", "AV01061000", "RA", "-1", "0"}));
  EXPECT_EQ(session({2024, 1, 6, 12, 0, 0}),
            (V{"WE00000000", "WE01060930", "AV01061000", "RA", "TC01061200", "RA", "-1",
               "AV01061100", "-1", "0"}));
  EXPECT_EQ(session({2024, 1, 8, 0, 0, 0}).size(), 11u) << "a past day is served whole";
}

TEST_F(StandIn, FaultFileMakesCallsFail) {
  Feed("20240105000000-a.jvd", {Ra(kKey1), Ra(kKey2), Se(kKey1, "01")});
  Feed("20240106000000-changes.jvd", {We("20240106060101", "00000000", '1')});
  auto link = Make(0);
  ASSERT_EQ(link->StoreSettings({"", feed_}), 0);
  int rc = 0, dc = 0;
  std::u16string last, buff, name;
  int size = 60000;

  Faults("JVInit -101\n");
  EXPECT_EQ(link->JVInit(u"UNKNOWN"), -101);
  Faults("JVOpen -504\nJVRTOpen -301 after 1\n");
  EXPECT_EQ(link->JVInit(u"UNKNOWN"), 0);
  EXPECT_EQ(link->JVOpen(u"RACE", u"20240101000000", 2, rc, dc, last), -504);
  EXPECT_EQ(link->JVRTOpen(u"0B14", u"20240106"), 0);
  EXPECT_EQ(link->JVClose(), 0);
  EXPECT_EQ(link->JVRTOpen(u"0B14", u"20240106"), -301);
  EXPECT_EQ(link->JVRTOpen(u"0B14", u"20240106"), -301);

  Faults("JVRead -402 after 2\nJVStatus -502 after 1 times 1\nJVClose -1\n");
  ASSERT_EQ(link->JVOpen(u"RACE", u"20240101000000", 2, rc, dc, last), 0);
  EXPECT_EQ(link->JVStatus(), 1);
  EXPECT_EQ(link->JVStatus(), -502);
  EXPECT_EQ(link->JVStatus(), 1);
  EXPECT_EQ(link->JVRead(buff, size, name), 1272);
  EXPECT_EQ(link->JVRead(buff, size, name), 1272);
  EXPECT_EQ(link->JVRead(buff, size, name), -402);
  EXPECT_EQ(link->JVRead(buff, size, name), -402);
  EXPECT_EQ(link->JVClose(), -1);
  EXPECT_EQ(link->JVOpen(u"RACE", u"20240101000000", 2, rc, dc, last), 0)
      << "a failing JVClose still ends the session";
  EXPECT_EQ(link->JVStatus(), 0) << "the spent JVStatus fault answers again in a new session";
  EXPECT_EQ(link->JVStatus(), -502);

  Faults("# nothing\n");
  EXPECT_EQ(link->JVClose(), 0);
  ASSERT_EQ(link->JVOpen(u"RACE", u"20240101000000", 2, rc, dc, last), 0);
  for (int i = 0; i < 3; ++i) EXPECT_GT(link->JVRead(buff, size, name), 0);
}

TEST_F(StandIn, SettingsAreCheckedAndStoredInItsOwnFolder) {
  EXPECT_EQ(link_->StoreSettings({"KEY", root_ / "missing"}), -100);
  EXPECT_EQ(link_->StoreSettings({"BAD\nKEY", feed_}), -100);
  EXPECT_EQ(link_->StoreSettings({std::string(64, 'K'), feed_}), -100);
  EXPECT_EQ(link_->Settings(), (StandInSettings{"KEY", feed_}));
  EXPECT_EQ(LoadStandInSettings(root_ / "own"), (StandInSettings{"KEY", feed_}));

  SetWriteFaultForTesting([](const fs::path&) { return true; });
  EXPECT_EQ(link_->StoreSettings({"OTHER", feed_}), -100);
  SetWriteFaultForTesting(nullptr);
  EXPECT_EQ(Make()->Settings().serviceKey, "KEY");

  // The settings dialog: none installed, cancelled, accepted, refused.
  EXPECT_EQ(link_->JVSetUIProperties(), 0);
  EXPECT_EQ(link_->Settings().serviceKey, "KEY");
  link_->SetSettingsDialog([](const StandInSettings&) { return std::nullopt; });
  EXPECT_EQ(link_->JVSetUIProperties(), 0);
  EXPECT_EQ(link_->Settings().serviceKey, "KEY");
  link_->SetSettingsDialog([](const StandInSettings& s) {
    StandInSettings next = s;
    next.serviceKey = "NEWKEY";
    next.feedFolder.clear();
    return std::optional(next);
  });
  EXPECT_EQ(link_->JVSetUIProperties(), 0);
  EXPECT_TRUE(link_->ServesDemo());
  EXPECT_EQ(Make()->Settings(), (StandInSettings{"NEWKEY", {}}));
  link_->SetSettingsDialog([&](const StandInSettings& s) {
    return std::optional(StandInSettings{"X", root_ / "missing"});
  });
  EXPECT_EQ(link_->JVSetUIProperties(), -100);

  // The dialog the program installs for every stand-in.
  auto other = Make();
  SetStandInSettingsDialog([&](const StandInSettings& s) {
    return std::optional(StandInSettings{"SHARED", feed_});
  });
  EXPECT_EQ(other->JVSetUIProperties(), 0);
  EXPECT_EQ(other->Settings().serviceKey, "SHARED");
  SetStandInSettingsDialog(nullptr);
}

TEST_F(StandIn, MissingFeedFolderIsReported) {
  ASSERT_EQ(link_->JVInit(u"UNKNOWN"), 0);
  fs::remove_all(feed_);
  EXPECT_EQ(Open("20240101000000"), -211);
  EXPECT_EQ(link_->JVRTOpen(u"0B14", u"20240106"), -211);
}

#ifdef _WIN32
// On Windows the stand-in keeps its folder in the user's local application data.
TEST(StandInFolder, LocalAppData) {
  const wchar_t* saved = _wgetenv(L"LOCALAPPDATA");
  const std::wstring keep = saved ? saved : L"";
  _wputenv_s(L"LOCALAPPDATA", L"C:\\Users\\u\\AppData\\Local");
  EXPECT_EQ(DefaultStandInFolder(),
            fs::path(L"C:\\Users\\u\\AppData\\Local\\tavolen-jvlink-standin"));
  _wputenv_s(L"LOCALAPPDATA", keep.c_str());
}
#else
TEST(StandInFolder, DataHomeOrHome) {
  const char* savedXdg = std::getenv("XDG_DATA_HOME");
  const std::string keep = savedXdg ? savedXdg : "";
  setenv("XDG_DATA_HOME", "/data/home", 1);
  EXPECT_EQ(DefaultStandInFolder(), fs::path("/data/home/tavolen-jvlink-standin"));
  setenv("XDG_DATA_HOME", "relative", 1);
  const char* home = std::getenv("HOME");
  if (home && *home) {
    EXPECT_EQ(DefaultStandInFolder(), fs::path(home) / ".local/share/tavolen-jvlink-standin");
  }
  if (savedXdg) {
    setenv("XDG_DATA_HOME", keep.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
}
#endif

TEST(StandInRegistry, RegistersUnderTheProgId) {
  FakeClock clock({2024, 1, 6, 12, 0, 0});
  const fs::path root = testsupport::TempDir("standin/registry");
  RegisterStandIn(clock, StandInOptions{root, 0});
  std::unique_ptr<JVLink> link = JVLinkRegistry::Instance().Create(kJVLinkProgId);
  ASSERT_NE(link, nullptr);
  auto* standIn = dynamic_cast<StandInJVLink*>(link.get());
  ASSERT_NE(standIn, nullptr);
  EXPECT_EQ(standIn->Folder(), root);
  JVLinkRegistry::Instance().Unregister(kJVLinkProgId);
  EXPECT_EQ(JVLinkRegistry::Instance().Create(kJVLinkProgId), nullptr);
}

// The built-in demo: no settings, today's race day generated at first use.
class DemoStandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testsupport::TestDir("standin");
    link_ = std::make_unique<StandInJVLink>(clock_, StandInOptions{root_, 0});
  }
  std::vector<SjisString> ReadRecords(int& fileEnds) {
    std::vector<SjisString> out;
    std::u16string buff, name;
    int size = 60000;
    fileEnds = 0;
    for (int r; (r = link_->JVRead(buff, size, name)) != 0;) {
      if (r == -1) ++fileEnds;
      if (r > 0) {
        out.push_back(RecordToSjis(buff));
        EXPECT_EQ(static_cast<size_t>(r), out.back().size());
      }
      if (r < -3) {
        ADD_FAILURE() << "JVRead " << r;
        break;
      }
    }
    return out;
  }

  FakeClock clock_{{2024, 5, 12, 9, 0, 0}};
  fs::path root_;
  std::unique_ptr<StandInJVLink> link_;
};

TEST_F(DemoStandIn, RaceSessionServesTheWholeCard) {
  ASSERT_TRUE(link_->ServesDemo());
  ASSERT_EQ(link_->JVInit(u"UNKNOWN"), 0);
  EXPECT_TRUE(HasDemoDay(root_ / "demo-feed", clock_.Now()));
  int rc = 0, dc = 0;
  std::u16string last;
  ASSERT_EQ(link_->JVOpen(u"RACE", u"20240504090000", 2, rc, dc, last), 0);
  EXPECT_EQ(last, u"20240511170000");
  EXPECT_TRUE(rc == 4 || rc == 6) << rc;
  EXPECT_EQ(dc, rc);
  EXPECT_EQ(link_->JVStatus(), dc);
  int fileEnds = 0;
  const std::vector<SjisString> records = ReadRecords(fileEnds);
  EXPECT_EQ(fileEnds, rc);
  int races = 0, runners = 0, expectedRunners = 0;
  for (const SjisString& r : records) {
    ASSERT_EQ(Cut(r, Header::Date), "20240512");
    if (r.starts_with("RA")) {
      ++races;
      EXPECT_EQ(r.size(), 1272u);
      expectedRunners += ReadNumber(Cut(r, RA::RunnerCount));
    } else {
      ASSERT_TRUE(r.starts_with("SE"));
      EXPECT_EQ(r.size(), 555u);
      ++runners;
    }
  }
  EXPECT_EQ(races, 12 * rc / 2);
  EXPECT_EQ(runners, expectedRunners);
  EXPECT_EQ(link_->JVClose(), 0);
  EXPECT_EQ(link_->JVOpen(u"RACE", last, 2, rc, dc, last), -1);
}

TEST_F(DemoStandIn, ChangeSessionIsTheWholeDaySoFar) {
  ASSERT_EQ(link_->JVInit(u"UNKNOWN"), 0);  // generates the day, changes from 09:03
  std::vector<std::vector<SjisString>> answers;
  for (int minutes : {0, 3, 60, 120, 14 * 60}) {
    clock_.Set(LocalDateTime{2024, 5, 12, 9, 0, 0}.AddSeconds(minutes * 60));
    ASSERT_EQ(link_->JVRTOpen(u"0B14", u"20240512"), 0);
    int fileEnds = 0;
    answers.push_back(ReadRecords(fileEnds));
    // The day's change file, and the files of records published late once they are made.
    if (minutes == 0) {
      EXPECT_EQ(fileEnds, 1);
    }
    if (minutes == 14 * 60) {
      EXPECT_GT(fileEnds, 1);
    }
    EXPECT_EQ(link_->JVClose(), 0);
  }
  // At first only each course's initial state; then ever more, each answer holding the last.
  for (const SjisString& r : answers[0]) {
    EXPECT_EQ(Cut(r, 1, 3), "WE1");
    EXPECT_EQ(Cut(r, WE::Stamp), "00000000");
  }
  EXPECT_GT(answers[1].size(), answers[0].size());
  for (size_t i = 1; i < answers.size(); ++i) {
    ASSERT_GE(answers[i].size(), answers[i - 1].size());
    std::vector<SjisString> before = answers[i - 1], now = answers[i];
    std::sort(before.begin(), before.end());
    std::sort(now.begin(), now.end());
    EXPECT_TRUE(std::includes(now.begin(), now.end(), before.begin(), before.end()));
  }
  EXPECT_GT(answers.back().size(), answers[2].size());
  std::set<std::string> types;
  for (const SjisString& r : answers.back()) types.insert(r.substr(0, 2));
  EXPECT_EQ(types, (std::set<std::string>{"WE", "AV", "JC", "TC", "CC", "RA"}));

  // The next day is generated when it comes; the day before stays.
  clock_.Set({2024, 5, 13, 7, 0, 0});
  ASSERT_EQ(link_->JVRTOpen(u"0B14", u"20240513"), 0);
  EXPECT_EQ(link_->JVClose(), 0);
  EXPECT_TRUE(HasDemoDay(root_ / "demo-feed", {2024, 5, 12, 0, 0, 0}));
  EXPECT_TRUE(HasDemoDay(root_ / "demo-feed", {2024, 5, 13, 0, 0, 0}));
}

// The traits file changes how JVRead answers: -3 for the first reads, the length written back,
// a record cut at the size passed; the records themselves stay those of the feed otherwise.
TEST_F(DemoStandIn, TraitsChangeHowRecordsAreRead) {
  ASSERT_EQ(link_->JVInit(u"UNKNOWN"), 0);
  int rc = 0, dc = 0;
  std::u16string last, buff, name;
  ASSERT_EQ(link_->JVOpen(u"RACE", u"20240504090000", 2, rc, dc, last), 0);
  int fileEnds = 0;
  const std::vector<SjisString> whole = ReadRecords(fileEnds);
  ASSERT_FALSE(whole.empty());
  EXPECT_EQ(link_->JVClose(), 0);

  ASSERT_TRUE(WriteFileAtomic(root_ / "traits.txt", "downloading 2\nsize cut\n"));
  ASSERT_EQ(link_->JVOpen(u"RACE", u"20240504090000", 2, rc, dc, last), 0);
  int size = 600;
  EXPECT_EQ(link_->JVRead(buff, size, name), -3);
  EXPECT_EQ(link_->JVRead(buff, size, name), -3);
  EXPECT_EQ(size, 600);
  std::vector<SjisString> got;
  for (int r; (r = link_->JVRead(buff, size, name)) != 0 && got.size() < 20;) {
    if (r <= 0) continue;
    got.push_back(RecordToSjis(buff));
    EXPECT_EQ(size, r);  // written back
    size = 600;          // and the whole buffer again, as the program passes it
  }
  ASSERT_EQ(got.size(), 20u);
  for (size_t i = 0; i < got.size(); ++i)
    EXPECT_EQ(got[i], whole[i].size() < 600 ? whole[i] : CutRecord(whole[i], 600)) << i;
  EXPECT_EQ(link_->JVClose(), 0);
}

}  // namespace
}  // namespace tavolen
