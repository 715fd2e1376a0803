#include "changes/ChangeEvaluation.h"

#include <system_error>

#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"

namespace tavolen {
namespace {

// The bytes at 1-based positions a to b; positions beyond the text read as blanks.
std::string At(std::string_view s, int a, int b) {
  return Cut(s, a, b - a + 1);
}

// Reads a change or renew file. A missing file is no failure (exists stays false); a path that
// exists but is no readable file is one.
FileStatus LoadFile(const fs::path& path, bool& exists, std::string& bytes) {
  exists = false;
  bytes.clear();
  if (path.empty()) return FileStatus::Ok();
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (st.type() == fs::file_type::not_found) return FileStatus::Ok();
  exists = true;
  if (ec || !fs::is_regular_file(st))
    return FileStatus::Fail(Sj("変更情報ファイルを読み込めませんでした：") + PathText(path));
  return ReadWholeFile(path, bytes);
}

// Raises a category's stamp when the record's stamp is later; an empty stamp is less than any.
void Raise(ChangeEvaluation& ev, ChangeType type, const SjisString& stamp) {
  const int i = static_cast<int>(type);
  if (ev.stamps[i] < stamp) {
    ev.stamps[i] = stamp;
    ev.news[i] = true;
  }
}

// The display prefix of an AV, JC, TC or CC line: course, race number, announcement time.
SjisString RacePrefix(std::string_view r) {
  static const SjisString kR = Sj("R ");
  return CourseName(At(r, 20, 21), 2) + PadNumber(At(r, 26, 27)) + kR + At(r, 28, 29) + "/" +
         At(r, 30, 31) + " " + At(r, 32, 33) + ":" + At(r, 34, 35) + " ";
}

}  // namespace

fs::path ChangeFilePath(const fs::path& selectedRaceFile, ChangeType type) {
  return SiblingDateFile(selectedRaceFile, ChangeExtension(type));
}

fs::path RenewFilePath(const fs::path& selectedRaceFile) {
  return SiblingDateFile(selectedRaceFile, kRenewFileSuffix);
}

SjisString ChangeStamp(ChangeType type, std::string_view record) {
  return type == ChangeType::WE ? At(record, 26, 33) : At(record, 28, 35);
}

Lines CurrentWeatherStates(const Lines& weLines) {
  Lines states;
  for (const auto& w : weLines)
    if (At(w, 34, 34) == "1") states.push_back(w);
  for (auto& s : states) {
    const std::string courseDay = At(s, 12, 25);
    for (const auto& w : weLines) {
      if (At(w, 12, 25) != courseDay) continue;
      const std::string kind = At(w, 34, 34);
      if (kind == "2") {
        s = At(s, 1, 25) + At(w, 26, 34) + At(w, 35, 35) + At(s, 36, 37) + At(w, 38, 38) +
            At(s, 39, 40);
      } else if (kind == "3") {
        s = At(s, 1, 25) + At(w, 26, 34) + At(s, 35, 35) + At(w, 36, 37) + At(s, 38, 38) +
            At(w, 39, 40);
      }
    }
  }
  return states;
}

SjisString WeatherStateLine(std::string_view s) {
  // The weather takes four bytes: a one-character name is padded, an unknown code gives two
  // blanks.
  const SjisString weather = (WeatherName(At(s, 35, 35)) + "  ").substr(0, 4);
  return CourseName(At(s, 20, 21), 2) + " " + At(s, 26, 27) + "/" + At(s, 28, 29) + " " +
         At(s, 30, 31) + ":" + At(s, 32, 33) + " " + weather + " " + GoingName(At(s, 36, 36), 1) +
         " " + GoingName(At(s, 37, 37), 2);
}

SjisString ChangeRecordLine(ChangeType type, std::string_view r) {
  static const SjisString kArrow = Sj("⇒");
  switch (type) {
    case ChangeType::WE:
      return WeatherStateLine(r);
    case ChangeType::AV:
      return RacePrefix(r) + CircledNumber(At(r, 36, 37)) + " " + At(r, 38, 55) + " " +
             ScratchKindName(At(r, 3, 3)) + ScratchReasonName(At(r, 74, 76));
    case ChangeType::JC:
      return RacePrefix(r) + At(r, 125, 132) + kArrow + At(r, 82, 89) + "[" + At(r, 74, 76) + "] " +
             CircledNumber(At(r, 36, 37)) + " " + At(r, 38, 55);
    case ChangeType::TC:
      return RacePrefix(r) + At(r, 40, 41) + ":" + At(r, 42, 43) + kArrow + At(r, 36, 37) + ":" +
             At(r, 38, 39);
    case ChangeType::CC:
      return RacePrefix(r) + TrackName(At(r, 46, 47)) + At(r, 42, 45) + "m" + kArrow +
             TrackName(At(r, 40, 41)) + At(r, 36, 39) + "m";
  }
  return {};
}

ChangeEvaluation EvaluateChanges(const fs::path& selectedRaceFile) {
  ChangeEvaluation ev;
  bool exists = false;
  std::string bytes;

  // The renew file holds what the user has been told; one without exactly five lines counts
  // as absent.
  const fs::path renew = RenewFilePath(selectedRaceFile);
  if (ev.status = LoadFile(renew, exists, bytes); !ev.status) return ev;
  if (exists) ev.stamps = ReadRenewFile(renew);

  // Weather and going: the current state of every course, each state counting for the stamp.
  if (ev.status = LoadFile(ChangeFilePath(selectedRaceFile, ChangeType::WE), exists, bytes);
      !ev.status)
    return ev;
  if (exists) {
    for (const auto& s : CurrentWeatherStates(SplitLines(bytes))) {
      ev.lists[0].push_back(WeatherStateLine(s));
      Raise(ev, ChangeType::WE, At(s, 26, 33));
    }
  }

  // The four record files: every whole record is listed and counts for the stamp.
  for (ChangeType type : {ChangeType::AV, ChangeType::JC, ChangeType::TC, ChangeType::CC}) {
    if (ev.status = LoadFile(ChangeFilePath(selectedRaceFile, type), exists, bytes); !ev.status)
      return ev;
    if (!exists) continue;
    const size_t size = static_cast<size_t>(ChangeRecordSize(type));
    Lines& list = ev.lists[static_cast<int>(type)];
    for (size_t at = 0; at + size <= bytes.size(); at += size) {
      const std::string_view r = std::string_view(bytes).substr(at, size);
      list.push_back(ChangeRecordLine(type, r));
      Raise(ev, type, ChangeStamp(type, r));
    }
  }

  static const std::array<SjisString, kChangeTypes> kLabels = {
      Sj("[天候馬場]"), Sj("[取消除外]"), Sj("[騎手変更]"), Sj("[発走時刻]"), Sj("[ｺｰｽ 変更]")};
  static const SjisString kUpdated = Sj("更新時刻：");
  static const SjisString kHeader = Sj("本日の開催で変更情報が発生しました。\r\n");
  for (int i = 0; i < kChangeTypes; ++i) {
    if (!ev.news[i]) continue;
    const SjisString& st = ev.stamps[i];
    ev.newsLines.push_back(kLabels[i] + kUpdated + At(st, 1, 2) + "/" + At(st, 3, 4) + " " +
                           At(st, 5, 6) + ":" + At(st, 7, 8));
  }
  if (ev.hasNews()) ev.balloonText = kHeader + JoinLinesCrLf(ev.newsLines);
  return ev;
}

FileStatus SaveRenewFile(const fs::path& selectedRaceFile, const ChangeEvaluation& evaluation) {
  const fs::path renew = RenewFilePath(selectedRaceFile);
  if (renew.empty()) return FileStatus::Ok();
  return WriteRenewFile(renew, evaluation.stamps);
}

}  // namespace tavolen
