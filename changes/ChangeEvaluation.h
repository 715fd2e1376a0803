// The change evaluation of one day: reads the day's change files, builds the display lines of
// the five lists of the change window, and decides per category whether anything was announced
// later than the day's renew file says the user has been told.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "jvlink/ChangeFiles.h"
#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"
#include "jvlink/TextLines.h"

namespace tavolen {

struct ChangeEvaluation {
  // Not ok when a change file or the renew file exists but cannot be read; the evaluation
  // then ended there and nothing else of this result is meaningful.
  FileStatus status;
  // The lines of ListBox1 (weather/going) to ListBox5 (course changes), in the order WE, AV,
  // JC, TC, CC.
  std::array<Lines, kChangeTypes> lists;
  // The five announcement stamps after the evaluation: the renew file's lines raised by every
  // later stamp seen. These are the renew lines to save when there is news.
  RenewStamps stamps;
  std::array<bool, kChangeTypes> news{};
  // One "[label]更新時刻：mm/dd hh:nn" line per category with news, in category order.
  Lines newsLines;
  // "本日の開催で変更情報が発生しました。" CR LF, then every news line with CR LF; empty
  // without news.
  SjisString balloonText;

  bool hasNews() const { return !newsLines.empty(); }
};

// The day's change file of a type and its renew file: the selected race file (the day file
// "yyyy年mm月dd日.jvRA" in the Data folder) with its extension replaced. An empty selected race
// file (no day loaded) names no file.
fs::path ChangeFilePath(const fs::path& selectedRaceFile, ChangeType type);
fs::path RenewFilePath(const fs::path& selectedRaceFile);

// One evaluation of the day whose race file is selectedRaceFile. Reads files only; the renew
// file is saved by SaveRenewFile when the result has news.
ChangeEvaluation EvaluateChanges(const fs::path& selectedRaceFile);

// Rewrites the renew file with the evaluation's five stamps.
FileStatus SaveRenewFile(const fs::path& selectedRaceFile, const ChangeEvaluation& evaluation);

// The current weather and going of every course and day: each initial state (change kind "1")
// with every weather change ("2") and going change ("3") of the same course and day applied in
// file order. Changes are matched on positions 12-25 (date, course, meeting, day number): the
// service sends a course's initial state with its own data kind, creation date and stamp, so
// the leading positions of a state and its changes differ.
Lines CurrentWeatherStates(const Lines& weLines);

// The display line of a weather/going state, and of an AV, JC, TC or CC record.
SjisString WeatherStateLine(std::string_view state);
SjisString ChangeRecordLine(ChangeType type, std::string_view record);

// The announcement stamp of a change record (WE: positions 26-33, others 28-35).
SjisString ChangeStamp(ChangeType type, std::string_view record);

}  // namespace tavolen
