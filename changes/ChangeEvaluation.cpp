#include "changes/ChangeEvaluation.h"

#include <algorithm>
#include <system_error>
#include <unordered_set>

#include "changes/AnnouncementMemory.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"

namespace tavolen {

namespace {

constexpr const char* kInitialStamp = "00000000";

// The first n bytes of a field (display lines show the head of long name fields).
constexpr FieldDef Head(FieldDef f, int n) {
  return {f.pos, n};
}

// Reads a change, renew or memory file. A missing file is no failure (exists stays false); a
// path that exists but is no readable file is one.
FileStatus LoadFile(const fs::path& path, bool& exists, std::string& bytes) {
  exists = false;
  bytes.clear();
  if (path.empty()) return FileStatus::Ok();
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (st.type() == fs::file_type::not_found) return FileStatus::Ok();
  exists = true;
  if (ec || !fs::is_regular_file(st))
    return FileStatus::Fail(FileError::ChangeRead, PathText(path));
  return ReadWholeFile(path, bytes);
}

// The display prefix of an AV, JC, TC or CC line: course, race number, announcement time.
SjisString RacePrefix(std::string_view r, std::string_view stamp) {
  static const SjisString kR = Sj("R ");
  return CourseName(Cut(r, Header::CourseCode), 2) + PadNumber(Cut(r, Header::RaceNumber)) + kR +
         ShownStamp(stamp) + " ";
}

// Writes value over a field of a state line (which is at least 40 bytes long).
void Set(std::string& s, FieldDef f, std::string_view value) {
  s.replace(static_cast<size_t>(f.pos - 1), static_cast<size_t>(f.len), value);
}

// One weather or going change applied to a state: the state line after it.
void Apply(std::string& s, std::string_view w) {
  const std::string kind = Cut(w, WE::ChangeKind);
  if (kind != "2" && kind != "3") return;
  Set(s, WE::Stamp, Cut(w, WE::Stamp));
  Set(s, WE::ChangeKind, kind);
  if (kind == "2") {
    Set(s, WE::Weather, Cut(w, WE::Weather));
    Set(s, WE::WeatherBefore, Cut(w, WE::WeatherBefore));
  } else {
    Set(s, WE::TurfGoing, Cut(w, WE::TurfGoing));
    Set(s, WE::DirtGoing, Cut(w, WE::DirtGoing));
    Set(s, WE::TurfGoingBefore, Cut(w, WE::TurfGoingBefore));
    Set(s, WE::DirtGoingBefore, Cut(w, WE::DirtGoingBefore));
  }
}

// A listed change: the record (or WE line) it comes from, its stamp and its list line.
struct Listed {
  ChangeType type;
  std::string_view record;
  SjisString stamp;
  SjisString line;
  SjisString favourite;
};

// The weather/going states with, for every state, the changes applied to it in announcement
// order and the state line after each.
struct WeatherStory {
  std::string_view initial;
  std::string state;
  std::vector<std::pair<std::string_view, std::string>> steps;  // change, state after it
};

std::vector<WeatherStory> WeatherStories(const Lines& weLines) {
  std::vector<std::string_view> changes;
  std::vector<WeatherStory> stories;
  for (const auto& w : weLines) {
    if (Cut(w, WE::ChangeKind) == "1")
      stories.push_back({w, Cut(w, 1, 40), {}});
    else
      changes.push_back(w);
  }
  // By announcement stamp, then change kind; the file's order breaks ties.
  std::stable_sort(changes.begin(), changes.end(), [](std::string_view a, std::string_view b) {
    const std::string sa = Cut(a, WE::Stamp), sb = Cut(b, WE::Stamp);
    if (sa != sb) return sa < sb;
    return Cut(a, WE::ChangeKind) < Cut(b, WE::ChangeKind);
  });
  for (auto& story : stories) {
    const std::string courseDay = Cut(story.state, WE::CourseDay);
    for (std::string_view w : changes) {
      if (Cut(w, WE::CourseDay) != courseDay) continue;
      const std::string kind = Cut(w, WE::ChangeKind);
      if (kind != "2" && kind != "3") continue;
      Apply(story.state, w);
      story.steps.emplace_back(w, story.state);
    }
  }
  return stories;
}

}  // namespace

const SjisString& InitialStateText() {
  static const SjisString text = Sj("初期状態   ");
  return text;
}

SjisString ShownStamp(std::string_view stamp) {
  if (stamp == kInitialStamp) return InitialStateText();
  const std::string s = Cut(stamp, 1, 8);
  return s.substr(0, 2) + "/" + s.substr(2, 2) + " " + s.substr(4, 2) + ":" + s.substr(6, 2);
}

fs::path ChangeFilePath(const fs::path& selectedRaceFile, ChangeType type) {
  return SiblingDateFile(selectedRaceFile, ChangeExtension(type));
}

fs::path RenewFilePath(const fs::path& selectedRaceFile) {
  return SiblingDateFile(selectedRaceFile, kRenewFileSuffix);
}

fs::path AnnouncedFilePath(const fs::path& selectedRaceFile) {
  return SiblingDateFile(selectedRaceFile, kAnnouncedFileSuffix);
}

SjisString ChangeStamp(ChangeType type, std::string_view record) {
  switch (type) {
    case ChangeType::WE:
      return Cut(record, WE::Stamp);
    case ChangeType::AV:
      return Cut(record, AV::Stamp);
    case ChangeType::JC:
      return Cut(record, JC::Stamp);
    case ChangeType::TC:
      return Cut(record, TC::Stamp);
    case ChangeType::CC:
      return Cut(record, CC::Stamp);
  }
  return {};
}

Lines CurrentWeatherStates(const Lines& weLines) {
  Lines states;
  for (auto& story : WeatherStories(weLines)) states.push_back(std::move(story.state));
  return states;
}

SjisString WeatherStateLine(std::string_view s) {
  // The weather takes four bytes: a one-character name is padded, an unknown code gives two
  // blanks.
  const SjisString weather = (WeatherName(Cut(s, WE::Weather)) + "  ").substr(0, 4);
  return CourseName(Cut(s, Header::CourseCode), 2) + " " + ShownStamp(Cut(s, WE::Stamp)) + " " +
         weather + " " + GoingName(Cut(s, WE::TurfGoing), 1) + " " +
         GoingName(Cut(s, WE::DirtGoing), 2);
}

SjisString ChangeRecordLine(ChangeType type, std::string_view r) {
  static const SjisString kArrow = Sj("⇒");
  const SjisString stamp = ChangeStamp(type, r);
  switch (type) {
    case ChangeType::WE:
      return WeatherStateLine(r);
    case ChangeType::AV:
      return RacePrefix(r, stamp) + CircledNumber(Cut(r, AV::HorseNumber)) + " " +
             Cut(r, Head(AV::HorseName, 18)) + " " + ScratchKindName(Cut(r, AV::Kind)) +
             ScratchReasonName(Cut(r, AV::ReasonCode));
    case ChangeType::JC:
      return RacePrefix(r, stamp) + Cut(r, Head(JC::JockeyBefore, 8)) + kArrow +
             Cut(r, Head(JC::JockeyAfter, 8)) + "[" + Cut(r, JC::WeightAfter) + "] " +
             CircledNumber(Cut(r, JC::HorseNumber)) + " " + Cut(r, Head(JC::HorseName, 18));
    case ChangeType::TC:
      return RacePrefix(r, stamp) + Cut(r, TC::OldHour) + ":" + Cut(r, TC::OldMinute) + kArrow +
             Cut(r, TC::NewHour) + ":" + Cut(r, TC::NewMinute);
    case ChangeType::CC:
      return RacePrefix(r, stamp) + TrackName(Cut(r, CC::OldTrackCode)) + Cut(r, CC::OldDistance) +
             "m" + kArrow + TrackName(Cut(r, CC::NewTrackCode)) + Cut(r, CC::NewDistance) + "m";
  }
  return {};
}

ChangeEvaluation EvaluateChanges(const fs::path& selectedRaceFile, const FavouriteDay* favourites) {
  ChangeEvaluation ev;
  bool exists = false;
  std::string bytes;

  // The renew file holds the greatest stamp announced per category; one without exactly five
  // lines counts as absent, and then every change is news once.
  if (ev.status = LoadFile(RenewFilePath(selectedRaceFile), exists, bytes); !ev.status) return ev;
  bool renewValid = false;
  if (exists) {
    Lines lines = SplitLines(bytes);
    if (lines.size() == ev.stamps.size()) {
      renewValid = true;
      for (size_t i = 0; i < lines.size(); ++i) ev.stamps[i] = std::move(lines[i]);
    }
  }
  const RenewStamps told = ev.stamps;

  // The memory of what was announced counts only beside a valid renew file (they are written
  // together); a missing or damaged one makes every change news once.
  std::unordered_set<std::string> known;
  if (ev.status = LoadFile(AnnouncedFilePath(selectedRaceFile), exists, bytes); !ev.status)
    return ev;
  if (exists && renewValid)
    if (auto ids = ParseAnnouncedFile(bytes)) known = std::move(*ids);

  std::vector<Listed> listed;
  // Weather and going: one list line per state; the state itself and every change applied to
  // it are the changes to announce.
  std::string weBytes;
  if (ev.status = LoadFile(ChangeFilePath(selectedRaceFile, ChangeType::WE), exists, weBytes);
      !ev.status)
    return ev;
  const Lines weLines = exists ? SplitLines(weBytes) : Lines{};
  for (const WeatherStory& story : WeatherStories(weLines)) {
    ev.lists[0].push_back(WeatherStateLine(story.state));
    ev.favouriteLines[0].push_back(false);  // the weather concerns no favourite
    listed.push_back({ChangeType::WE,
                      story.initial,
                      Cut(story.initial, WE::Stamp),
                      WeatherStateLine(Cut(story.initial, 1, 40)),
                      {}});
    for (const auto& [change, after] : story.steps)
      listed.push_back(
          {ChangeType::WE, change, Cut(change, WE::Stamp), WeatherStateLine(after), {}});
  }

  // The four record files: every whole record is listed.
  std::array<std::string, kChangeTypes> files;
  for (ChangeType type : {ChangeType::AV, ChangeType::JC, ChangeType::TC, ChangeType::CC}) {
    std::string& fileBytes = files[static_cast<int>(type)];
    if (ev.status = LoadFile(ChangeFilePath(selectedRaceFile, type), exists, fileBytes); !ev.status)
      return ev;
    if (!exists) continue;
    const size_t size = static_cast<size_t>(ChangeRecordSize(type));
    Lines& list = ev.lists[static_cast<int>(type)];
    for (size_t at = 0; at + size <= fileBytes.size(); at += size) {
      const std::string_view r = std::string_view(fileBytes).substr(at, size);
      list.push_back(ChangeRecordLine(type, r));
      SjisString favourite = favourites ? favourites->Concerned(type, r) : SjisString();
      ev.favouriteLines[static_cast<int>(type)].push_back(!favourite.empty());
      listed.push_back({type, r, ChangeStamp(type, r), list.back(), std::move(favourite)});
    }
  }

  // News: a change not remembered as announced, and (as ever) any change later than what
  // the renew file says the user was told.
  std::unordered_set<std::string> seen;
  for (const Listed& c : listed) {
    const int i = static_cast<int>(c.type);
    std::string id = ChangeIdentity(c.type, c.record);
    const bool fresh = !known.count(id) || told[i] < c.stamp;
    if (ev.stamps[i] < c.stamp) ev.stamps[i] = c.stamp;
    if (!seen.insert(id).second) continue;  // a change applied to two states of one course
    ev.announced.push_back(std::move(id));
    if (!fresh) continue;
    ev.news[i] = true;
    ev.newChanges.push_back({c.type, c.stamp, c.line, c.favourite, SjisString(c.record)});
  }
  std::sort(ev.announced.begin(), ev.announced.end());
  // Newest first; of one minute, the one applied or listed last first.
  std::reverse(ev.newChanges.begin(), ev.newChanges.end());
  std::stable_sort(ev.newChanges.begin(), ev.newChanges.end(),
                   [](const NewChange& a, const NewChange& b) { return a.stamp > b.stamp; });

  ev.newsLines = NewsLinesOf(ev.newChanges);
  if (ev.hasNews()) ev.balloonText = BalloonTextOf(ev.newsLines);
  return ev;
}

Lines NewsLinesOf(const std::vector<NewChange>& changes) {
  static const std::array<SjisString, kChangeTypes> kLabels = {
      Sj("[天候馬場]"), Sj("[取消除外]"), Sj("[騎手変更]"), Sj("[発走時刻]"), Sj("[ｺｰｽ 変更]")};
  static const SjisString kUpdated = Sj("更新時刻：");
  std::array<SjisString, kChangeTypes> latest{};
  std::array<bool, kChangeTypes> any{};
  for (const NewChange& c : changes) {
    const int i = static_cast<int>(c.type);
    if (!any[i] || latest[i] < c.stamp) latest[i] = c.stamp;
    any[i] = true;
  }
  Lines lines;
  for (int i = 0; i < kChangeTypes; ++i) {
    if (!any[i]) continue;
    // The initial state's words without the blanks that fill its list column.
    SjisString shown = ShownStamp(latest[i]);
    while (!shown.empty() && shown.back() == ' ') shown.pop_back();
    lines.push_back(kLabels[i] + kUpdated + shown);
  }
  return lines;
}

SjisString BalloonTextOf(const Lines& newsLines) {
  static const SjisString kHeader = Sj("本日の開催で変更情報が発生しました。\r\n");
  return kHeader + JoinLinesCrLf(newsLines);
}

FileStatus SaveRenewFile(const fs::path& selectedRaceFile, const ChangeEvaluation& evaluation) {
  const fs::path renew = RenewFilePath(selectedRaceFile);
  if (renew.empty()) return FileStatus::Ok();
  if (FileStatus st = WriteRenewFile(renew, evaluation.stamps); !st) return st;
  return WriteFileAtomic(AnnouncedFilePath(selectedRaceFile),
                         AnnouncedFileBytes(evaluation.announced));
}

Lines NewChangeDetails(const std::vector<NewChange>& changes, size_t maxLines) {
  static const SjisString kMark = Sj("★");
  std::vector<const NewChange*> ordered;
  for (const NewChange& c : changes)
    if (!c.favourite.empty()) ordered.push_back(&c);
  for (const NewChange& c : changes)
    if (c.favourite.empty()) ordered.push_back(&c);
  Lines out;
  for (size_t i = 0; i < ordered.size() && i < maxLines; ++i)
    out.push_back(ordered[i]->favourite.empty() ? ordered[i]->line : kMark + ordered[i]->line);
  if (changes.size() > maxLines)
    out.push_back(Sj("ほか") + std::to_string(changes.size() - maxLines) + Sj("件"));
  return out;
}

}  // namespace tavolen
