// The crash test's "logic" stream: the program's own acquisition and change fetch against the
// JV-Link stand-in's demo day of 6 January 2024. Operation 0 acquires the race data at 07:00;
// operation k (1 .. kLogicFetches) is the change check at 07:00 + k quarter hours with its
// evaluation, renew-file save and a settings write. The stand-in keeps its own folder inside the
// application folder ("standin"); the crash checks leave it out, as it is not the program's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "acquire/AcquisitionSession.h"
#include "base/ErrorLog.h"
#include "base/IniFile.h"
#include "changes/ChangeEvaluation.h"
#include "changes/ChangeFetch.h"
#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"
#include "jvlink/TextLines.h"
#include "standin/StandIn.h"
#include "tests/reliability/CrashOps.h"
#include "tests/reliability/ReliabilityFiles.h"
#include "tests/support/RecordingDesktop.h"

namespace tavolen::reliability {

inline constexpr std::string_view kLogicStandInFolder = "standin";
inline constexpr uint64_t kLogicFetches = 42;  // 07:15 .. 17:30
inline constexpr uint64_t kLogicOps = 1 + kLogicFetches;

// The acquisition window without a window: remembers the picker and the status timer.
class HeadlessAcquireView final : public AcquireView {
 public:
  bool timerRunning = false;
  LocalDateTime picker;

  void SetProgressLabel(const SjisString&) override {}
  void SetDownloadMax(int) override {}
  void SetDownloadPosition(int) override {}
  void SetReadMax(int) override {}
  void SetReadPosition(int) override {}
  void AddListLine(const SjisString&) override {}
  void ClearList() override {}
  void SetBusyCursor(bool) override {}
  void StartStatusTimer() override { timerRunning = true; }
  void StopStatusTimer() override { timerRunning = false; }
  void ProcessPendingEvents() override {}
  LocalDateTime PickerDateTime() const override { return picker; }
  void SetPickerDateTime(const LocalDateTime& t) override { picker = t; }
};

inline LocalDateTime LogicOpTime(uint64_t index) {
  return LocalDateTime{2024, 1, 6, 7, 0, 0}.AddSeconds(static_cast<long long>(index) * 900);
}

// One process's run of the logic stream on an application folder.
class LogicStream {
 public:
  explicit LogicStream(const fs::path& app)
      : app_(app),
        data_(app / "Data"),
        clock_(LogicOpTime(0)),
        standIn_(clock_, StandInOptions{app / std::string(kLogicStandInFolder), 0}),
        ini_(app / std::string(kCrashSettingsName)),
        log_(app, clock_) {}

  // The start of the program: JV-Link is initialised (before the crash test's clock runs, as
  // the stand-in is not the program), then the error log gets its start lines.
  bool Init() { return standIn_.JVInit(u"UNKNOWN") == 0; }
  bool RecordStartup() { return log_.RecordStartup().ok; }

  bool Apply(uint64_t index) {
    clock_.Set(LogicOpTime(index));
    return index == 0 ? Acquire() : CheckChanges(index);
  }

  // The day file the fetch reads its race table from.
  fs::path DayFile() const { return data_ / Utf8Path(DateName("20240106") + ".jvRA"); }

 private:
  bool Acquire() {
    HeadlessAcquireView view;
    AcquisitionState state;
    AcquisitionSession session(view, desktop_, standIn_, ini_, clock_, data_, state);
    session.Create();
    // The user picks the start of the year, so that a rerun reads the whole day again.
    view.picker = LocalDateTime{2024, 1, 1, 0, 0, 0};
    session.Start();
    for (int i = 0; i < 100000 && (view.timerRunning || session.Reading()); ++i)
      session.StatusTick();
    static const SjisString done = Sj("データ作成が完了しました。");
    const auto infos = desktop_.Of("info");
    return !view.timerRunning && !session.SessionOpen() && desktop_.Count("error") == 0 &&
           !infos.empty() && infos.back().text == done;
  }

  bool CheckChanges(uint64_t index) {
    std::string day;
    if (!ReadWholeFile(DayFile(), day)) return false;
    std::vector<std::string> raceTable;
    for (const std::string& line : SplitLines(day)) raceTable.push_back(line + "\r\n");
    ChangeFetch fetch(
        standIn_, data_, log_, desktop_, [](const SjisString&) {}, [] {});
    const ChangeFetchRequest request{true, raceTable, 0, true};
    if (fetch.Fetch(request) != ChangeFetchOutcome::Evaluate) return false;
    const ChangeEvaluation evaluation = EvaluateChanges(DayFile());
    if (!evaluation.status) return false;
    if (evaluation.hasNews() && !SaveRenewFile(DayFile(), evaluation)) return false;
    // The check interval is stored after every check, as the interval field would.
    return ini_.WriteInteger("Time", "AutoRdataGet", 2 + static_cast<int>(index % 58)).ok;
  }

  fs::path app_, data_;
  FakeClock clock_;
  StandInJVLink standIn_;
  IniFile ini_;
  ErrorLog log_;
  RecordingDesktop desktop_;
};

}  // namespace tavolen::reliability
