// The main window: the frame with its tool bar, menus, meeting date list, status line and tray
// icon. It owns the program's one JV-Link control, the loaded meeting, the change watch
// (changes/ChangeWatch.h) and the race card view (racecard/RaceCardView.h), whose panels it
// places. Its handlers are the named operations users know; the race card viewer's
// (MainRaceCard.cpp) call the race card logic and the view, the change monitoring's call the
// change watch. docs/structure.md lists how they talk.
//
// What the controls do (their names are the original program's):
//   JVLink1        the one JV-Link control; every JV-Link call of every window goes through it
//   IniGT1         the settings file
//   Timer4         the automatic check timer (the change watch's): every check interval it may
//                  run the change fetch
//   DateCombo      the meeting dates (the date keys of the day files); choosing one loads it
//   DatList, UpDown1, StringGrid2, PopupMenu1, N18, Panel1, Panel5, Panel2, Label3D1..Label3D10
//                  the race card view's (racecard/RaceCardView.h): the race list, the grid and
//                  the header labels, which this window places in its frame
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
#include "app/TrayState.h"
#include "automation/Autostart.h"
#include "base/Desktop.h"
#include "base/ErrorLog.h"
#include "base/Favourites.h"
#include "base/IniFile.h"
#include "changes/ChangeWatch.h"
#include "jvlink/Clock.h"
#include "jvlink/JVLink.h"
#include "jvlink/TextLines.h"
#include "racecard/Meeting.h"
#include "racecard/RaceCardView.h"

class QDialog;

namespace tavolen {

class AutoWatch;
class Label3D;
class SignInItems;
class StartGuide;
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
  // The entry that starts the program at sign-in; null: the system's, for the running program.
  AutostartEntry* autostart = nullptr;
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
  // Started at sign-in: straight to the tray (minimised where there is none) with the steps of
  // a showing, whose failures go to the error log and a notification instead of a box.
  void StartInTray();
  bool FormCloseQuery();  // the today test; false refuses the close
  void FormClose();
  void FormDestroy();
  void ShowHint(const QString& hint);
  // A log-off or shut-down asks whether the program may end: the today test. A program started
  // at sign-in that nobody has brought out of the tray may end: no day was chosen to keep.
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
  // True while the acquisition window is open with its JV-Link session open, or an automatic
  // acquisition runs: the automatic change check then waits, so it never ends the download.
  bool AcquisitionHoldsSession() const;
  // The acquisition's cancel flag and session state, shared with the acquisition window.
  AcquisitionState& acquisition() { return acquisition_; }
  // "開催日を自動で監視する" (File menu and tray menu): stores its check mark and switches the
  // automation (automation/AutoWatch.h) on or off.
  void AutoWatchItemClick();
  // The guide's "自動で監視する（おすすめ）": "ログイン時に起動する" and "開催日を自動で監視する"
  // turned on, and today followed at once (MainGuide.cpp).
  void AutoWatchButtonClick();
  void HelpContentsItemClick();
  void SpeedButton6Click();  // version box with the version text
  void PopupMenuTrayIcon1AboutClick();

  // ---- Error log ----
  // Adds an error line with the text of DLlabel; a failure is shown in the error box.
  bool RecordErrorLine();

  // ---- Race card viewer (MainRaceCard.cpp) ----
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

  // ---- Change monitoring: named operations of the change watch ----
  // The change fetch followed by the evaluation (ChangeWatch::CheckNow, not automatic).
  void GetKaisaiBtnClick();
  // False when a change file could not be read (the error box was shown).
  bool KaisaiReadBtnClick();
  // The notification of news: the sound, then the balloon with its text and, where the
  // platform allows, the new changes' lines. favourite: a change about a favourite leads it, and
  // the favourites' sound plays.
  void ShowBalloon1Click(const SjisString& text, const Lines& details = {}, bool favourite = false);
  void Timer4Timer();
  void N2Click();
  // Every 30 seconds the watch looks for a sleep or a clock jump (ChangeWatch::WakeTick).
  void WakeTimerTimer();
  // After the date list was rebuilt: the loaded day stays selected while its day file exists,
  // so the automatic check goes on.
  void KeepLoadedDaySelected();

  // ---- Favourites and notification settings (MainFavourites.cpp) ----
  // The favourites window and the notification settings window.
  void FavouritesItemClick();
  void NotifySettingsItemClick();
  // Adds the favourite, or removes it when listed; saves the list and marks it anew.
  void ToggleFavourite(FavouriteKind kind, const SjisString& code, const SjisString& name);
  const FavouriteList& Favourites() const { return favourites_.list(); }
  const fs::path& FavouritesFile() const { return favourites_.path(); }
  // The favourites' sound, "favourite.wav", where there is one; otherwise notify.wav.
  fs::path FavouriteSoundFile() const;

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
  int RunModal(QDialog& dialog);

  // ---- The other windows and the parts tests and start-up need ----
  // The change window and the progress window, created after this one at start-up.
  void SetChangeWindow(THenkoForm* henko) { HenkoForm = henko; }
  void SetProgressWindow(TPrgrsForm* prgrs) { PrgrsForm = prgrs; }
  THenkoForm* ChangeWindow() const { return HenkoForm; }
  TPrgrsForm* ProgressWindow() const { return PrgrsForm; }
  // The settings file (IniGT1) and the JV-Link control (JVLink1).
  const fs::path& SettingsFile() const { return IniGT1.path(); }
  JVLink& JVLinkControl() const { return JVLink1; }
  // The invisible up-down control beside the race list: its range and position, and a click
  // that moves it to a position and shows that race.
  const TUpDown& UpDown1State() const { return view_->UpDown(); }
  void UpDown1Click(int position);

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // ---- Components and controls (tests find them by object name) ----
  JVLink& JVLink1;
  // Says in the status line while a JV-Link call waits on JV-Link's own window.
  int jvLinkWindowHook_ = 0;
  IniFile IniGT1;

  // The tool bar's buttons and the menus' items run their handlers by themselves; these are
  // the controls the handlers read or write.
  QComboBox* DateCombo = nullptr;
  RaceCardView* view_ = nullptr;  // the race list, the race card and its header labels
  QLabel* DLlabel = nullptr;      // hidden status label of the change fetch
  // Stands where the race card area is while that is hidden and says what to do next
  // (app/StartGuide.h): the automatic way first, then fetching race data by hand while the date
  // list is empty, otherwise choosing a date.
  StartGuide* guide_ = nullptr;
  QStatusBar* StatusLine = nullptr;

  QAction* N5 = nullptr;
  QAction* CardChangesItem = nullptr;  // "変更情報を出馬表に表示", off by default
  QAction* AutoWatchItem = nullptr;    // "開催日を自動で監視する", off by default
  QMenu* PopupMenuTrayIcon1 = nullptr;
  QAction* FavouritesItem = nullptr;      // "お気に入り..."
  QAction* NotifySettingsItem = nullptr;  // "通知の設定..." (also in the tray menu)
  SignInItems* signInItems_ = nullptr;  // "ログイン時に起動する" in the File and tray menus

  THenkoForm* HenkoForm = nullptr;
  TPrgrsForm* PrgrsForm = nullptr;

  QWidget* BuildToolBar();  // ToolBar1
  void BuildInfoPanel(QWidget* parent);
  QWidget* BuildClientArea();
  void UpdateGuide();  // MainGuide.cpp
  void BuildMenus();
  void BuildTrayMenu();
  void ShowTrayIcon();
  void PlaceWindow(int left, int top, int width, int height);
  void StorePosition();
  // A failure of the show steps: a box, or while nobody is at the screen (StartInTray) the
  // error log, the status line and a notification.
  void TellShowFailure(const SjisString& text, bool error);
  bool TodaySelected() const;
  // The today test with its message; true when today's date is the one selected.
  bool TodayTest();
  void ShowAboutBox(bool withVersion);
  // The change watch's status in the status line and the tray tip, its news in the tray.
  void SetUpWatch();
  void ShowWatchStatus(const SjisString& state, const SjisString& detail);
  // The tray icon and tip for the state at a glance (MainTray.cpp): today watched, nothing to
  // watch, a wait on JV-Link's own window or a failing automatic step, then the day's lines.
  void ShowTrayState();
  SjisString DayTrayTip() const;
  // Tells the watch the loaded meeting.
  void TellWatchTheDay();
  // Reads the favourites file at creation (a damaged one is kept aside and said in the error
  // log and the status line); the menu items of the favourites and the notification settings.
  void LoadFavourites();
  void AddFavouriteMenuItems(QMenu* optionMenu);
  // After the list changed or a day was loaded: saves nothing, marks the race list and card
  // anew and tells the watch which runners of the day are favourites.
  void MarkFavourites();
  // The favourites the watch's announcements mark, from the runners of the day it watches.
  void MarkWatchedFavourites(const LoadedMeeting& day);
  // Loads a date as choosing it in the date list does, the list rebuilt first (a new day, the
  // automation); true when it was loaded.
  bool LoadDayByItself(const SjisString& dateKey);
  // A load's problem: its box, or an error-log line when the program loads by itself.
  void TellLoadProblem(const SjisString& text, bool errorBox);
  // The automation and its status beside the watch's (MainAutoWatch.cpp).
  void SetUpAutoWatch();
  // The automation gives the watch a day's meeting without showing it (the user looks at
  // another date); true when the day was loaded for the watch.
  bool WatchDayBehindView(const SjisString& dateKey);
  // True while the automation runs and the watch watches today: a date chosen in the date list
  // is shown, and today stays watched.
  bool WatchKeepsToday() const;
  // Ends the session a closed acquisition window left open (JVCancel, JVClose), if any, before
  // a change check or the automation opens one of its own: never one on top of the other.
  void EndLeftAcquisitionSession();

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
  bool unattendedShow_ = false;  // inside StartInTray
  bool startedInTray_ = false;   // by StartInTray, until the user shows the window
  std::unique_ptr<AutostartEntry> ownAutostart_;
  bool destroyed_ = false;
  LoadedMeeting meeting_;
  FavouritesStore favourites_;
  ChangeWatch* watch_ = nullptr;
  QLabel* WatchLabel = nullptr;        // in the status line: what the watch does
  QLabel* WatchDetailLabel = nullptr;  // beside it: the next check, a failure's reason
  // The acquisition's cancel flag and session state outlive its window: a session left open
  // by a cancel during the download stays open until the next close step.
  AcquisitionState acquisition_;
  // Whose JV-Link session is open: the acquisition's (window or automation) and the change
  // fetch's tell it.
  JVSessionOwner sessionOwner_;
  bool acquisitionWindowOpen_ = false;
  bool jvInitDone_ = false;       // a JVInit of a showing succeeded
  bool loadingByItself_ = false;  // LoadDayByItself runs: no box of the load
  AutoWatch* autoWatch_ = nullptr;
  QLabel* AutoWatchLabel = nullptr;  // in the status line: what the automation does
  // The failing automatic steps by name, for the tray; and whether a JV-Link call waits on
  // JV-Link's own window.
  TrayFailures trayFailures_;
  bool waitingOnJVLinkWindow_ = false;
  bool trayIconSet_ = false;
  TrayState trayState_ = TrayState::NothingToWatch;
};

}  // namespace tavolen
