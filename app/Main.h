// The main window: tool bar, menus, the meeting date list, the header labels and the race card
// area, the status line and the tray icon. It owns the program's one JV-Link control and the
// automatic check timer, and hosts the handlers of the race card viewer (MainRaceCard.cpp) and
// of the change monitoring (MainChanges.cpp).
//
// What the controls do (their names are the original program's):
//   JVLink1        the one JV-Link control; every JV-Link call of every window goes through it
//   IniGT1         the settings file
//   Timer4         the automatic check timer: every check interval it may run the change fetch
//   DateCombo      the meeting dates (the date keys of the day files); choosing one loads it
//   DatList        the race list of the loaded meeting; choosing a race shows its race card
//   UpDown1        an invisible up-down control that mirrors the race list's selection
//   StringGrid2    the race card grid
//   PopupMenu1     the grid's right-button menu; N18 copies the race card to the clipboard
//   Panel1         the race card area (hidden until a card is shown); Panel5 the race list
//                  panel; Panel2 the panel of the header labels Label3D1..Label3D10
//   DLlabel        the hidden status label of the change fetch; error-log lines take its text
//   JVBtn, J1      open the acquisition window
//   SpeedButton1   resident mode: closes the window into the tray
//   SpeedButton2   runs the change evaluation and shows the change window
//   SpeedButton4, FileExitItem, PopupMenuTrayIcon1Exit   end the program
//   SpeedButton5, HelpContentsItem, utorial1   open the help
//   SpeedButton6, HelpAboutItem, PopupMenuTrayIcon1About   the version box
//   SpeedButton8   shows or hides the race list panel
//   N2             the check-interval dialog; N4 (tray menu) shows the change window as it is
//   N5             hidden option "読込後、ﾃﾞｰﾀﾘｽﾄを消す", stored as datalist/close
//   PopupMenuTrayIcon1   the tray icon's right-button menu
// Invisible buttons of the original are kept as named operations: MakeDataListBtnClick (the
// date list), IniBtnClick (clear the race slots), ReadBtnClick (load the chosen date),
// GetKaisaiBtnClick (the change fetch), KaisaiReadBtnClick (the change evaluation),
// ShowBalloon1Click (the notification).
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>
#include <string>

#include "acquire/AcquisitionSession.h"
#include "app/AppFolders.h"
#include "base/Desktop.h"
#include "base/ErrorLog.h"
#include "base/IniFile.h"
#include "changes/ChangeEvents.h"
#include "changes/ChangeFetch.h"
#include "jvlink/Clock.h"
#include "jvlink/JVLink.h"
#include "jvlink/TextLines.h"
#include "racecard/Meeting.h"

class QDialog;

namespace tavolen {

class Label3D;
class THenkoForm;
class TPrgrsForm;

// What the main window is built from; tests pass fakes.
struct MainFormDeps {
  fs::path appFolder;          // the folder of the executable, without a trailing separator
  std::string executableName;  // the settings file is "<executableName>.ini"
  Desktop& desktop;
  const Clock& clock;
  JVLink& jvLink;  // becomes JVLink1
  // Shows a modal window and returns its result; the default runs its own message loop.
  std::function<int(QDialog&)> runModal = {};
  // Ends the program's message loop; the default leaves QApplication::exec at once.
  std::function<void()> quit = {};
  // Installed: appFolder is the per-user folder and the read-only files (notify.wav, the user
  // guide, Tavolen.CHM) come from resourceFolder unless the user put a copy into appFolder.
  // Portable (and an empty resourceFolder): everything lies in appFolder.
  FolderLayout layout = FolderLayout::Portable;
  fs::path resourceFolder = {};
};

// The invisible horizontal up-down control that mirrors the race list selection.
struct TUpDown {
  int Min = 0;
  int Max = 0;
  int Position = 0;
};

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr const char* kVersion = "Ver.1.01";
  static constexpr const char* kSoftwareIdPrefix = "SA418207/SD530946/Tavolen/";
  static constexpr const char* kCaption = "Tavolen for JRA-VAN Data Lab.";
  static constexpr const char* kDataFolderName = "Data";
  static constexpr const char* kHelpFileName = "Tavolen.CHM";
  // The program's own user guide (HTML), opened when there is no Tavolen.CHM.
  static constexpr const char* kHelpGuide = "help/index.html";

  explicit TMainForm(const MainFormDeps& deps, QWidget* parent = nullptr);
  ~TMainForm() override;

  // ---- Events ----
  void FormCreate();
  void FormShow();
  bool FormCloseQuery();  // the today test; false refuses the close
  void FormClose();
  void FormDestroy();
  void ShowHint(const QString& hint);
  // A log-off or shut-down asks whether the program may end: the today test.
  bool QueryEndSession();

  // ---- Commands ----
  void SpeedButton4Click();  // exit (tool bar, File menu)
  void PopupMenuTrayIcon1ExitClick();
  void SpeedButton1Click();  // resident mode: a close request
  void TrayIcon1DblClick();
  void SpeedButton2Click();  // evaluate and show the change window
  void N4Click();            // show the change window as it stands
  void J1Click();
  void OpenAcquisition();  // creates the acquisition window and shows it modally
  // True while the acquisition window is open with its JV-Link session open: the automatic
  // change check then waits, so it never ends the user's download.
  bool AcquisitionHoldsSession() const;
  AcquisitionState& acquisition() { return acquisition_; }
  void HelpContentsItemClick();
  void SpeedButton6Click();  // version box with the version text
  void PopupMenuTrayIcon1AboutClick();

  // ---- Error log ----
  // Adds an error line with the text of DLlabel; a failure is shown in the error box.
  bool RecordErrorLine();
  ErrorLog& errorLog() { return errorLog_; }

  // ---- Race card viewer (MainRaceCard.cpp) ----
  void SetupRaceCardGrid();  // creation step: columns, widths, header row of StringGrid2
  void MakeDataListBtnClick();
  void IniBtnClick();
  void ReadBtnClick();
  void DateComboChange();
  void UpDown1Click();
  void N5Click();
  void SpeedButton8Click();
  void DatListClick();
  void StringGrid2MouseUp(Qt::MouseButton button, const QPoint& pos);
  void N18Click();
  // The option that marks the day's changes on the race card, chosen in the menu: stores its
  // check mark and marks or unmarks the card shown.
  void CardChangesItemClick();
  // Reads the day's changes of the race shown again and marks them, when the option is on.
  void RefreshCardChanges();
  // The loaded meeting: selected race file, race and runner tables, race slots, selected race
  // index and check interval. Only the race card handlers change it.
  const LoadedMeeting& meeting() const { return meeting_; }

  // ---- Change monitoring (MainChanges.cpp) ----
  // The change fetch; its read loop and close step are those of ChangeFetcher().
  void GetKaisaiBtnClick();
  // False when a change file could not be read (the error box was shown).
  bool KaisaiReadBtnClick();
  void ShowBalloon1Click();
  void Timer4Timer();
  void N2Click();
  // The change fetch of this window's JV-Link control, made on first use.
  ChangeFetch& ChangeFetcher();

  // ---- The watch keeps going (MainChanges.cpp) ----
  // Made at creation: the watch's status label and the timer that notices a sleep.
  void SetUpWatch();
  // After the date list was rebuilt: the loaded day stays selected while its day file exists,
  // so the automatic check goes on.
  void KeepLoadedDaySelected();
  // Every 30 seconds: after a sleep or a clock jump the check runs at once and the check timer
  // starts its period afresh.
  void WakeTimerTimer();
  // The text of the watch's status label: last successful check, a failed check, a new day
  // without race data.
  SjisString WatchStatus() const;

  // ---- State ----
  const fs::path& AppFolder() const { return appFolder_; }
  // "Data", or the folder of that name in another letter case ("DATA" from an older install).
  fs::path DataFolder() const { return FindFolderAnyCase(appFolder_, kDataFolderName); }
  const fs::path& HelpFile() const { return helpFile_; }
  const AppFolders& Folders() const { return folders_; }
  fs::path SoundFile() const { return ResourceFile(folders_, "notify.wav"); }
  const SjisString& VersionText() const { return versionText_; }
  // False when a creation step failed and the later ones were skipped.
  bool CreationCompleted() const { return creationCompleted_; }
  Desktop& desktop() { return desktop_; }
  const Clock& clock() const { return clock_; }
  int RunModal(QDialog& dialog);

  // ---- Components and controls ----
  JVLink& JVLink1;
  IniFile IniGT1;

  QWidget* ToolBar1 = nullptr;
  QToolButton* JVBtn = nullptr;
  QToolButton* SpeedButton4 = nullptr;
  QToolButton* SpeedButton5 = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QToolButton* SpeedButton2 = nullptr;
  QToolButton* SpeedButton6 = nullptr;
  QComboBox* DateCombo = nullptr;
  QFrame* Panel2 = nullptr;  // the information panel of the header labels
  Label3D* Label3D1 = nullptr;
  Label3D* Label3D2 = nullptr;
  Label3D* Label3D3 = nullptr;
  Label3D* Label3D4 = nullptr;
  Label3D* Label3D5 = nullptr;
  Label3D* Label3D6 = nullptr;
  Label3D* Label3D7 = nullptr;
  Label3D* Label3D8 = nullptr;
  Label3D* Label3D9 = nullptr;
  Label3D* Label3D10 = nullptr;
  QLabel* DLlabel = nullptr;  // hidden status label of the change fetch
  QWidget* ClientArea = nullptr;
  QWidget* Panel1 = nullptr;  // race card area, hidden at start
  // Stands where the race card area is while that is hidden and says what to do next: fetch
  // race data while the date list is empty, otherwise choose a date.
  QLabel* GuideLabel = nullptr;
  QWidget* Panel5 = nullptr;  // race list panel
  QListWidget* DatList = nullptr;
  QTableWidget* StringGrid2 = nullptr;
  QMenu* PopupMenu1 = nullptr;  // the grid's right-button menu
  QAction* N18 = nullptr;       // copy the race card to the clipboard
  TUpDown UpDown1;
  QTimer* Timer4 = nullptr;
  QTimer* WakeTimer = nullptr;  // notices a sleep or a clock jump while the watch runs
  QStatusBar* StatusLine = nullptr;
  QLabel* WatchLabel = nullptr;  // in the status line: the watch's status

  QMenu* FileMenu = nullptr;
  QAction* J1 = nullptr;
  QAction* FileExitItem = nullptr;
  QMenu* OptionMenu = nullptr;
  QAction* N2 = nullptr;
  QAction* N5 = nullptr;
  QAction* CardChangesItem = nullptr;  // "変更情報を出馬表に表示", off by default
  QMenu* HelpMenu = nullptr;
  QAction* HelpContentsItem = nullptr;
  QAction* HelpAboutItem = nullptr;

  QMenu* PopupMenuTrayIcon1 = nullptr;
  QAction* N4 = nullptr;
  QMenu* PopupMenuTrayIcon1Help = nullptr;
  QAction* utorial1 = nullptr;
  QAction* PopupMenuTrayIcon1About = nullptr;
  QAction* PopupMenuTrayIcon1Exit = nullptr;

  // The other windows, created after this one at start-up.
  THenkoForm* HenkoForm = nullptr;
  TPrgrsForm* PrgrsForm = nullptr;

  // ---- State of the change monitoring, shared with its handlers ----
  SjisString balloonText;      // the text ShowBalloon1Click shows
  Lines balloonDetails;        // the new changes it lists after that text, where room allows
  bool autoRun = false;        // true while the schedule runs a fetch
  bool jvSessionOpen = false;  // a change fetch holds a JV-Link session open

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildToolBar();
  void BuildInfoPanel(QWidget* parent);
  void BuildClientArea();
  void UpdateGuide();
  void BuildMenus();
  void BuildTrayMenu();
  void ShowTrayIcon();
  void PlaceWindow(int left, int top, int width, int height);
  void StorePosition();
  bool TodaySelected() const;
  // The today test with its message; true when today's date is the one selected.
  bool TodayTest();
  void ShowAboutBox(bool withVersion);

  Desktop& desktop_;
  const Clock& clock_;
  fs::path appFolder_;
  AppFolders folders_;
  fs::path helpFile_;
  std::function<int(QDialog&)> runModal_;
  std::function<void()> quit_;
  ErrorLog errorLog_;
  SjisString versionText_;
  bool creationCompleted_ = false;
  bool trayShown_ = false;
  bool noTrayToldOnce_ = false;
  bool destroyed_ = false;
  LoadedMeeting meeting_;
  // The watch: the day the automatic check last saw as today, the times of the last successful
  // and failed checks ("hh:nn"), the new day already told to have no race data, and the clocks
  // at the last WakeTimer tick.
  bool FollowDateChange();  // false when this tick must not check
  void RecordCheck(bool ok);
  void ShowWatchStatus();
  SjisString watchedDay_, lastCheckOk_, lastCheckFailed_, missingDayTold_;
  LocalDateTime wakeWall_;
  long long wakeMonoMs_ = -1;
  // The acquisition's cancel flag and session state outlive its window: a session left open
  // by a cancel during the download stays open until the next close step.
  AcquisitionState acquisition_;
  bool acquisitionWindowOpen_ = false;
  std::unique_ptr<ChangeFetch> changeFetch_;
  // JV-Link's change events, polled by the timer "ChangeEventTimer" (SetUpWatch).
  std::unique_ptr<ChangeEvents> changeEvents_;

 public:
  ChangeEvents* changeEvents() const { return changeEvents_.get(); }
};

}  // namespace tavolen
