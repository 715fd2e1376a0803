// The race card view on its own, without a main window: the race list, the card with its
// header labels, the up-down control, the copy, and the race the user chooses.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QTableWidget>

#include "base/Widgets.h"
#include "racecard/RaceCardView.h"
#include "tests/support/Files.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

TEST(RaceCardView, ListsTheRacesShowsTheChosenCardAndCopiesIt) {
  EnsureApplication("tavolen_racecard_grid_tests");
  const fs::path dir = TempDir("racecard-view");
  // 1R with its runners, 2R without an entry: its card is incomplete.
  std::string ra;
  for (int race : {1, 2}) {
    RaceSpec rs;
    rs.race = race;
    rs.runnerCount = "02";
    ra += RaRecord(rs);
  }
  RaceSpec first;
  std::vector<std::string> se;
  for (int h : {1, 2}) {
    RunnerSpec r;
    r.horse = h;
    se.push_back(SeRecord(first, r));
  }
  WriteFileBytes(dir / RaceFileName("20050108", ".jvRA"), ra);
  WriteFileBytes(dir / RaceFileName("20050108", "中山.jvSEr"), EntryFileBytes(se));
  LoadedMeeting meeting;
  ASSERT_TRUE(LoadMeeting(meeting, dir, Sj("2005年01月08日")).loaded());

  RecordingDesktop desktop;
  FakeClock clock{LocalDateTime{2005, 1, 8, 9, 0, 0}};
  QWidget frame;
  RaceCardView view(meeting, desktop, clock, &frame);
  auto* list = frame.findChild<QListWidget*>(QStringLiteral("DatList"));
  auto* grid = frame.findChild<QTableWidget*>(QStringLiteral("StringGrid2"));
  auto* raceNumber = frame.findChild<Label3D*>(QStringLiteral("Label3D2"));
  ASSERT_TRUE(list && grid && raceNumber);
  // The header labels are styled once, at creation.
  EXPECT_EQ(raceNumber->font().pixelSize(), 24);
  EXPECT_EQ(raceNumber->palette().color(QPalette::Window), QColor(Qt::black));

  view.ShowRaces(RaceListItems(meeting));
  ASSERT_EQ(list->count(), 2);
  EXPECT_FALSE(view.RaceListPanel()->isHidden());
  EXPECT_EQ(view.UpDown().Max, 1);
  ASSERT_TRUE(view.ShowChosenRace(false));
  EXPECT_EQ(meeting.selectedRaceIndex, 0);
  EXPECT_EQ(raceNumber->text(), QStringLiteral("1"));
  EXPECT_FALSE(view.CardArea()->isHidden());
  EXPECT_EQ(grid->rowCount(), 3);
  view.CopyCard();
  EXPECT_NE(desktop.clipboard.find(Sj("中山")), std::string::npos);

  // The up-down control moves to 2R: an incomplete card is said and hidden.
  ASSERT_TRUE(view.StepTo(1));
  ASSERT_TRUE(view.ShowChosenRace(true));
  EXPECT_EQ(raceNumber->text(), QStringLiteral("2"));
  EXPECT_TRUE(view.CardArea()->isHidden());
  EXPECT_EQ(desktop.Count("info"), 1);
  EXPECT_TRUE(view.RaceListPanel()->isHidden());  // hidden after the choice, as asked
  EXPECT_FALSE(view.StepTo(5));

  // A race the user chooses in the list is told; a failed load clears the view.
  int chosen = 0;
  QObject::connect(&view, &RaceCardView::raceChosen, [&] { ++chosen; });
  list->setCurrentRow(0);
  EXPECT_EQ(chosen, 1);
  view.Clear();
  EXPECT_EQ(list->count(), 0);
  EXPECT_TRUE(view.CardArea()->isHidden());
}

}  // namespace
}  // namespace tavolen
