#include "racecard/CardChanges.h"

#include "jvlink/ChangeFiles.h"
#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

std::vector<std::string> LinesOf(const fs::path& file) {
  std::string bytes;
  if (!ReadWholeFile(file, bytes)) return {};
  return SplitLines(bytes);
}

fs::path WithExtension(fs::path file, ChangeType type) {
  return file.replace_extension(ChangeExtension(type));
}

bool OfRace(std::string_view line, std::string_view raceKey) {
  return raceKey.size() == 16 && Cut(line, Header::RaceKey) == raceKey;
}

// The field shown, without a cut-off lead byte and without its padding.
SjisString Shown(std::string_view field) {
  return SjisString(WithoutTrailingPadding(DropCutLeadByte(field)));
}

// Applies each line of the race to the runner its horse number names (1 to 18), in file order,
// skipping a line stamped earlier than the one last applied to that runner: the latest
// announcement wins, and of equal stamps the later line.
template <class Apply>
void ApplyLatestPerRunner(const std::vector<std::string>& lines, std::string_view raceKey,
                          FieldDef horseNumber, FieldDef stampField,
                          std::array<RunnerChange, kRunnerPositions>& runners, Apply apply) {
  std::array<std::string, kRunnerPositions> applied;
  for (const std::string& line : lines) {
    if (!OfRace(line, raceKey)) continue;
    const int h = ReadNumber(Cut(line, horseNumber));
    if (h < 1 || h > kRunnerPositions) continue;
    const std::string stamp = Cut(line, stampField);
    if (stamp < applied[h - 1]) continue;
    applied[h - 1] = stamp;
    apply(runners[h - 1], line);
  }
}

}  // namespace

DayChangeLines ReadDayChangeLines(const fs::path& selectedRaceFile) {
  DayChangeLines day;
  if (selectedRaceFile.empty()) return day;
  day.scratches = LinesOf(WithExtension(selectedRaceFile, ChangeType::AV));
  day.jockeys = LinesOf(WithExtension(selectedRaceFile, ChangeType::JC));
  day.postTimes = LinesOf(WithExtension(selectedRaceFile, ChangeType::TC));
  day.courses = LinesOf(WithExtension(selectedRaceFile, ChangeType::CC));
  return day;
}

bool RaceChanges::Any() const {
  if (!newPostTime.empty() || !newDistance.empty() || !newTrackCode.empty()) return true;
  for (const RunnerChange& r : runners)
    if (r.scratch != Scratch::None || !r.newJockey.empty()) return true;
  return false;
}

RaceChanges ChangesOfRace(std::string_view raceKey, const DayChangeLines& day) {
  RaceChanges changes;
  ApplyLatestPerRunner(day.scratches, raceKey, AV::HorseNumber, AV::Stamp, changes.runners,
                       [](RunnerChange& runner, const std::string& line) {
                         const std::string kind = Cut(line, AV::Kind);
                         runner.scratch = kind == "1"   ? Scratch::Scratched
                                          : kind == "2" ? Scratch::Excluded
                                                        : Scratch::None;
                       });
  ApplyLatestPerRunner(day.jockeys, raceKey, JC::HorseNumber, JC::Stamp, changes.runners,
                       [](RunnerChange& runner, const std::string& line) {
                         // Shown as the change window shows it: the first 8 bytes of the name.
                         runner.newJockey = Shown(Cut(line, JC::JockeyAfter).substr(0, 8));
                       });
  std::string postStamp;
  for (const std::string& line : day.postTimes) {
    if (!OfRace(line, raceKey)) continue;
    const std::string stamp = Cut(line, TC::Stamp);
    const std::string time = Cut(line, TC::NewHour) + Cut(line, TC::NewMinute);
    if (stamp < postStamp || !AllDigits(time) || time.size() != 4) continue;
    postStamp = stamp;
    changes.newPostTime = time;
  }
  std::string courseStamp;
  for (const std::string& line : day.courses) {
    if (!OfRace(line, raceKey)) continue;
    const std::string stamp = Cut(line, CC::Stamp);
    if (stamp < courseStamp) continue;
    courseStamp = stamp;
    const std::string distance = Cut(line, CC::NewDistance);
    const std::string track = Cut(line, CC::NewTrackCode);
    changes.newDistance = AllDigits(distance) ? distance : std::string();
    changes.newTrackCode = TrimBlanks(track).empty() ? std::string() : track;
  }
  return changes;
}

SjisString ScratchMark(Scratch scratch) {
  static const SjisString scratched = Sj("取消"), excluded = Sj("除外");
  switch (scratch) {
    case Scratch::Scratched:
      return scratched;
    case Scratch::Excluded:
      return excluded;
    case Scratch::None:
      break;
  }
  return {};
}

ChangedHeader HeaderWithChanges(const std::array<SjisString, kHeaderLabels>& labels,
                                const RaceChanges& changes) {
  static const SjisString hour = Sj("時"), postTime = Sj("分発走");
  ChangedHeader out{labels, {}};
  auto set = [&](int i, SjisString text) {
    out.changed[i] = text != labels[i];
    out.labels[i] = std::move(text);
  };
  if (!changes.newTrackCode.empty()) set(6, TrackName(changes.newTrackCode));
  if (!changes.newDistance.empty()) set(7, PadNumber(changes.newDistance) + "m");
  if (!changes.newPostTime.empty())
    set(8, changes.newPostTime.substr(0, 2) + hour + changes.newPostTime.substr(2, 2) + postTime);
  return out;
}

}  // namespace tavolen
