// The race-data acquisition: one JV-Link session for the dataspec "RACE" from a start time,
// the download wait, the record reading loop that stores RA and SE records into the race files,
// and the close step. Plain C++; the acquisition window drives it through AcquireView.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "jvlink/Clock.h"
#include "jvlink/JVSession.h"
#include "jvlink/Sjis.h"

namespace tavolen {

class Desktop;
class IniFile;
class JVLink;

// Program-wide acquisition state, owned by the main window and shared by every acquisition
// window it opens; it outlives each window because a session can be left open by a cancel
// during the download or by closing the window then.
struct AcquisitionState {
  // 1 after a confirmed cancel; cleared at each start; read by the record reading loops.
  std::uint8_t CancelFlag = 0;
  // True from a successful JVOpen for "RACE" until the next close step of an acquisition.
  bool sessionOpen = false;
  // The program's one owner of JV-Link's session, told of every open and close; may be null.
  JVSessionOwner* owner = nullptr;
};

// What the session asks of its window.
class AcquireView {
 public:
  virtual ~AcquireView() = default;

  virtual void SetProgressLabel(const SjisString& text) = 0;
  virtual void SetDownloadMax(int max) = 0;
  virtual void SetDownloadPosition(int position) = 0;
  virtual void SetReadMax(int max) = 0;
  virtual void SetReadPosition(int position) = 0;
  virtual void AddListLine(const SjisString& line) = 0;
  virtual void ClearList() = 0;
  // Busy: the arrow with hourglass; otherwise the window's default cursor.
  virtual void SetBusyCursor(bool busy) = 0;
  virtual void StartStatusTimer() = 0;
  virtual void StopStatusTimer() = 0;
  // Runs the window messages that are waiting (timer ticks, clicks, painting).
  virtual void ProcessPendingEvents() = 0;
  // The start date picker: a full date and time.
  virtual LocalDateTime PickerDateTime() const = 0;
  virtual void SetPickerDateTime(const LocalDateTime& t) = 0;
};

// The progress text while a call waits on a window of JV-Link itself (UTF-8 source; code page
// 932 through Sj).
inline constexpr const char* kWaitingOnJVLinkWindow = "JV-Linkの画面で応答を待っています";
// The session's notices that are not failures: the start (after the start date and time), the
// end of a complete reading and a session that found nothing new.
inline constexpr const char* kAcquisitionStartNotice =
    "以降のデータ取込を開始します。データ作成が終了するまで本ソフトを操作したり他のアプリケーショ"
    "ンを操作することは極力避けてください。";
inline constexpr const char* kAcquisitionCompleted = "データ作成が完了しました。";
inline constexpr const char* kNoNewRaceData = "最新のデータがありません。";

class AcquisitionSession {
 public:
  AcquisitionSession(AcquireView& view, Desktop& desktop, JVLink& jvlink, IniFile& ini,
                     const Clock& clock, std::filesystem::path dataDir, AcquisitionState& state);

  // Window creation: puts the stored "LastTime" into the picker, or eight days before now
  // when it is missing or does not read as a date and time.
  void Create();
  // ButtonStart.
  void Start();
  // TimerJVStatus, every 10 ms while the download is awaited.
  void StatusTick();
  // ButtonCancel.
  void Cancel();
  // SpeedButton1: JV-Link's own settings dialog.
  void JVLinkSettings();
  // Ends a session without asking (a download that stalled, the automation switched off, the
  // acquisition window closed during a download): JVCancel, and JVClose unless a read loop
  // runs, which ends at its next record and closes itself. A JV-Link that cannot be reached
  // leaves the session marked closed. No box beyond the close step's.
  void Abandon();

  // True while a record reading loop runs (the window then defers its closing).
  bool Reading() const { return readDepth_ > 0; }
  bool SessionOpen() const { return state_.sessionOpen; }
  // Whose the session is, for the session owner: the acquisition window's unless told.
  void SetUser(SessionUser user) { user_ = user; }

  int ReadCount() const { return readCount_; }
  int DownloadCount() const { return downloadCount_; }
  const SjisString& LastFileTimestamp() const { return lastFileTimestamp_; }

 private:
  enum class ReadEnd { Completed, Cancelled, ReadFailed, StoreFailed };

  void StartSession();
  void Tick();
  // Runs one handler; when JV-Link can no longer be reached (JVLinkFailure) the general error
  // box shows why, the handler ends and the close step runs where it can.
  template <typename F>
  void Guarded(F&& handler);

  ReadEnd ReadAndStore();
  void CloseStep();
  void MarkSession(bool open);
  void SaveLastTime(const SjisString& stamp);
  // Beep, then the information box.
  void Fail(const SjisString& text);
  // The progress text (kept while JV-Link's own window is waited on, shown afterwards).
  void ShowProgress(const SjisString& text);

  AcquireView& view_;
  Desktop& desktop_;
  JVLink& jvlink_;
  IniFile& ini_;
  const Clock& clock_;
  std::filesystem::path dataDir_;
  AcquisitionState& state_;

  SessionUser user_ = SessionUser::AcquisitionWindow;
  int readCount_ = 0;
  int downloadCount_ = 0;
  SjisString lastFileTimestamp_;
  int readDepth_ = 0;
  int handlerDepth_ = 0;
  int windowObserver_ = 0;
  bool waitingOnWindow_ = false;
  SjisString progress_;
};

// "yyyy/mm/dd hh:nn:ss" from a 14-digit time stamp "yyyymmddhhnnss"; false when the stamp,
// trimmed of blanks, is empty, "00000000000000" or not a valid date and time.
bool LastTimeFromTimestamp(std::string_view timestamp, std::string& lastTime);

}  // namespace tavolen
