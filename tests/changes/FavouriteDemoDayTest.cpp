// The stand-in's demo day through the real windows with one favourite horse, marked from the
// race card, that the demo scratches, and "お気に入りに関する変更だけ知らせる" on: the check that
// brings the scratch names the favourite first, the change window and the race card mark it,
// and the day's other changes make no notification but are all listed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <algorithm>
#include <map>

#include "acquire/GetDataUnit.h"
#include "app/Main.h"
#include "changes/NotifySettingsForm.h"
#include "changes/henkoUnit.h"
#include "jvlink/JVData_Structure.h"
#include "standin/DemoDay.h"
#include "standin/StandIn.h"
#include "tests/support/Files.h"
#include "tests/support/MainWindow.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

// The day's distinct changes of a type, from every file of the demo day, as the change files
// keep them: the latest per runner (AV), per race (TC, CC), every distinct record (JC).
std::vector<std::string> DemoChanges(const LocalDateTime& start, std::string_view type) {
  std::map<std::string, std::string> byKey;
  for (const DemoFile& file : GenerateDemoDay(start, DemoOptionsFrom(start)))
    for (const std::string& line : SplitLines(file.bytes)) {
      if (!line.starts_with(type)) continue;
      std::string key = Cut(line, Header::RaceKey);
      if (type == "AV") key += Cut(line, AV::HorseNumber);
      if (type == "JC") key = line;
      byKey[key] = line;
    }
  std::vector<std::string> out;
  for (auto& [key, line] : byKey) out.push_back(line);
  return out;
}

TEST(FavouriteDemoDay, TheFavouritesScratchLeadsAndTheRestIsListedWithoutANotification) {
  EnsureApplication("tavolen_changes_app_tests");
  const LocalDateTime start{2024, 6, 1, 8, 0, 0};
  const fs::path app = TempDir("favourite-demo-day");
  fs::create_directories(app / "Data");
  FakeClock clock(start);
  StandInJVLink jv(clock, StandInOptions{app / "standin", 0});
  RecordingDesktop desktop;
  AcquisitionByHand acquisition(desktop);
  TMainForm form(TestDeps(app, desktop, clock, jv, [&](QDialog& dialog) {
    if (auto* settings = qobject_cast<TNotifySettingsForm*>(&dialog)) {
      settings->FavouritesOnlyBox->setChecked(true);
      settings->OkButton->click();
      return static_cast<int>(QDialog::Accepted);
    }
    return acquisition(dialog);
  }));
  THenkoForm henko(form.SettingsFile(), &desktop);
  form.SetChangeWindow(&henko);
  form.show();
  form.J1Click();
  ASSERT_TRUE(acquisition.done());
  Parts(form).DateCombo->setCurrentIndex(Parts(form).DateCombo->findText(Qs(DateKey(start))));
  form.DateComboChange();
  CheckTimer(form)->stop();  // ticked by hand below

  // The demo's first scratch: its race chosen in the race list, its horse marked with the key.
  const std::vector<std::string> scratches = DemoChanges(start, "AV");
  ASSERT_FALSE(scratches.empty());
  // The first one announced.
  const std::string scratch = *std::min_element(scratches.begin(), scratches.end(),
                                                [](const std::string& a, const std::string& b) {
                                                  return Cut(a, AV::Stamp) < Cut(b, AV::Stamp);
                                                });
  const std::string raceKey = Cut(scratch, Header::RaceKey);
  const std::string horse = Cut(scratch, AV::HorseNumber);
  QListWidget* races = Parts(form).DatList;
  int row = -1;
  for (int i = 0; i < races->count(); ++i)
    if (form.meeting().raceSlots[races->item(i)->data(Qt::UserRole).toInt()].raceKey.str() ==
        raceKey)
      row = i;
  ASSERT_GE(row, 0);
  races->setCurrentRow(row);
  QTableWidget* grid = Parts(form).StringGrid2;
  int runnerRow = -1;
  for (int r = 1; r < grid->rowCount(); ++r)
    if (SjisOf(grid->item(r, 1)->text()) == horse) runnerRow = r;
  ASSERT_GT(runnerRow, 0);
  grid->setCurrentCell(runnerRow, 2);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_D, Qt::ControlModifier);
  QApplication::sendEvent(grid, &press);
  ASSERT_EQ(form.Favourites().items().size(), 1u);
  const SjisString name = form.Favourites().items()[0].name;
  EXPECT_TRUE(grid->item(runnerRow, 2)->text().startsWith(Qs(Sj("★"))));
  EXPECT_TRUE(races->item(row)->text().endsWith(Qs(Sj("★"))));

  Part<QAction>(form, "NotifySettingsItem")->trigger();
  ASSERT_TRUE(Watch(form).Choice().favouritesOnly);

  // The day's checks, every five minutes for five hours.
  desktop.Clear();
  int favouriteBalloons = 0;
  bool scratchAnnounced = false;
  const SjisString scratchLine = Sj("★") + name.substr(0, 4);  // its first two characters
  for (int minutes = 5; minutes <= 300; minutes += 5) {
    clock.Set(start.AddSeconds(minutes * 60));
    const int before = desktop.Count("balloon");
    form.Timer4Timer();
    const std::vector<SjisString> avLines = henko.Lines(2);
    const bool listed = std::any_of(avLines.begin(), avLines.end(),
                                    [&](const SjisString& l) { return l.starts_with(Sj("★")); });
    if (listed && !scratchAnnounced) {
      // The check that brought the scratch: its notification names the favourite first.
      scratchAnnounced = true;
      ASSERT_EQ(desktop.Count("balloon"), before + 1);
      const SjisString text = desktop.Of("balloon").back().text;
      EXPECT_TRUE(text.starts_with(scratchLine)) << SjisToUtf8(text);
    }
    for (int b = before; b < desktop.Count("balloon"); ++b) {
      ++favouriteBalloons;
      EXPECT_TRUE(desktop.Of("balloon")[static_cast<size_t>(b)].text.starts_with(Sj("★")));
    }
  }
  EXPECT_TRUE(scratchAnnounced);
  EXPECT_GE(favouriteBalloons, 1);
  // Every change of the day is listed; only the favourite's made a notification.
  EXPECT_EQ(henko.Lines(2).size(), scratches.size());
  EXPECT_EQ(henko.Lines(3).size(), DemoChanges(start, "JC").size());
  EXPECT_EQ(henko.Lines(4).size(), DemoChanges(start, "TC").size());
  EXPECT_EQ(henko.Lines(5).size(), DemoChanges(start, "CC").size());
  EXPECT_FALSE(henko.Lines(1).empty());
  const size_t changes =
      scratches.size() + henko.Lines(3).size() + henko.Lines(4).size() + henko.Lines(5).size();
  EXPECT_LT(static_cast<size_t>(favouriteBalloons), changes);
  // The race card marks the favourite.
  races->setCurrentRow(row);
  EXPECT_TRUE(grid->item(runnerRow, 2)->text().startsWith(Qs(Sj("★"))));
}

}  // namespace
}  // namespace tavolen
