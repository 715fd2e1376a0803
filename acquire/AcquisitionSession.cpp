#include "acquire/AcquisitionSession.h"

#include <cstdio>

#include "base/Desktop.h"
#include "base/FailureText.h"
#include "base/IniFile.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/JVLink.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/RaceFiles.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

// 'yyyy"年"mm"月"dd"日"hh"時"nn"分"ss"秒"'
SjisString JapaneseDateTime(const LocalDateTime& t) {
  static const SjisString nen = Sj("年"), tsuki = Sj("月"), hi = Sj("日"), ji = Sj("時"),
                          fun = Sj("分"), byo = Sj("秒");
  char y[8], mo[4], d[4], h[4], mi[4], s[4];
  std::snprintf(y, sizeof y, "%04d", t.year);
  std::snprintf(mo, sizeof mo, "%02d", t.month);
  std::snprintf(d, sizeof d, "%02d", t.day);
  std::snprintf(h, sizeof h, "%02d", t.hour);
  std::snprintf(mi, sizeof mi, "%02d", t.minute);
  std::snprintf(s, sizeof s, "%02d", t.second);
  return y + nen + mo + tsuki + d + hi + h + ji + mi + fun + s + byo;
}

// "(n/m)"
std::string Fraction(int n, int m) {
  return "(" + std::to_string(n) + "/" + std::to_string(m) + ")";
}

// Keeps the depth of running read loops, also when a loop is left early.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

}  // namespace

bool LastTimeFromTimestamp(std::string_view timestamp, std::string& lastTime) {
  const std::string_view stamp = TrimBlanks(timestamp);
  if (stamp.empty() || stamp == "00000000000000") return false;
  LocalDateTime t;
  if (!ParseCompactDateTime(stamp, t)) return false;
  lastTime = FormatSlashDateTime(t);
  return true;
}

AcquisitionSession::AcquisitionSession(AcquireView& view, Desktop& desktop, JVLink& jvlink,
                                       IniFile& ini, const Clock& clock,
                                       std::filesystem::path dataDir, AcquisitionState& state)
    : view_(view),
      desktop_(desktop),
      jvlink_(jvlink),
      ini_(ini),
      clock_(clock),
      dataDir_(std::move(dataDir)),
      state_(state) {}

void AcquisitionSession::ShowProgress(const SjisString& text) {
  progress_ = text;
  if (!waitingOnWindow_) view_.SetProgressLabel(text);
}

void AcquisitionSession::Create() {
  const LocalDateTime fallback = clock_.Now().AddDays(-8);
  const SjisString stored = ini_.Read(Settings::LastAcquisition, FormatSlashDateTime(fallback));
  LocalDateTime t;
  // A value that is empty or not a date and time gives the default, so the window always has
  // a start date to offer.
  if (!ParseSlashDateTime(TrimBlanks(stored), t)) t = fallback;
  view_.SetPickerDateTime(t);
}

void AcquisitionSession::Fail(const SjisString& text) {
  desktop_.Beep();
  desktop_.InformationBox(text);
}

template <typename F>
void AcquisitionSession::Guarded(F&& handler) {
  // While a call of the handler waits on JV-Link's own window (its update question inside
  // JVOpen, its settings dialog), the progress text says so and afterwards shows what it
  // showed before. Listened to only while a handler runs: the JV-Link may be gone afterwards.
  struct Listening {
    AcquisitionSession& s;
    explicit Listening(AcquisitionSession& session) : s(session) {
      if (s.handlerDepth_++ > 0) return;
      s.windowObserver_ = s.jvlink_.AddWindowWaitObserver([this](bool waiting) {
        s.waitingOnWindow_ = waiting;
        s.view_.SetProgressLabel(waiting ? Sj(kWaitingOnJVLinkWindow) : s.progress_);
      });
    }
    ~Listening() {
      if (--s.handlerDepth_ > 0) return;
      s.jvlink_.RemoveWindowWaitObserver(s.windowObserver_);
      s.waitingOnWindow_ = false;
    }
  } listening(*this);
  try {
    handler();
  } catch (const JVLinkFailure& e) {
    view_.StopStatusTimer();
    desktop_.ErrorBox(e.message());
    try {
      CloseStep();
    } catch (const JVLinkFailure&) {
      MarkSession(false);
      view_.SetBusyCursor(false);
    }
  }
}

void AcquisitionSession::Start() {
  Guarded([this] { StartSession(); });
}

void AcquisitionSession::StatusTick() {
  // A tick that comes while a JV-Link call waits for its answer is skipped.
  if (jvlink_.Busy()) return;
  Guarded([this] { Tick(); });
}

void AcquisitionSession::StartSession() {
  static const SjisString startText = Sj(kAcquisitionStartNotice);
  static const SjisString noData = Sj(kNoNewRaceData);
  static const SjisString openError = Sj("JVOpenエラー:");
  static const SjisString downloading = Sj("ダウンロード中・・・");

  desktop_.InformationBox(JapaneseDateTime(view_.PickerDateTime()) + startText);

  view_.StopStatusTimer();
  state_.CancelFlag = 0;
  view_.SetDownloadPosition(0);
  view_.SetReadPosition(0);
  view_.ClearList();

  const std::string fromTime = FormatCompactDateTime(view_.PickerDateTime());
  view_.SetBusyCursor(true);

  lastFileTimestamp_.clear();
  std::u16string stamp;
  const int r = jvlink_.JVOpen(u"RACE", Wide(fromTime), 2, readCount_, downloadCount_, stamp);
  lastFileTimestamp_ = Utf16ToSjis(stamp);
  if (r == 0) MarkSession(true);

  if (r == -1) {
    Fail(noData);
    CloseStep();
    return;
  }
  if (r != 0) {
    Fail(openError + JVResultMessage("JVOpen", r));
    CloseStep();
    return;
  }
  if (readCount_ == 0) {
    Fail(noData);
    CloseStep();
    return;
  }
  if (downloadCount_ != 0) {
    ShowProgress(downloading);
    view_.SetDownloadMax(downloadCount_);
    view_.StartStatusTimer();
    return;  // the status tick carries the session on
  }

  view_.SetDownloadMax(100);
  view_.SetDownloadPosition(100);
  // The stamp of this session, kept apart from the session values that a start pressed during
  // the loop would overwrite.
  const SjisString sessionStamp = lastFileTimestamp_;
  const ReadEnd end = ReadAndStore();
  CloseStep();
  // After a failed store the records after it were not kept; moving the start time past them
  // would hide them from the next session. The same holds after a read that broke off: the
  // automation, which nobody watches, keeps the start time then and fetches again; the window
  // keeps its behaviour, its user has seen the error.
  const bool brokeOff = end == ReadEnd::ReadFailed && user_ == SessionUser::Automation;
  if (end != ReadEnd::StoreFailed && !brokeOff) SaveLastTime(sessionStamp);
}

void AcquisitionSession::Tick() {
  static const SjisString statusError = Sj("JVStatusエラー:");
  static const SjisString downloadingOf = Sj("ダウンロード中．．．");

  const int s = jvlink_.JVStatus();
  const int total = downloadCount_;
  if (s < 0) {
    view_.StopStatusTimer();
    Fail(statusError + JVResultMessage("JVStatus", s));
    CloseStep();
    return;
  }
  if (s > total) return;
  if (s == total) view_.StopStatusTimer();
  ShowProgress(downloadingOf + Fraction(s, total));
  view_.SetDownloadPosition(s);
  if (s == total) {
    ReadAndStore();
    CloseStep();
  }
}

void AcquisitionSession::Cancel() {
  static const SjisString question = Sj("データ取込を中止します。実行しますか？");
  static const SjisString cancelled = Sj("JVCancel:キャンセルされました");

  if (!desktop_.AskYesNo(question)) return;
  view_.StopStatusTimer();
  state_.CancelFlag = 1;
  try {
    jvlink_.JVCancel();
  } catch (const JVLinkFailure& e) {
    desktop_.ErrorBox(e.message());
    return;
  }
  desktop_.Beep();
  desktop_.InformationBox(cancelled);
  ShowProgress(cancelled);
}

void AcquisitionSession::Abandon() {
  view_.StopStatusTimer();
  if (!state_.sessionOpen) return;
  state_.CancelFlag = 1;
  try {
    jvlink_.JVCancel();
    if (!Reading()) CloseStep();
  } catch (const JVLinkFailure&) {
    MarkSession(false);
    view_.SetBusyCursor(false);
  }
}

void AcquisitionSession::JVLinkSettings() {
  static const SjisString uiError = Sj("JVSetUIPropertiesエラー：");
  int c = 0;
  try {
    c = jvlink_.JVSetUIProperties();
  } catch (const JVLinkFailure& e) {
    desktop_.ErrorBox(e.message());
    return;
  }
  if (c != 0) Fail(uiError + JVResultMessage("JVSetUIProperties", c));
}

void AcquisitionSession::CloseStep() {
  static const SjisString closeError = Sj("JVCloseエラー:");
  const int c = jvlink_.JVClose();
  MarkSession(false);
  view_.SetBusyCursor(false);
  desktop_.Beep();
  if (c != 0) desktop_.InformationBox(closeError + JVResultMessage("JVClose", c));
}

void AcquisitionSession::MarkSession(bool open) {
  state_.sessionOpen = open;
  if (!state_.owner) return;
  if (open)
    state_.owner->Opened(user_);
  else
    state_.owner->Closed(user_);
}

void AcquisitionSession::SaveLastTime(const SjisString& stamp) {
  std::string t;
  if (!LastTimeFromTimestamp(stamp, t)) return;
  LocalDateTime picked;
  ParseSlashDateTime(t, picked);
  view_.SetPickerDateTime(picked);
  const FileStatus saved = ini_.Write(Settings::LastAcquisition, t);
  if (!saved) desktop_.ErrorBox(FailureText(saved));
}

AcquisitionSession::ReadEnd AcquisitionSession::ReadAndStore() {
  static const SjisString readingOf = Sj("データ読込み中．．．");
  static const SjisString readDone = Sj("データ読込み完了");
  static const SjisString completed = Sj(kAcquisitionCompleted);
  static const SjisString readError = Sj("JVReadエラー:");

  DepthGuard depth(readDepth_);
  int filesRead = 0;
  ShowProgress(readingOf + Fraction(0, readCount_));
  view_.SetReadPosition(0);
  view_.SetReadMax(readCount_);
  std::u16string buff, fileName;

  for (;;) {
    view_.ProcessPendingEvents();
    if (state_.CancelFlag != 0) return ReadEnd::Cancelled;

    const int r = ReadNextRecord(jvlink_, buff, fileName);
    if (r > 0) {
      const SjisString record = RecordToSjis(buff);
      const std::string type = Cut(record, Header::RecordType);
      const int division = ReadNumber(Cut(record, Header::DataDivision));
      if (division < 1 || division > 6 || (type != "RA" && type != "SE")) continue;
      const StoreResult stored =
          type == "RA" ? StoreRaRecord(dataDir_, record) : StoreSeRecord(dataDir_, record);
      if (stored.failed()) {
        // Every file stored so far is whole; the session ends here and is closed by the caller.
        desktop_.ErrorBox(FailureText(stored.status));
        return ReadEnd::StoreFailed;
      }
      if (stored.stored()) view_.AddListLine(stored.listLine);
    } else if (r == -1) {
      ++filesRead;
      view_.SetReadPosition(filesRead);
      ShowProgress(readingOf + Fraction(filesRead, readCount_));
    } else if (r == 0) {
      ShowProgress(readDone + Fraction(filesRead, readCount_));
      view_.SetDownloadPosition(0);
      view_.SetReadPosition(0);
      desktop_.Beep();
      desktop_.InformationBox(completed);
      return ReadEnd::Completed;
    } else if (r <= -4) {
      Fail(readError + JVResultMessage("JVRead", r));
      return ReadEnd::ReadFailed;
    }
    // -2 and -3: no record yet; read again.
  }
}

}  // namespace tavolen
