// The demo race day's weights, results and payouts through the real windows: the main window
// offscreen on the stand-in's demo day with one favourite horse and the default notification
// settings, the fake clock stepped second by second. With the events on, each race's weights
// and each result stage are stored within a second of their publication; the favourite's
// weight and result ring once each and no other live item rings; the day with the events off
// (the check timer alone) ends with the same files byte for byte; the card shows the weights,
// places and payouts and the race list each race's state.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTimer>
#include <map>
#include <set>

#include "acquire/GetDataUnit.h"
#include "app/Main.h"
#include "base/Favourites.h"
#include "changes/henkoUnit.h"
#include "jvlink/DateFiles.h"
#include "jvlink/LiveFiles.h"
#include "jvlink/LiveRecords.h"
#include "live/LiveNews.h"
#include "standin/DemoDay.h"
#include "standin/Feed.h"
#include "standin/StandIn.h"
#include "tests/reliability/ReliabilityFiles.h"
#include "tests/support/DemoFavourite.h"
#include "tests/support/MainParts.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen {
namespace {

using namespace tavolen::reliability;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

const LocalDateTime kDay{2024, 1, 6, 7, 0, 0};

using FavouriteHorse = testsupport::DemoFavourite;

class WindowDay {
 public:
  WindowDay(const std::string& name, bool events, const FavouriteHorse& favourite)
      : app_(FreshApp(name)), clock_(kDay), standin_(clock_, StandInOptions{app_ / "standin", 0}) {
    fs::create_directories(app_ / "standin" / std::string(kStandInDemoFolderName));
    EXPECT_TRUE(WriteDemoDay(app_ / "standin" / std::string(kStandInDemoFolderName), kDay));
    if (!events) {
      EXPECT_TRUE(WriteFileBytes(app_ / "Tavolen.ini", "[Time]\r\nChangeEvents=0\r\n"));
    }
    EXPECT_TRUE(WriteFileBytes(
        app_ / kFavouritesFileName,
        std::string(kFavouritesHeader) + "\r\n" + favourite.FavouritesLine() + "\r\n"));
    auto runModal = [this](QDialog& dialog) {
      auto* form = qobject_cast<TGetDataForm*>(&dialog);
      if (!form) return 0;
      form->ButtonStartClick();
      for (int i = 0; i < 10000 && desktop_.Count("error") == 0; ++i) {
        const auto infos = desktop_.Of("info");
        if (!infos.empty() && infos.back().text == Sj("データ作成が完了しました。")) break;
        form->TimerJVStatusTimer();
        QCoreApplication::processEvents();
      }
      form->done(QDialog::Accepted);
      return 0;
    };
    form_ = std::make_unique<TMainForm>(
        testsupport::TestDeps(app_, desktop_, clock_, standin_, runModal));
    henko_ = std::make_unique<THenkoForm>(form_->SettingsFile(), &desktop_);
    form_->SetChangeWindow(henko_.get());
    form_->show();
    form_->J1Click();
    const int at = testsupport::Parts(*form_).DateCombo->findText(Qs(DateKey(kDay)));
    EXPECT_GE(at, 0);
    testsupport::Parts(*form_).DateCombo->setCurrentIndex(at);
    form_->DateComboChange();
    testsupport::Part<QTimer>(*form_, "ChangeEventTimer")->stop();  // the test drives it
    desktop_.Clear();
  }
  ~WindowDay() {
    henko_.reset();
    form_.reset();
  }
  fs::path DayFile() const { return form_->meeting().selectedRaceFile; }
  std::map<std::string, std::string> DataFiles() const {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(app_ / "Data"))
      out[e.path().filename().string()] = ReadFileBytes(e.path());
    return out;
  }

  fs::path app_;
  FakeClock clock_;
  StandInJVLink standin_;
  RecordingDesktop desktop_;
  std::unique_ptr<TMainForm> form_;
  std::unique_ptr<THenkoForm> henko_;
};

TEST(LiveDay, WeightsAndResultsStoredShownAndAnnouncedOnceByEventsAndByTheTimerAlike) {
  testsupport::EnsureApplication("tavolen_raceday_tests");
  const std::vector<DemoFile> files = GenerateDemoDay(kDay);
  // The winner of the day's seventh race, whose weights come well after the first check.
  const FavouriteHorse favourite = testsupport::DemoRaceWinner(files, 6);
  // When each race's weights and result stages are published (the live files' stamps).
  std::map<std::string, std::vector<std::pair<std::string, bool>>> due;  // stamp -> race, weights
  std::set<std::string> races;
  BodyWeight favouriteWeight;
  for (const DemoFile& f : files)
    for (const SjisString& r : SplitRecords(f.bytes)) {
      if (r.starts_with("RA")) races.insert(Cut(r, Header::RaceKey));
      if (!r.starts_with("WH") && !r.starts_with("HR")) continue;
      due[FeedStampFromName(f.name)].push_back({Cut(r, Header::RaceKey), r.starts_with("WH")});
      if (const auto wh = ReadWeightRecord(r); wh && wh->raceKey == favourite.race)
        for (const WeightEntry& e : wh->entries)
          if (e.horseNumber == favourite.horse) favouriteWeight = e.weight;
    }
  ASSERT_FALSE(favouriteWeight.empty());

  WindowDay withEvents("live-day", true, favourite),
      withoutEvents("live-day-off", false, favourite);
  const SjisString label = RaceLabel(favourite.race);
  const SjisString weightText =
      Sj("★") + favourite.name + " " + label + Sj(" 馬体重 ") + favouriteWeight.NotificationText();
  const SjisString resultText = Sj("★") + favourite.name + " " + label + Sj(" 1着");
  std::map<SjisString, int> rung;  // the live lines of every notification, both days
  int late = 0, checkedDue = 0;
  for (LocalDateTime t = kDay; FormatHhnn(t) <= "1730"; t = t.AddSeconds(1)) {
    withEvents.clock_.Set(t);
    const bool tick = t.second == 0 && t.minute % 5 == 0;
    if (tick) {
      withEvents.form_->Timer4Timer();
      withoutEvents.clock_.Set(t);
      withoutEvents.form_->Timer4Timer();
    }
    testsupport::Events(*withEvents.form_).Poll();
    // A second after each publication its race's items are stored.
    const auto published = due.find(FormatCompactDateTime(t.AddSeconds(-1)));
    if (published != due.end()) {
      LiveDay stored;
      ASSERT_TRUE(ReadLiveDay(withEvents.DayFile(), stored));
      for (const auto& [race, weights] : published->second) {
        ++checkedDue;
        const bool there = weights ? stored.weights.contains(race) : stored.payouts.contains(race);
        if (!there) ++late;
      }
    }
  }
  for (WindowDay* d : {&withEvents, &withoutEvents})
    for (const auto& b : d->desktop_.Of("balloon"))
      for (const std::string& line : SplitLines(b.text))
        if (line.find(Sj("馬体重")) != std::string::npos ||
            line.find(Sj("着")) != std::string::npos)
          ++rung[line];
  EXPECT_EQ(late, 0) << "of " << checkedDue << " publications";
  EXPECT_EQ(checkedDue, static_cast<int>(races.size()) * 5);
  // The favourite's weight and result, once on each day; nothing else of the live items.
  EXPECT_EQ(rung[weightText], 2) << SjisToUtf8(weightText);
  EXPECT_EQ(rung[resultText], 2) << SjisToUtf8(resultText);
  EXPECT_EQ(rung.size(), 2u);

  // Every race's weights, payouts and final result stored; both days' files byte for byte.
  LiveDay day;
  ASSERT_TRUE(ReadLiveDay(withEvents.DayFile(), day));
  EXPECT_EQ(day.weights.size(), races.size());
  EXPECT_EQ(day.payouts.size(), races.size());
  for (const auto& [key, line] : day.results) EXPECT_EQ(ReadRunnerResult(line)->stage, 6) << key;
  const auto on = withEvents.DataFiles(), off = withoutEvents.DataFiles();
  ASSERT_EQ(on.size(), off.size());
  for (const auto& [name, bytes] : on) {
    ASSERT_TRUE(off.count(name)) << name;
    EXPECT_TRUE(bytes == off.at(name)) << name;
  }
  EXPECT_TRUE(on.count(SjisToUtf8(DateKey(kDay)) + std::string(kResultFileSuffix)));

  // The card of the favourite's race: its weight and place, the payouts, the race's state.
  TMainForm& form = *withEvents.form_;
  QListWidget* list = testsupport::Parts(form).DatList;
  int row = -1;
  for (int i = 0; i < list->count(); ++i)
    if (form.meeting().raceSlots[list->item(i)->data(Qt::UserRole).toInt()].raceKey.str() ==
        favourite.race)
      row = i;
  ASSERT_GE(row, 0);
  list->setCurrentRow(row);
  EXPECT_TRUE(list->item(row)->text().contains(Qs(Sj("確"))));
  QTableWidget* grid = testsupport::Parts(form).StringGrid2;
  ASSERT_EQ(grid->columnCount(), kCardColumns + 3);
  EXPECT_EQ(SjisOf(grid->item(0, kCardColumns)->text()), Sj("馬体重"));
  int favouriteRow = -1;
  for (int r = 1; r < grid->rowCount(); ++r)
    if (ReadNumber(SjisOf(grid->item(r, 1)->text())) == favourite.horse) favouriteRow = r;
  ASSERT_GT(favouriteRow, 0);
  EXPECT_EQ(SjisOf(grid->item(favouriteRow, kCardColumns)->text()), favouriteWeight.Text());
  EXPECT_EQ(SjisOf(grid->item(favouriteRow, kCardColumns + 1)->text()), "1");
  EXPECT_FALSE(grid->item(favouriteRow, kCardColumns + 2)->text().isEmpty());
  auto* payouts = testsupport::Part<QPlainTextEdit>(form, "PayoutPanel");
  ASSERT_NE(payouts, nullptr);
  EXPECT_TRUE(payouts->isVisible());
  EXPECT_TRUE(payouts->toPlainText().startsWith(Qs(Sj("単勝"))));
  EXPECT_TRUE(payouts->toPlainText().contains(Qs(Sj("3連単"))));
  // The copy carries them.
  form.N18Click();
  const SjisString copy = withEvents.desktop_.Of("clipboard").back().text;
  EXPECT_NE(copy.find(Sj("\t馬体重\t着順\tタイム")), std::string::npos);
  EXPECT_NE(copy.find(Sj("3連単")), std::string::npos);
}

}  // namespace
}  // namespace tavolen
