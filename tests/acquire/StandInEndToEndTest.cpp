// The acquisition window against the JV-Link stand-in serving its demo race day.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <map>

#include "acquire/GetDataUnit.h"
#include "base/IniFile.h"
#include "jvlink/RaceFiles.h"
#include "standin/StandIn.h"
#include "tests/acquire/FakeView.h"
#include "tests/support/ForwardingJVLink.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {
namespace {

// Passes every call on and keeps the records JVRead delivered.
class RecordingLink : public testsupport::ForwardingJVLink {
 public:
  using ForwardingJVLink::ForwardingJVLink;
  std::vector<SjisString> delivered;

  int JVRead(std::u16string& buff, int& size, std::u16string& name) override {
    const int r = inner_.JVRead(buff, size, name);
    if (r > 0) delivered.push_back(RecordToSjis(buff));
    return r;
  }
};

std::map<std::string, std::string> FilesOf(const fs::path& dir) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::directory_iterator(dir))
    out[e.path().filename().string()] = testsupport::ReadFileBytes(e.path());
  return out;
}

class StandInEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication("tavolen_acquire_standin_tests");
    dir = testsupport::FreshTestDir("acquire");
    standIn = std::make_unique<StandInJVLink>(clock, StandInOptions{dir / "standin", 0});
    ASSERT_EQ(standIn->JVInit(u"UNKNOWN"), 0);
    link = std::make_unique<RecordingLink>(*standIn);
    ini = std::make_unique<IniFile>(dir / "Tavolen.ini");
    form =
        std::make_unique<TGetDataForm>(*link, desktop, *ini, clock, dir / "Data", state, nullptr);
    form->show();
  }

  // Presses ButtonStart and waits for the session's close step; the time it took, in ms.
  long long RunSession() {
    const int before = desktop.Count("beep");
    QElapsedTimer t;
    t.start();
    form->ButtonStart->click();
    // The close step's beep is the last thing a session does.
    while (!(desktop.Count("beep") >= before + 2 && !form->TimerJVStatus->isActive() &&
             form->cursor().shape() != Qt::BusyCursor) &&
           t.elapsed() < 10000)
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    return t.elapsed();
  }

  fs::path dir;
  FakeClock clock{LocalDateTime{2024, 1, 13, 8, 30, 0}};  // a demo day of three courses
  std::unique_ptr<StandInJVLink> standIn;
  std::unique_ptr<RecordingLink> link;
  RecordingDesktop desktop;
  AcquisitionState state;
  std::unique_ptr<IniFile> ini;
  std::unique_ptr<TGetDataForm> form;
};

TEST_F(StandInEndToEnd, DemoDayBecomesTheRaceFilesOfTheStoreFunctions) {
  const long long ms = RunSession();
  ASSERT_EQ(desktop.Messages().back(), Sj("データ作成が完了しました。"));
  std::printf("demo day read and stored (with download) in %lld ms\n", ms);

  // The same records stored directly give the same files and the same list lines.
  const fs::path direct = dir / "direct";
  fs::create_directories(direct);
  std::vector<QString> lines;
  int ra = 0, se = 0;
  for (const SjisString& record : link->delivered) {
    const std::string type = record.substr(0, 2);
    if (type != "RA" && type != "SE") continue;
    (type == "RA" ? ra : se)++;
    const StoreResult r =
        type == "RA" ? StoreRaRecord(direct, record) : StoreSeRecord(direct, record);
    ASSERT_TRUE(r.stored()) << record.substr(0, 30);
    lines.push_back(QString::fromStdU16String(SjisToUtf16(r.listLine)));
  }
  EXPECT_EQ(ra, 36);
  EXPECT_GT(se, 400);
  const auto written = FilesOf(dir / "Data");
  EXPECT_EQ(written, FilesOf(direct));
  ASSERT_EQ(form->ListBox1->count(), static_cast<int>(lines.size()));
  for (int i = 0; i < form->ListBox1->count(); ++i)
    EXPECT_EQ(form->ListBox1->item(i)->text(), lines[static_cast<size_t>(i)]) << i;

  // The files by their layouts: one day file of 36 sorted 1272-byte records and three entry
  // files of 216 lines of 555 bytes.
  ASSERT_EQ(written.size(), 4u);
  const std::string day = written.at("2024年01月13日.jvRA");
  ASSERT_EQ(day.size(), 36u * 1272);
  for (size_t i = 0; i < 36; ++i) {
    EXPECT_EQ(day.substr(i * 1272, 11), "RA000000000");
    EXPECT_EQ(day.substr(i * 1272 + 1270, 2), "\r\n");
    if (i > 0) {
      EXPECT_LT(day.substr((i - 1) * 1272 + 11, 16), day.substr(i * 1272 + 11, 16));
    }
  }
  for (const auto& [name, bytes] : written) {
    if (name.ends_with(".jvSEr")) {
      EXPECT_EQ(bytes.size(), 216u * 555) << name;
    }
  }

  // A session that had to download leaves the start time as it was.
  EXPECT_EQ(ini->ReadString("JvDataGet", "LastTime", "(none)"), "(none)");
  EXPECT_FALSE(state.sessionOpen);
}

TEST_F(StandInEndToEnd, SessionFromTheCacheSavesTheStampAndTheNextFindsNothingNewer) {
  RunSession();
  const auto first = FilesOf(dir / "Data");
  desktop.Clear();
  link->delivered.clear();

  // Everything is downloaded now: the session reads at once and keeps the time stamp.
  const long long ms = RunSession();
  std::printf("demo day read and stored (from the cache) in %lld ms\n", ms);
  ASSERT_EQ(desktop.Messages().back(), Sj("データ作成が完了しました。"));
  EXPECT_EQ(ini->ReadString("JvDataGet", "LastTime", "(none)"), "2024/01/12 17:00:00");
  EXPECT_EQ(form->DateTimePicker1->date(), QDate(2024, 1, 12));
  EXPECT_EQ(FilesOf(dir / "Data"), first);

  desktop.Clear();
  form->ButtonStart->click();
  EXPECT_EQ(desktop.Messages().back(), Sj("最新のデータがありません。"));
  EXPECT_EQ(desktop.events.back().kind, "beep");
}

TEST_F(StandInEndToEnd, CancelDuringTheDownloadLeavesTheSessionForTheNextStart) {
  standIn = std::make_unique<StandInJVLink>(clock, StandInOptions{dir / "slow", 1000});
  ASSERT_EQ(standIn->JVInit(u"UNKNOWN"), 0);
  link = std::make_unique<RecordingLink>(*standIn);
  form = std::make_unique<TGetDataForm>(*link, desktop, *ini, clock, dir / "Data", state, nullptr);
  form->ButtonStart->click();
  ASSERT_TRUE(form->TimerJVStatus->isActive());
  desktop.answers = {true};
  form->ButtonCancel->click();
  EXPECT_TRUE(state.sessionOpen);
  form.reset();  // the window is closed with the session left open

  form = std::make_unique<TGetDataForm>(*link, desktop, *ini, clock, dir / "Data", state, nullptr);
  desktop.Clear();
  form->ButtonStart->click();
  EXPECT_EQ(desktop.Messages().back(),
            Sj("JVOpenエラー:前回のJVOpen/JVRTOpen に対してJVClose が呼ばれていません。（オープン"
               "中）(-202)"));
  EXPECT_FALSE(state.sessionOpen);
  desktop.Clear();
  form->ButtonStart->click();  // the following start works normally
  EXPECT_TRUE(form->TimerJVStatus->isActive());
  EXPECT_TRUE(state.sessionOpen);
}

}  // namespace
}  // namespace tavolen
