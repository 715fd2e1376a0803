// A whole race day: the stand-in's demo day served to the main window from 07:00 to 17:30, with
// a tick of the check timer every five minutes on a fake clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <map>
#include <set>

#include "app/Main.h"
#include "base/Widgets.h"
#include "changes/ChangeSchedule.h"
#include "changes/henkoUnit.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/RaceFiles.h"
#include "racecard/Meeting.h"
#include "standin/DemoDay.h"
#include "standin/DemoLive.h"
#include "standin/StandIn.h"
#include "tests/support/Files.h"
#include "tests/support/MainWindow.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using namespace tavolen::testsupport;

const LocalDateTime kDay{2024, 1, 6, 0, 0, 0};

std::vector<std::string> Records(const std::string& bytes) {
  std::vector<std::string> out;
  for (const std::string& line : SplitLines(bytes)) out.push_back(line + "\r\n");
  return out;
}

int TypeIndex(std::string_view record) {
  static const char* types[] = {"WE", "AV", "JC", "TC", "CC"};
  for (int i = 0; i < 5; ++i)
    if (record.substr(0, 2) == types[i]) return i;
  return -1;
}

std::string StampOf(std::string_view r) {
  return TypeIndex(r) == 0 ? Cut(r, 26, 8) : Cut(r, 28, 8);
}

TEST(Soak, ADemoDayIsAnnouncedCompletelyAndOnce) {
  testsupport::EnsureApplication("tavolen_changes_app_tests");
  const fs::path app = TempDir("soak");
  const fs::path data = app / "Data";
  const fs::path standin = app / "standin";
  fs::create_directories(data);
  fs::create_directories(standin / std::string(kStandInDemoFolderName));

  // The demo day with its changes spread from 08:40 to 16:20.
  std::vector<std::string> changes;
  std::map<std::string, std::string> madeAt;  // record -> its file's "yyyymmddhhnnss"
  for (const DemoFile& f : GenerateDemoDay(kDay)) {
    if (IsDemoLiveFile(f.name)) continue;  // the weights and results
    if (f.name.find("-0B14-") != std::string::npos) {
      for (const std::string& r : Records(f.bytes)) {
        changes.push_back(r);
        madeAt[r] = f.name.substr(0, 14);
      }
    } else {
      for (const std::string& r : Records(f.bytes)) {
        const StoreResult st =
            r.starts_with("RA") ? StoreRaRecord(data, r) : StoreSeRecord(data, r);
        ASSERT_TRUE(st.stored());
      }
    }
  }
  ASSERT_TRUE(WriteDemoDay(standin / std::string(kStandInDemoFolderName), kDay));
  ASSERT_FALSE(changes.empty());

  FakeClock clock(LocalDateTime{2024, 1, 6, 7, 0, 0});
  StandInJVLink jv(clock, StandInOptions{standin, 0});
  RecordingDesktop desktop;
  TMainForm form(testsupport::TestDeps(app, desktop, clock, jv));
  THenkoForm henko(form.SettingsFile(), &desktop);
  form.SetChangeWindow(&henko);
  form.show();  // JVInit
  desktop.Clear();

  // Today's meeting chosen in the date list.
  const SjisString dateText = DateKey(kDay);
  form.MakeDataListBtnClick();
  Parts(form).DateCombo->setCurrentIndex(0);
  form.DateComboChange();
  ASSERT_EQ(SjisOf(Parts(form).DateCombo->currentText()), dateText);
  ASSERT_TRUE(CheckTimer(form)->isActive());  // today's meeting: the check timer runs
  CheckTimer(form)->stop();                   // and is ticked by hand below
  ASSERT_EQ(form.meeting().checkInterval, 5);
  const std::string start = CheckStart(Cut(form.meeting().raceTable[0], RA::PostTime), 5);
  const fs::path renew = data / SjisPath(dateText + ".renew");

  static const char* labels[] = {"[天候馬場]", "[取消除外]", "[騎手変更]", "[発走時刻]",
                                 "[ｺｰｽ 変更]"};
  std::array<std::string, 5> announced{};
  std::set<std::string> told;  // every record announced so far
  std::vector<std::string> renewBefore(5);
  int balloons = 0, fetches = 0;
  int byContent = 0;  // categories announced with no later time than already told
  for (LocalDateTime t{2024, 1, 6, 7, 0, 0}; t <= LocalDateTime{2024, 1, 6, 17, 30, 0};
       t = t.AddSeconds(300)) {
    clock.Set(t);
    desktop.Clear();
    form.Timer4Timer();
    const bool fetched = FormatHhnn(t) > start;
    fetches += fetched;

    // What the service has announced by now.
    char nowText[9];
    std::snprintf(nowText, sizeof nowText, "%02d%02d%02d%02d", t.month, t.day, t.hour, t.minute);
    // A record published late is served once its file is made.
    const auto unpublished = [&](const std::string& r) {
      return madeAt[r] > FormatCompactDateTime(t);
    };
    std::array<std::string, 5> latest{};
    std::array<std::set<std::string>, 5> served;       // identities (files keep one line each)
    std::map<std::string, std::string> courseWeather;  // course code -> latest WE stamp
    for (const std::string& r : changes) {
      const int type = TypeIndex(r);
      if (type < 0) continue;
      const std::string stamp = StampOf(r);
      if ((stamp != "00000000" && stamp > nowText) || unpublished(r)) continue;
      latest[type] = std::max(latest[type], stamp);
      if (type == 0) {
        std::string& w = courseWeather[Cut(r, 20, 2)];
        w = std::max(w, stamp);
      } else {
        const std::string key = type == 1   ? Cut(r, 12, 16) + Cut(r, 36, 2)
                                : type == 2 ? r
                                            : Cut(r, 12, 16);
        served[type].insert(key);
      }
    }
    if (!fetched) {
      EXPECT_EQ(desktop.Count("balloon"), 0) << FormatHhnn(t);
      continue;
    }

    // Every change announced so far is in the change window.
    const auto weather = henko.Lines(1);
    ASSERT_EQ(weather.size(), courseWeather.size()) << FormatHhnn(t);
    for (const auto& [course, stamp] : courseWeather) {
      const SjisString prefix = CourseName(course, 2) + " " + ShownStamp(stamp) + " ";
      EXPECT_TRUE(std::any_of(weather.begin(), weather.end(),
                              [&](const SjisString& l) { return l.starts_with(prefix); }))
          << FormatHhnn(t) << " course " << course;
    }
    for (int type = 1; type < 5; ++type)
      EXPECT_EQ(henko.Lines(type + 1).size(), served[type].size())
          << FormatHhnn(t) << " list " << type + 1;
    for (const std::string& r : changes) {
      const int type = TypeIndex(r);
      if (type < 1 || StampOf(r) > nowText || unpublished(r)) continue;
      const SjisString prefix = CourseName(Cut(r, 20, 2), 2) + PadNumber(Cut(r, 26, 2)) + Sj("R ") +
                                ShownStamp(StampOf(r)) + " ";
      const auto lines = henko.Lines(type + 1);
      EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                              [&](const SjisString& l) { return l.starts_with(prefix); }))
          << FormatHhnn(t) << " " << r.substr(0, 40);
    }

    // Nothing shows the initial state as a time.
    for (int list = 1; list <= 5; ++list)
      for (const SjisString& l : henko.Lines(list))
        EXPECT_EQ(l.find("00/00 00:00"), std::string::npos) << FormatHhnn(t);

    // A balloon exactly when a record was served for the first time, naming exactly the
    // categories of those records with the latest of their times: every change once.
    std::array<std::string, 5> newest{};
    std::array<bool, 5> fresh{};
    for (const std::string& r : changes) {
      const int type = TypeIndex(r);
      if (type < 0 || (StampOf(r) != "00000000" && StampOf(r) > nowText) || unpublished(r))
        continue;
      if (!told.insert(r).second) continue;
      fresh[type] = true;
      newest[type] = std::max(newest[type], StampOf(r));
    }
    for (int c = 0; c < 5; ++c)
      if (fresh[c] && !announced[c].empty() && newest[c] <= announced[c]) ++byContent;
    SjisString expected;
    for (int c = 0; c < 5; ++c)
      if (fresh[c])
        expected += Sj(labels[c]) + Sj("更新時刻：") + ShownInBalloon(newest[c]) + "\r\n";
    if (expected.empty()) {
      EXPECT_EQ(desktop.Count("balloon"), 0) << FormatHhnn(t);
    } else {
      ASSERT_EQ(desktop.Count("balloon"), 1) << FormatHhnn(t);
      EXPECT_EQ(desktop.Of("balloon")[0].text,
                Sj("本日の開催で変更情報が発生しました。\r\n") + expected)
          << FormatHhnn(t);
      ++balloons;
      for (int c = 0; c < 5; ++c) announced[c] = std::max(announced[c], latest[c]);
    }
    EXPECT_EQ(desktop.Count("beep"), 0) << FormatHhnn(t);
    EXPECT_EQ(desktop.Count("error"), 0) << FormatHhnn(t);

    // The renew file only ever goes up.
    const Lines now = SplitLines(ReadFileBytes(renew));
    ASSERT_EQ(now.size(), 5u) << FormatHhnn(t);
    for (int c = 0; c < 5; ++c) {
      EXPECT_GE(now[c], renewBefore[c]) << FormatHhnn(t);
      EXPECT_EQ(now[c], announced[c]) << FormatHhnn(t);
    }
    renewBefore.assign(now.begin(), now.end());
  }

  // The whole day went by: every change was announced, and nothing was logged as an error.
  std::array<std::string, 5> dayLatest{};
  for (const std::string& r : changes)
    if (const int type = TypeIndex(r); type >= 0)
      dayLatest[type] = std::max(dayLatest[type], StampOf(r));
  for (int c = 0; c < 5; ++c) {
    EXPECT_FALSE(announced[c].empty()) << c;
    EXPECT_EQ(announced[c], dayLatest[c]) << c;
  }
  EXPECT_GT(fetches, 90);
  EXPECT_GE(balloons, 5);
  // The day's late going change and late scratch were each announced by their content.
  EXPECT_GE(byContent, 2);
  for (const std::string& line : SplitLines(ReadFileBytes(app / "ErrorLog.txt")))
    EXPECT_FALSE(line.starts_with(Sj("【エラー】"))) << line;
}

}  // namespace
}  // namespace tavolen
