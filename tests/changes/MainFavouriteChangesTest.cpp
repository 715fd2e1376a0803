// Which changes ring, through the main window and the change window: a kind switched off is
// listed and remembered as announced without a notification or a sound and is not announced
// when switched on again; with "favourites only" only the favourite's change rings, leads the
// notification with its own sound and is marked in the change window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>

#include "app/Main.h"
#include "changes/AnnouncementMemory.h"
#include "changes/ChangeEvaluation.h"
#include "changes/NotifySettingsForm.h"
#include "changes/henkoUnit.h"
#include "tests/changes/ChangeDay.h"
#include "tests/support/Files.h"
#include "tests/support/MainWindow.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

class MainRinging : public MainWindowTest {
 protected:
  MainRinging() : MainWindowTest({"tavolen_changes_app_tests", "changes/main-ringing"}) {}

  // Today's meeting: race 1 of 中山 with horse 5 (アオノブラック, 2019104567) and horse 7.
  void LoadMeeting() {
    RaceSpec race;
    race.date = "20240105";
    RunnerSpec five, seven;
    five.horse = 5;
    five.registration = "2019104567";
    five.name = Sj("アオノブラック");
    seven.horse = 7;
    seven.registration = "2019100007";
    seven.name = Sj("ソノホカ");
    ASSERT_TRUE(WriteFileBytes(AppDir() / "Data" / Utf8Path("2024年01月05日中山.jvSEr"),
                               EntryFileBytes({SeRecord(race, five), SeRecord(race, seven)})));
    std::string ra = RaRecord(kNakayama, "01", "1005");
    Put(ra, 882, "07");
    ChooseMeeting({ra});
    CheckTimer(*form_)->stop();
    desktop_.Clear();
  }
  void WriteChanges(const std::string& avRecords) {
    ASSERT_TRUE(WriteFileAtomic(AppDir() / "Data" / Utf8Path("2024年01月05日.jvAV"), avRecords));
  }
  std::string DayFile(const char* suffix) {
    return ReadFileBytes(AppDir() / "Data" / Utf8Path(std::string("2024年01月05日") + suffix));
  }
  // The settings window, chosen from the menu: the scratch switch and "favourites only" set.
  void Switch(bool scratches, bool favouritesOnly) {
    onModal_ = [&](QDialog& dialog) {
      auto& form = dynamic_cast<TNotifySettingsForm&>(dialog);
      form.KindBoxes[1]->setChecked(scratches);
      form.FavouritesOnlyBox->setChecked(favouritesOnly);
      form.OkButton->click();
    };
    Part<QAction>(*form_, "NotifySettingsItem")->trigger();
    onModal_ = {};
  }
  const std::string scratch1 = AvRecord(kNakayama, "01", "01050930", "07", "ソノホカ");
  const std::string scratch2 = AvRecord(kNakayama, "01", "01050945", "05", "アオノブラック");
};

TEST_F(MainRinging, AKindSwitchedOffIsListedAndRememberedButNeverRings) {
  LoadMeeting();
  Switch(false, false);
  WriteChanges(scratch1);
  form_->SpeedButton2Click();
  EXPECT_EQ(desktop_.Count("balloon"), 0);
  EXPECT_EQ(desktop_.Count("sound"), 0);
  EXPECT_EQ(henko_->Lines(2),
            (std::vector<SjisString>{ChangeRecordLine(ChangeType::AV, scratch1)}));
  EXPECT_EQ(DayFile(".renew"), "\r\n01050930\r\n\r\n\r\n\r\n");
  EXPECT_NE(DayFile(".announced").find(ChangeIdentity(ChangeType::AV, scratch1)),
            std::string::npos);

  // Switched on again: what was remembered is not announced; the next scratch is, alone.
  Switch(true, false);
  form_->SpeedButton2Click();
  EXPECT_EQ(desktop_.Count("balloon"), 0);
  WriteChanges(scratch1 + scratch2);
  form_->SpeedButton2Click();
  ASSERT_EQ(desktop_.Count("balloon"), 1);
  EXPECT_EQ(desktop_.Of("balloon")[0].text,
            Sj("本日の開催で変更情報が発生しました。\r\n[取消除外]更新時刻：01/05 09:45\r\n"));
  EXPECT_EQ(desktop_.notificationMore.back(),
            (std::vector<SjisString>{ChangeRecordLine(ChangeType::AV, scratch2)}));
  EXPECT_EQ(desktop_.Of("sound")[0].text, "notify.wav");
  form_->SpeedButton2Click();
  EXPECT_EQ(desktop_.Count("balloon"), 1);
}

TEST_F(MainRinging, FavouritesOnlyRingsTheFavouritesChangeFirstWithItsSound) {
  ASSERT_TRUE(WriteFileBytes(AppDir() / "favourite.wav", "RIFF"));  // the user's own sound
  LoadMeeting();
  form_->ToggleFavourite(FavouriteKind::Horse, "2019104567", Sj("アオノブラック"));
  Switch(true, true);
  WriteChanges(scratch1);
  form_->SpeedButton2Click();
  EXPECT_EQ(desktop_.Count("balloon"), 0);  // not about a favourite
  EXPECT_EQ(henko_->Lines(2).size(), 1u);
  EXPECT_EQ(DayFile(".renew"), "\r\n01050930\r\n\r\n\r\n\r\n");

  WriteChanges(scratch1 + scratch2);
  form_->SpeedButton2Click();
  ASSERT_EQ(desktop_.Count("balloon"), 1);
  EXPECT_EQ(desktop_.Of("balloon")[0].text,
            Sj("★アオノブラック 中山1R 出走取消\r\n本日の開催で変更情報が発生しました。\r\n"
               "[取消除外]更新時刻：01/05 09:45\r\n"));
  EXPECT_EQ(desktop_.Of("balloon")[0].title, Sj("新着開催情報"));
  EXPECT_EQ(desktop_.soundPaths.back(), AppDir() / "favourite.wav");
  // The change window marks the favourite's line only.
  const std::vector<SjisString> lines = henko_->Lines(2);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], ChangeRecordLine(ChangeType::AV, scratch1));
  EXPECT_EQ(lines[1], Sj("★") + ChangeRecordLine(ChangeType::AV, scratch2));
  EXPECT_NE(henko_->ListBox2->item(1)->background(), henko_->ListBox2->item(0)->background());

  // Without its own favourite.wav the favourite's news plays notify.wav.
  fs::remove(AppDir() / "favourite.wav");
  EXPECT_EQ(form_->FavouriteSoundFile(), form_->SoundFile());
}

}  // namespace
}  // namespace tavolen
