// A disk that fails while the program is doing something: acquiring race data, fetching changes
// or saving the renew file. Each shows the general error box with a clear text, ends only the
// running action (its JV-Link session is still closed), and leaves every stored file as it was;
// the same action succeeds once the disk works again.
#include <gtest/gtest.h>

#include <QApplication>

#include "acquire/GetDataUnit.h"
#include "app/Main.h"
#include "base/Widgets.h"
#include "changes/henkoUnit.h"
#include "jvlink/FileIO.h"
#include "standin/DemoDay.h"
#include "standin/StandIn.h"
#include "tests/reliability/RaceDayParts.h"
#include "tests/reliability/ReliabilityFiles.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {
namespace {

using testsupport::Parts;

using namespace tavolen::reliability;

const LocalDateTime kDay{2024, 1, 6, 0, 0, 0};

// Every write into the Data folder whose name ends in one of the suffixes fails, for the life
// of the object.
struct FailingData {
  FailingData(const fs::path& data, std::vector<std::string> suffixes) {
    SetWriteFaultForTesting([data, suffixes](const fs::path& p) {
      if (p.parent_path() != data) return false;
      for (const auto& s : suffixes)
        if (p.string().ends_with(s)) return true;
      return false;
    });
  }
  ~FailingData() { SetWriteFaultForTesting(nullptr); }
};

struct Program : ::testing::Test {
  fs::path app;
  fs::path data;
  FakeClock clock{LocalDateTime{2024, 1, 6, 7, 0, 0}};
  std::unique_ptr<StandInJVLink> standin;
  std::unique_ptr<CountingJVLink> jv;
  RecordingDesktop desktop;
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<THenkoForm> henko;

  void SetUp() override {
    testsupport::EnsureApplication("tavolen_raceday_tests");
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    app = FreshApp(std::string("running-") + info->name());
    data = app / "Data";
    const fs::path feed = app / "standin" / std::string(kStandInDemoFolderName);
    fs::create_directories(feed);
    ASSERT_TRUE(WriteDemoDay(feed, kDay));
    standin = std::make_unique<StandInJVLink>(clock, StandInOptions{app / "standin", 0});
    jv = std::make_unique<CountingJVLink>(*standin);
    form = std::make_unique<TMainForm>(
        testsupport::TestDeps(app, desktop, clock, *jv, [this](QDialog& d) { return Acquire(d); }));
    henko = std::make_unique<THenkoForm>(form->SettingsFile(), &desktop);
    form->SetChangeWindow(henko.get());
    form->show();
  }
  void TearDown() override {
    SetWriteFaultForTesting(nullptr);
    form.reset();
  }

  // The acquisition window: start, let the download and the reading run, close.
  int Acquire(QDialog& dialog) {
    auto* w = qobject_cast<TGetDataForm*>(&dialog);
    if (!w) return 0;
    w->ButtonStartClick();
    const SjisString done = Sj("データ作成が完了しました。");
    for (int i = 0; i < 10000 && desktop.Count("error") == 0 && desktop.Count("info") < 2; ++i) {
      w->TimerJVStatusTimer();
      QCoreApplication::processEvents();
    }
    w->done(QDialog::Accepted);
    return 0;
  }

  // Acquires the day and chooses it; the check timer is then ticked by hand.
  void AcquireAndChooseToday() {
    form->J1Click();
    ASSERT_EQ(desktop.Count("error"), 0);
    const int at = Parts(*form).DateCombo->findText(Qs(DateKey(kDay)));
    ASSERT_GE(at, 0);
    Parts(*form).DateCombo->setCurrentIndex(at);
    form->DateComboChange();
    testsupport::CheckTimer(*form)->stop();
    desktop.Clear();
  }

  void TickAt(int hour, int minute) {
    clock.Set(LocalDateTime{2024, 1, 6, hour, minute, 0});
    form->Timer4Timer();
    QCoreApplication::processEvents();
  }

  SjisString OnlyError() const {
    const auto errors = desktop.Of("error");
    return errors.size() == 1 ? errors[0].text
                              : SjisString("<" + std::to_string(errors.size()) + " error boxes>");
  }
};

TEST_F(Program, AcquisitionOnAFullDiskStopsWithAMessageClosesTheSessionAndKeepsTheFiles) {
  // What an earlier acquisition and day left.
  const auto earlier =
      ExpectedRaceFiles(DemoFeedOf(LocalDateTime{2024, 1, 5, 0, 0, 0}).raceRecords);
  for (const auto& [name, bytes] : earlier) WriteFileBytes(data / SjisPath(name), bytes);
  WriteFileBytes(data / SjisPath(DateKey(kDay) + ".renew"), "01060930\r\n\r\n\r\n\r\n\r\n");
  const Snapshot before = TakeSnapshot(data);
  {
    FailingData disk(data, {".jvRA", ".jvSEr"});
    form->J1Click();
  }
  const SjisString error = OnlyError();
  EXPECT_NE(error.find(Sj("保存")), std::string::npos) << Qs(error).toStdString();
  EXPECT_NE(error.find(".jvRA"), std::string::npos) << Qs(error).toStdString();
  EXPECT_EQ(desktop.Count("info"), 1);  // the start notice only: no completion reported
  EXPECT_EQ(jv->opens, 1);
  EXPECT_EQ(jv->closes, 1);
  EXPECT_FALSE(form->acquisition().sessionOpen);
  EXPECT_EQ(TakeSnapshot(data), before);

  // Only the acquisition ended: the next one, on a working disk, stores the whole day.
  desktop.Clear();
  form->J1Click();
  EXPECT_EQ(desktop.Count("error"), 0);
  for (const auto& [name, bytes] : ExpectedRaceFiles(DemoFeedOf(kDay).raceRecords))
    EXPECT_TRUE(ReadFileBytes(data / SjisPath(name)) == bytes) << PathText(name);
  for (const auto& [name, bytes] : earlier)
    EXPECT_TRUE(ReadFileBytes(data / SjisPath(name)) == bytes);
}

TEST_F(Program, ChangeFetchOnAFullDiskStopsWithAMessageClosesTheSessionAndKeepsTheFiles) {
  AcquireAndChooseToday();
  TickAt(10, 0);  // the morning's changes are stored and announced
  ASSERT_EQ(desktop.Count("error"), 0);
  ASSERT_EQ(desktop.Count("balloon"), 1);
  desktop.Clear();
  const Snapshot before = TakeSnapshot(data);
  const int closes = jv->closes;
  {
    FailingData disk(data, {".jvWE", ".jvAV", ".jvJC", ".jvTC", ".jvCC"});
    TickAt(13, 0);
  }
  const SjisString error = OnlyError();
  EXPECT_TRUE(error.starts_with(Sj("変更情報を保存できませんでした。"))) << Qs(error).toStdString();
  EXPECT_EQ(jv->closes, closes + 1);
  EXPECT_EQ(desktop.Count("balloon"), 0);
  EXPECT_EQ(TakeSnapshot(data), before);
  EXPECT_TRUE(testsupport::CheckTimer(*form) != nullptr);

  // The next check on a working disk fetches and announces what the failed one missed.
  desktop.Clear();
  TickAt(13, 5);
  EXPECT_EQ(desktop.Count("error"), 0);
  EXPECT_EQ(desktop.Count("balloon"), 1);
  EXPECT_NE(TakeSnapshot(data), before);
}

TEST_F(Program, RenewFileOnAFullDiskIsReportedAndKeptAndTheNewsComesAgain) {
  AcquireAndChooseToday();
  TickAt(10, 0);
  ASSERT_EQ(desktop.Count("balloon"), 1);
  const fs::path renew = data / SjisPath(DateKey(kDay) + ".renew");
  const std::string told = ReadFileBytes(renew);
  desktop.Clear();
  const int closes = jv->closes, liveOpens = jv->liveOpens;
  {
    FailingData disk(data, {".renew"});
    TickAt(13, 0);
  }
  // The news is shown, the failed save reported, and the renew file still says 10:00.
  EXPECT_EQ(desktop.Count("balloon"), 1);
  const SjisString error = OnlyError();
  EXPECT_NE(error.find(".renew"), std::string::npos) << Qs(error).toStdString();
  // The change session and those of the day's weights and results, each closed.
  EXPECT_EQ(jv->closes, closes + 1 + (jv->liveOpens - liveOpens));
  EXPECT_EQ(ReadFileBytes(renew), told);

  // Since the user's record of what was told did not change, the same news comes once more.
  const auto missed = desktop.Of("balloon")[0].text;
  desktop.Clear();
  TickAt(13, 0);
  ASSERT_EQ(desktop.Count("balloon"), 1);
  EXPECT_EQ(desktop.Of("balloon")[0].text, missed);
  EXPECT_NE(ReadFileBytes(renew), told);
  desktop.Clear();
  TickAt(13, 0);
  EXPECT_EQ(desktop.Count("balloon"), 0);
}

}  // namespace
}  // namespace tavolen
