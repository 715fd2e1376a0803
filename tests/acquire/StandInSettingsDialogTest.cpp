#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "standin/StandInSettingsDialog.h"
#include "tests/acquire/FakeView.h"
#include "tests/support/QtApp.h"

namespace tavolen {
namespace {

// Acts on the modal window of type W as soon as it is shown.
template <class W>
void WhenShown(std::function<void(W*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* w = qobject_cast<W*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(w);
    }
  });
  timer->start();
}

QPushButton* Ok(StandInSettingsWindow* w) {
  return w->Buttons->button(QDialogButtonBox::Ok);
}

class StandInSettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication("tavolen_standin_ui_tests");
    dir = testsupport::FreshTestDir("acquire");
    feed = dir / "feed";
    fs::create_directories(feed);
    link = std::make_unique<StandInJVLink>(clock, StandInOptions{dir / "own", 0});
  }
  void TearDown() override {
    SetWriteFaultForTesting(nullptr);
    SetStandInSettingsDialog(nullptr);
  }

  fs::path dir, feed;
  FakeClock clock{LocalDateTime{2024, 1, 6, 9, 0, 0}};
  std::unique_ptr<StandInJVLink> link;
};

TEST_F(StandInSettingsDialogTest, WindowShowsTheCurrentSettingsAndRefusesWhatCannotBeStored) {
  StandInSettingsWindow w({"ABCD-EFGH", feed});
  EXPECT_EQ(w.ServiceKeyEdit->text(), "ABCD-EFGH");
  EXPECT_EQ(w.FeedFolderEdit->text(), QString::fromStdString(feed.string()));
  EXPECT_TRUE(Ok(&w)->isEnabled());
  EXPECT_TRUE(w.ProblemLabel->text().isEmpty());

  w.FeedFolderEdit->setText(QString::fromStdString((dir / "missing").string()));
  EXPECT_FALSE(Ok(&w)->isEnabled());
  EXPECT_FALSE(w.ProblemLabel->text().isEmpty());
  w.FeedFolderEdit->setText("");  // the demo
  EXPECT_TRUE(Ok(&w)->isEnabled());
  EXPECT_EQ(w.Settings(), (StandInSettings{"ABCD-EFGH", {}}));

  w.ServiceKeyEdit->setText(QString(64, 'K'));
  EXPECT_FALSE(Ok(&w)->isEnabled());
  w.ServiceKeyEdit->setText(QString(63, 'K'));
  EXPECT_TRUE(Ok(&w)->isEnabled());
}

TEST_F(StandInSettingsDialogTest, AcceptedWindowIsStoredByJVSetUIProperties) {
  InstallStandInSettingsDialog(*link);
  WhenShown<StandInSettingsWindow>([&](StandInSettingsWindow* w) {
    w->ServiceKeyEdit->setText(" NEW-KEY ");
    w->FeedFolderEdit->setText(QString::fromStdString(feed.string()));
    Ok(w)->click();
  });
  EXPECT_EQ(link->JVSetUIProperties(), 0);
  EXPECT_EQ(link->Settings(), (StandInSettings{"NEW-KEY", feed}));
  EXPECT_EQ(LoadStandInSettings(dir / "own"), (StandInSettings{"NEW-KEY", feed}));
}

TEST_F(StandInSettingsDialogTest, CancelledWindowChangesNothing) {
  ASSERT_EQ(link->StoreSettings({"KEEP", {}}), 0);
  InstallStandInSettingsDialog(*link);
  WhenShown<StandInSettingsWindow>([&](StandInSettingsWindow* w) {
    w->ServiceKeyEdit->setText("OTHER");
    w->reject();
  });
  EXPECT_EQ(link->JVSetUIProperties(), 0);
  EXPECT_EQ(link->Settings(), (StandInSettings{"KEEP", {}}));
}

TEST_F(StandInSettingsDialogTest, FailedStoreGivesTheStandInsCode) {
  InstallStandInSettingsDialog(*link);
  SetWriteFaultForTesting([](const fs::path&) { return true; });
  WhenShown<StandInSettingsWindow>([&](StandInSettingsWindow* w) {
    w->ServiceKeyEdit->setText("NEW-KEY");
    Ok(w)->click();
  });
  EXPECT_EQ(link->JVSetUIProperties(), -100);
  EXPECT_EQ(link->Settings().serviceKey, "");
}

TEST_F(StandInSettingsDialogTest, FolderChooserFillsTheFeedFolder) {
  InstallStandInSettingsDialog();  // for every stand-in
  auto other = std::make_unique<StandInJVLink>(clock, StandInOptions{dir / "other", 0});
  WhenShown<StandInSettingsWindow>([&](StandInSettingsWindow* w) {
    WhenShown<QFileDialog>([&, w](QFileDialog* chooser) {
      EXPECT_EQ(chooser->fileMode(), QFileDialog::Directory);
      chooser->setDirectory(QString::fromStdString(dir.string()));
      chooser->selectFile("feed");
      static_cast<QDialog*>(chooser)->accept();
      QTimer::singleShot(0, w, [w] { Ok(w)->click(); });
    });
    w->BrowseButton->click();
  });
  EXPECT_EQ(other->JVSetUIProperties(), 0);
  EXPECT_EQ(other->Settings().feedFolder, feed);
}

}  // namespace
}  // namespace tavolen
