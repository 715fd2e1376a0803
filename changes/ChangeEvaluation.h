// The change evaluation of one day: reads the day's change files, builds the display lines of
// the five lists of the change window, and decides what the user has not been told yet. A
// change is news when it has not been announced before, whatever its announcement stamp: the
// day's memory file (AnnouncementMemory) remembers every change announced, and the renew file
// keeps the greatest stamp announced per category.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/Favourites.h"
#include "jvlink/ChangeFiles.h"
#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"
#include "jvlink/TextLines.h"

namespace tavolen {

// One change not announced before: its category, announcement stamp and change-window line, and
// the favourite it concerns (empty: none).
struct NewChange {
  ChangeType type;
  SjisString stamp;
  SjisString line;
  SjisString favourite = {};
  SjisString record = {};  // the record (WE: the change's line) it comes from
};

struct ChangeEvaluation {
  // Not ok when a change file or the renew file exists but cannot be read; the evaluation
  // then ended there and nothing else of this result is meaningful.
  FileStatus status;
  // The lines of ListBox1 (weather/going) to ListBox5 (course changes), in the order WE, AV,
  // JC, TC, CC.
  std::array<Lines, kChangeTypes> lists;
  // For every line of the five lists: whether it concerns a favourite.
  std::array<std::vector<bool>, kChangeTypes> favouriteLines;
  // The five announcement stamps after the evaluation: the renew file's lines raised by every
  // later stamp seen. These are the renew lines to save when there is news.
  RenewStamps stamps;
  std::array<bool, kChangeTypes> news{};
  // One "[label]更新時刻：mm/dd hh:nn" line per category with news, in category order; the
  // time is that of the category's latest new change.
  Lines newsLines;
  // "本日の開催で変更情報が発生しました。" CR LF, then every news line with CR LF; empty
  // without news.
  SjisString balloonText;
  // The changes not announced before, newest first.
  std::vector<NewChange> newChanges;
  // What the memory file holds once this evaluation's news is announced: the identity of
  // every change listed.
  Lines announced;

  bool hasNews() const { return !newsLines.empty(); }
};

// The day's change file of a type, its renew file and its memory file: the selected race file
// (the day file "yyyy年mm月dd日.jvRA" in the Data folder) with its extension replaced. An empty
// selected race file (no day loaded) names no file.
fs::path ChangeFilePath(const fs::path& selectedRaceFile, ChangeType type);
fs::path RenewFilePath(const fs::path& selectedRaceFile);
fs::path AnnouncedFilePath(const fs::path& selectedRaceFile);

// One evaluation of the day whose race file is selectedRaceFile. Reads files only; what was
// announced is saved by SaveRenewFile when the result has news. favourites (may be null) tells
// which changes concern a favourite; it changes no list line, stamp or news.
ChangeEvaluation EvaluateChanges(const fs::path& selectedRaceFile,
                                 const FavouriteDay* favourites = nullptr);

// One "[label]更新時刻：mm/dd hh:nn" line per category among the changes, in category order; the
// time is that of the category's latest change.
Lines NewsLinesOf(const std::vector<NewChange>& changes);
// "本日の開催で変更情報が発生しました。" CR LF, then every news line with CR LF.
SjisString BalloonTextOf(const Lines& newsLines);

// Records an announcement: rewrites the renew file with the evaluation's five stamps, then the
// memory file. When the renew file cannot be written the memory stays as it was, so the same
// news comes again; a crash between the two writes repeats one announcement at most.
FileStatus SaveRenewFile(const fs::path& selectedRaceFile, const ChangeEvaluation& evaluation);

// The current weather and going of every course and day: each initial state (change kind "1")
// with every weather change ("2") and going change ("3") of the same course and day applied in
// announcement order (stamp, then change kind), whatever order the file holds them in. Changes
// are matched on positions 12-25 (date, course, meeting, day number): the service sends a
// course's initial state with its own creation date and stamp, so the leading positions of a
// state and its changes differ.
Lines CurrentWeatherStates(const Lines& weLines);

// The display line of a weather/going state, and of an AV, JC, TC or CC record.
SjisString WeatherStateLine(std::string_view state);
SjisString ChangeRecordLine(ChangeType type, std::string_view record);

// The announcement stamp of a change record (WE: positions 26-33, others 28-35).
SjisString ChangeStamp(ChangeType type, std::string_view record);

// A stamp as the lists and the balloon show it: "mm/dd hh:nn", or for the day's initial state
// (stamp "00000000") the words of InitialStateText in the same eleven bytes.
SjisString ShownStamp(std::string_view stamp);
// "初期状態" padded to the eleven bytes of "mm/dd hh:nn".
const SjisString& InitialStateText();

// The lines a notification lists below its balloon text where the platform allows: the new
// changes' lines, newest first, at most maxLines of them, then how many more there are. The
// changes about a favourite come first, marked with "★".
Lines NewChangeDetails(const std::vector<NewChange>& changes, size_t maxLines = 10);

}  // namespace tavolen
