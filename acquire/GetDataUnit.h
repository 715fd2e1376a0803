// The acquisition window "ＪＶデータ取込": fetches race data through the main window's JV-Link
// and writes the race files. Created anew for each opening and shown modally; the owner frees
// it after exec() returns (Open does all three). Its behaviour is AcquisitionSession; the window
// only shows it.
//
// Controls: ButtonStart starts the acquisition and ButtonCancel cancels it; SpeedButton1 opens
// JV-Link's own settings; DateTimePicker1 is the date and time from which data is asked for;
// ProgressBar1 shows the download and ProgressBar2 the reading, ProgressLabel says which step
// runs; ListBox1 lists the stored records; TimerJVStatus (10 ms) polls the download.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTime>
#include <filesystem>
#include <functional>
#include <memory>

#include "acquire/AcquisitionSession.h"

class QDateTimeEdit;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;

namespace tavolen {

class Clock;
class Desktop;
class IniFile;
class JVLink;

class TGetDataForm : public QDialog, private AcquireView {
  Q_OBJECT

 public:
  // onClose runs once when the window closes (the main window's day-list rebuild).
  TGetDataForm(JVLink& jvlink, Desktop& desktop, IniFile& ini, const Clock& clock,
               std::filesystem::path dataDir, AcquisitionState& state,
               std::function<void()> onClose, QWidget* parent = nullptr);
  ~TGetDataForm() override;

  // Creates the window, shows it modally and frees it when it has closed.
  static void Open(JVLink& jvlink, Desktop& desktop, IniFile& ini, const Clock& clock,
                   std::filesystem::path dataDir, AcquisitionState& state,
                   std::function<void()> onClose, QWidget* parent = nullptr);

  AcquisitionSession& session() { return *session_; }

  QPushButton* ButtonStart = nullptr;
  QPushButton* ButtonCancel = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QLabel* ProgressLabel = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QProgressBar* ProgressBar2 = nullptr;
  QListWidget* ListBox1 = nullptr;
  QDateTimeEdit* DateTimePicker1 = nullptr;
  QTimer* TimerJVStatus = nullptr;

  void ButtonStartClick();
  void ButtonCancelClick();
  void SpeedButton1Click();
  void TimerJVStatusTimer();

  // Closing waits for a running read loop and its close step, then rebuilds the day list.
  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetProgressLabel(const SjisString& text) override;
  void SetDownloadMax(int max) override;
  void SetDownloadPosition(int position) override;
  void SetReadMax(int max) override;
  void SetReadPosition(int position) override;
  void AddListLine(const SjisString& line) override;
  void ClearList() override;
  void SetBusyCursor(bool busy) override;
  void StartStatusTimer() override;
  void StopStatusTimer() override;
  void ProcessPendingEvents() override;
  LocalDateTime PickerDateTime() const override;
  void SetPickerDateTime(const LocalDateTime& t) override;

  // Runs a handler; a close asked for while a read loop ran is carried out afterwards.
  void RunHandler(void (AcquisitionSession::*handler)());
  // Lays out the lines added to ListBox1 and lets it paint them (see AddListLine).
  void ShowNewListLines();

  std::unique_ptr<AcquisitionSession> session_;
  std::function<void()> onClose_;
  QTime pickerTime_;  // the time of day the picker was given; the user changes only the date
  bool closePending_ = false;
  int closeResult_ = 0;
  bool closed_ = false;
  QTimer* listShowTimer_ = nullptr;  // shows the lines added since the list was last shown
  QElapsedTimer sinceListShown_;
  bool listFollows_ = true;  // the list shows its newest line and follows the next ones
};

}  // namespace tavolen
