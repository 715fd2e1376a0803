#include "base/AutomaticStep.h"

#include <gtest/gtest.h>

#include "base/ErrorLog.h"
#include "jvlink/TextLines.h"
#include "tests/support/Files.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/TestDir.h"

namespace tavolen {
namespace {

struct AutomaticStepTest : ::testing::Test {
  fs::path dir = testsupport::TestDir("base");
  FakeClock clock{LocalDateTime{2024, 1, 6, 6, 58, 30}};
  ErrorLog log{dir, clock};
  RecordingDesktop desktop;
  AutomaticStep step{Sj("レースデータの自動取得"), Sj("レースデータを取得できませんでした"), log,
                     desktop};

  Lines LogLines() const { return SplitLines(testsupport::ReadFileBytes(dir / "ErrorLog.txt")); }
};

// A JVInit that fails all morning while a 30-second timer asks: one error line per scheduled
// check, one notification for the run, one when it works again, and the step does not run
// between its retry times.
TEST_F(AutomaticStepTest, ARunOfFailuresIsLoggedPerRetryAndNotifiedOnceEachWay) {
  const LocalDateTime seven{2024, 1, 6, 7, 0, 0}, half{2024, 1, 6, 7, 30, 0};
  int runs = 0;
  for (LocalDateTime t = clock.Now(); t <= half; t = t.AddSeconds(30)) {
    clock.Set(t);
    if (!step.Due(t)) continue;
    ++runs;
    if (t < half)
      step.Failed(Sj("JVInitエラー：-103"), t < seven ? seven : half, Sj("（2024年01月06日）"));
    else
      step.Succeeded();
  }
  // 06:58:30 fails, 07:00 fails, 07:30 works.
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(step.failures(), 2);
  EXPECT_EQ(step.recoveries(), 1);
  EXPECT_FALSE(step.Failing());
  EXPECT_TRUE(step.StatusText().empty());
  const Lines lines = LogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], Sj("【エラー】06:58:30：レースデータの自動取得（2024年01月06日）：JVInitエラ"
                         "ー：-103（次の確認 07:00）"));
  EXPECT_EQ(lines[1], Sj("【エラー】07:00:00：レースデータの自動取得（2024年01月06日）：JVInitエラ"
                         "ー：-103（次の確認 07:30）"));
  EXPECT_EQ(lines[2], Sj("【記録】2024/01/06 07:30:00：レースデータの自動取得は復旧しました"));
  const auto balloons = desktop.Of("balloon");
  ASSERT_EQ(balloons.size(), 2u);
  EXPECT_EQ(balloons[0].title, Sj("レースデータの自動取得"));
  EXPECT_EQ(balloons[0].text,
            Sj("レースデータを取得できませんでした。\r\nJVInitエラー：-103（次の確認 07:00）"));
  EXPECT_EQ(balloons[1].text, Sj("レースデータの自動取得は復旧しました"));
  EXPECT_TRUE(desktop.Messages().empty());
}

// The status text carries the reason on one line and the retry time; a success without a
// failure before says nothing; a reset ends the run without a recovery.
TEST_F(AutomaticStepTest, StatusTextAndQuietEnds) {
  step.Succeeded();
  EXPECT_EQ(step.recoveries(), 0);
  EXPECT_TRUE(desktop.Of("balloon").empty());
  step.Failed(Sj("JV-Linkの呼び出しに失敗しました。\r\nブリッジが終了しました。"),
              LocalDateTime{2024, 1, 7, 0, 0, 0});
  EXPECT_TRUE(step.Failing());
  EXPECT_FALSE(step.Due(LocalDateTime{2024, 1, 6, 23, 59, 59}));
  EXPECT_TRUE(step.Due(LocalDateTime{2024, 1, 7, 0, 0, 0}));
  EXPECT_EQ(step.StatusText(), Sj("レースデータを取得できませんでした：JV-Linkの呼び出しに失敗しま"
                                  "した。 ブリッジが終了しました。（次の確認 00:00）"));
  step.Reset();
  EXPECT_FALSE(step.Failing());
  EXPECT_TRUE(step.Due(LocalDateTime{2024, 1, 6, 7, 0, 0}));
  step.Succeeded();
  EXPECT_EQ(step.recoveries(), 0);
  EXPECT_EQ(desktop.Of("balloon").size(), 1u);
}

// A log that cannot be written loses only the line: still no box.
TEST_F(AutomaticStepTest, ALogThatCannotBeWrittenShowsNoBox) {
  fs::create_directories(dir / "ErrorLog.txt" / "blocked");
  step.Failed(Sj("JVOpenエラー:-504"), LocalDateTime{2024, 1, 6, 7, 0, 0});
  EXPECT_TRUE(desktop.Messages().empty());
  EXPECT_EQ(desktop.Of("balloon").size(), 1u);
  EXPECT_EQ(step.failures(), 1);
}

}  // namespace
}  // namespace tavolen
