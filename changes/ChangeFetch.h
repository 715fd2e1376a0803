// The change fetch: asks JV-Link for the flash change records ("0B14") of the loaded meeting's
// date, stores every change record in its change file, one JVRead at a time, and closes the
// session. The caller runs the change evaluation when Fetch says so.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/Desktop.h"
#include "base/ErrorLog.h"
#include "jvlink/FileIO.h"
#include "jvlink/JVLink.h"
#include "jvlink/JVSession.h"
#include "jvlink/Sjis.h"

namespace tavolen {

// What the loaded meeting tells one fetch.
struct ChangeFetchRequest {
  bool dateSelected = false;               // the date list has a selected item
  std::span<const std::string> raceTable;  // the loaded meeting's RA records (1272 bytes each)
  int selectedRace = -1;                   // the race whose card is shown, -1 when none
  bool automaticRun = false;               // run by the schedule: no beep at a good close
  // Not empty: fetch the records of this one announcement (JVRTOpen "0B16" with this key, the
  // key of a change event) instead of the day's; raceTable is then not used. A failing open
  // is left to the caller to report (openResult), without beep or error line.
  std::string announcementKey = {};
};

enum class ChangeFetchOutcome {
  NothingToFetch,  // no date selected, or the race table's first date is not a positive number
  Busy,            // a fetch is already running (its read loop let this call in): nothing done
  Failed,          // a store or the error log failed; the general error box was shown
  Evaluate,        // the fetch ended (well or with a logged JV-Link error): evaluate now
};

class ChangeFetch {
 public:
  using StatusSink = std::function<void(const SjisString&)>;
  using ProcessEvents = std::function<void()>;

  // dataDir is the Data folder the change files live in. status receives every status text
  // (the main window's DLlabel); processEvents lets pending window messages run.
  ChangeFetch(JVLink& jvlink, fs::path dataDir, ErrorLog& errorLog, Desktop& desktop,
              StatusSink status, ProcessEvents processEvents);

  // The fetch (GetKaisaiBtnClick without the evaluation that follows it).
  ChangeFetchOutcome Fetch(const ChangeFetchRequest& request);

  // Unattended (the automation is on): a fetch run by the schedule or an event shows no box; a
  // change file that cannot be saved ends the fetch as before and is told by failureText.
  void SetUnattended(bool on) { unattended_ = on; }
  // The program's one owner of JV-Link's session, told of every open and close of a fetch.
  void SetSessionOwner(JVSessionOwner* owner) { owner_ = owner; }

  // True from the start of a fetch to its end, message boxes included.
  bool running() const { return running_; }
  // True from the start of a fetch until its JVClose has returned: no other JV-Link call may
  // run then.
  bool fetchSessionOpen() const { return sessionOpen_; }
  // Called once after every JVClose of a fetch, when the session is no longer open, before
  // the actions waiting in RunWhenSessionClosed.
  void SetSessionClosedHook(std::function<void()> hook) { sessionClosed_ = std::move(hook); }
  // Runs action at once when no fetch has its session open, otherwise right after its JVClose
  // (for calls such as JVInit that must not land inside a session).
  void RunWhenSessionClosed(std::function<void()> action);

  const SjisString& statusText() const { return status_; }
  // The JVRTOpen result of the last fetch that called it.
  int openResult() const { return openResult_; }
  // Records stored by the last fetch.
  int storedRecords() const { return stored_; }
  // True when the last fetch logged a JV-Link error or could not store a record: the check
  // did not see everything the service holds.
  bool failed() const { return failed_; }
  // Why the last fetch failed: the error shown or the error line logged; empty when it did not.
  const SjisString& failureText() const {
    return pendingError_.empty() ? loggedError_ : pendingError_;
  }

  // The JVRTOpen error text: course name and race number of the selected race (of the first
  // race when none is selected), "R:開催速報データ取得エラー：" and the result message.
  static SjisString OpenErrorText(std::span<const std::string> raceTable, int selectedRace,
                                  int code);
  // The request key "yyyymmdd" of the race table's first record (blanks for an empty table).
  static std::string RequestKey(std::span<const std::string> raceTable);

 private:
  void SetStatus(const SjisString& text);
  // Writes an error line with the current status text; a log that cannot be written becomes
  // the pending error.
  void LogError(const SjisString& message);
  // The read loop (only after a successful JVRTOpen) and the close step of a fetch.
  void ReadChangeRecords();
  void CloseChangeSession();

  JVLink& jvlink_;
  fs::path dataDir_;
  ErrorLog& errorLog_;
  Desktop& desktop_;
  StatusSink statusSink_;
  ProcessEvents processEvents_;
  std::function<void()> sessionClosed_;
  std::vector<std::function<void()>> afterClose_;

  bool running_ = false;
  bool unattended_ = false;
  JVSessionOwner* owner_ = nullptr;
  bool sessionOpen_ = false;
  bool automaticRun_ = false;
  bool failed_ = false;
  SjisString status_;
  SjisString pendingError_;  // shown in the general error box once the session is closed
  SjisString loggedError_;   // the first error line the last fetch logged
  int stored_ = 0;
  int openResult_ = 0;
};

}  // namespace tavolen
