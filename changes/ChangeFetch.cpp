#include "changes/ChangeFetch.h"

#include "base/FailureText.h"
#include "jvlink/ChangeFiles.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/JVEvents.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

// The race the JVRTOpen error names: the selected one, or the first when none is selected.
std::string_view ErrorRace(std::span<const std::string> raceTable, int selectedRace) {
  if (selectedRace >= 0 && static_cast<size_t>(selectedRace) < raceTable.size() &&
      !TrimBlanks(Cut(raceTable[selectedRace], Header::Year)).empty())
    return raceTable[selectedRace];
  if (!raceTable.empty()) return raceTable.front();
  return {};
}

}  // namespace

ChangeFetch::ChangeFetch(JVLink& jvlink, fs::path dataDir, ErrorLog& errorLog, Desktop& desktop,
                         StatusSink status, ProcessEvents processEvents)
    : jvlink_(jvlink),
      dataDir_(std::move(dataDir)),
      errorLog_(errorLog),
      desktop_(desktop),
      statusSink_(std::move(status)),
      processEvents_(std::move(processEvents)) {}

std::string ChangeFetch::RequestKey(std::span<const std::string> raceTable) {
  const std::string_view first = raceTable.empty() ? std::string_view() : raceTable.front();
  return Cut(first, Header::Year) + Cut(first, Header::MonthDay);
}

SjisString ChangeFetch::OpenErrorText(std::span<const std::string> raceTable, int selectedRace,
                                      int code) {
  static const SjisString kOpenError = Sj("R:開催速報データ取得エラー：");
  const std::string_view race = ErrorRace(raceTable, selectedRace);
  return CourseName(Cut(race, Header::CourseCode), 2) + PadNumber(Cut(race, Header::RaceNumber)) +
         kOpenError + JVResultMessage("JVRTOpen", code);
}

void ChangeFetch::SetStatus(const SjisString& text) {
  status_ = text;
  if (statusSink_) statusSink_(status_);
}

void ChangeFetch::LogError(const SjisString& message) {
  failed_ = true;
  if (loggedError_.empty()) loggedError_ = message;
  SetStatus(message);
  const FileStatus st = errorLog_.RecordError(status_);
  if (!st && pendingError_.empty()) pendingError_ = FailureText(st);
}

ChangeFetchOutcome ChangeFetch::Fetch(const ChangeFetchRequest& request) {
  // A call that arrives while the read loop lets window messages run must not open a second
  // session: JV-Link would refuse it, and its close would end the running one.
  if (running_) return ChangeFetchOutcome::Busy;
  if (!request.dateSelected) return ChangeFetchOutcome::NothingToFetch;
  const bool announcement = !request.announcementKey.empty();
  const std::string key = announcement ? request.announcementKey : RequestKey(request.raceTable);
  if (!announcement && ReadNumber(key) <= 0) return ChangeFetchOutcome::NothingToFetch;

  static const SjisString kFetching = Sj("開催速報データ取得中");
  // The race table may be replaced while messages run; the error text is fixed now.
  const std::string race(ErrorRace(request.raceTable, request.selectedRace));
  running_ = true;
  sessionOpen_ = true;
  if (owner_) owner_->Opened(SessionUser::ChangeCheck);
  automaticRun_ = request.automaticRun;
  pendingError_.clear();
  loggedError_.clear();
  failed_ = false;
  stored_ = 0;
  struct Done {
    ChangeFetch& f;
    ~Done() {
      f.running_ = false;
      f.automaticRun_ = false;
    }
  } done{*this};

  try {
    SetStatus(kFetching);
    if (processEvents_) processEvents_();
    const int rc = jvlink_.JVRTOpen(announcement ? Wide(kAnnouncementSpec) : u"0B14", Wide(key));
    openResult_ = rc;
    if (rc == 0) {
      ReadChangeRecords();
    } else if (!announcement) {  // a failing announcement is its caller's to report
      desktop_.Beep();
      LogError(OpenErrorText(std::span(&race, 1), 0, rc));
    }
  } catch (...) {
    SetStatus({});
    CloseChangeSession();
    throw;
  }
  SetStatus({});
  if (processEvents_) processEvents_();
  CloseChangeSession();

  if (!pendingError_.empty()) {
    if (!(unattended_ && request.automaticRun)) desktop_.ErrorBox(pendingError_);
    return ChangeFetchOutcome::Failed;
  }
  return ChangeFetchOutcome::Evaluate;
}

void ChangeFetch::ReadChangeRecords() {
  std::u16string buffer, fileName;
  for (;;) {
    if (processEvents_) processEvents_();
    const int rc = ReadNextRecord(jvlink_, buffer, fileName);
    if (rc > 0) {
      const SjisString record = RecordToSjis(buffer);
      if (!ChangeTypeOf(record)) continue;
      const StoreResult r = StoreChangeRecord(dataDir_, record);
      if (r.failed()) {
        // Every file stored so far is whole; the records not yet read are fetched next time.
        pendingError_ =
            Sj("変更情報を保存できませんでした。取得を中止します。\n") + FailureText(r.status);
        failed_ = true;
        return;
      }
      if (r.stored()) ++stored_;
      continue;
    }
    if (rc == 0) return;
    if (rc >= -3) continue;  // -1 next file, -2 and -3 nothing yet: read again at once
    LogError(JVResultMessage("JVRead", rc));
    return;
  }
}

void ChangeFetch::CloseChangeSession() {
  // Closed also when JVClose throws: the component that could not be reached holds nothing.
  struct Closed {
    ChangeFetch& f;
    ~Closed() {
      f.sessionOpen_ = false;
      if (f.owner_) f.owner_->Closed(SessionUser::ChangeCheck);
    }
  };
  int rc = 0;
  {
    Closed closed{*this};
    rc = jvlink_.JVClose();
  }
  if (rc != 0) {
    LogError(JVResultMessage("JVClose", rc));
    SetStatus({});
  } else if (!automaticRun_) {
    desktop_.Beep();
  }
  if (sessionClosed_) sessionClosed_();
  std::vector<std::function<void()>> waiting;
  waiting.swap(afterClose_);
  for (auto& action : waiting) action();
}

void ChangeFetch::RunWhenSessionClosed(std::function<void()> action) {
  if (!action) return;
  if (sessionOpen_) {
    afterClose_.push_back(std::move(action));
  } else {
    action();
  }
}

}  // namespace tavolen
