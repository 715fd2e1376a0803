// Fuzzes the change evaluation of one day over arbitrary change files and renew file in a
// scratch Data folder. Chunks (see FuzzSupport.h):
//   W|A|J|T|C bytes   the day's change file of that type holds these bytes
//   R bytes           the day's renew file holds these bytes
// Checks: the evaluation only reads (no file changes); every stamp is at least the renew file's
// stamp when that file has exactly five lines; without the memory of what was announced a
// category is news exactly when it lists anything, and a stamp that went up is always news;
// the balloon text is there exactly when there is news and is the header and the news
// lines; every whole record is listed and WE lists at most one line per initial state; after the
// renew file is saved a second evaluation finds no news and the same stamps.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "changes/ChangeEvaluation.h"
#include "fuzz/FuzzSupport.h"
#include "jvlink/Sjis.h"

namespace tavolen::fuzzing {
namespace {

constexpr std::string_view kLetters = "WAJTC";
constexpr std::array<std::string_view, 5> kExtensions = {".jvWE", ".jvAV", ".jvJC", ".jvTC",
                                                         ".jvCC"};
constexpr std::array<size_t, 5> kSizes = {0, 78, 161, 45, 50};  // record bytes (WE: lines)

void Run(std::string_view input) {
  static ScratchApp app("fuzz-evaluation");
  app.Reset();
  const std::string day = DateName("20240106");
  const fs::path raceFile = app.data / (day + ".jvRA");
  std::string renewBytes;
  bool renewExists = false;
  std::array<std::string, 5> changeBytes;
  for (std::string_view chunk : SplitChunks(input)) {
    if (chunk.empty()) continue;
    const char what = chunk[0];
    chunk.remove_prefix(1);
    if (what == 'R') {
      renewBytes = chunk;
      renewExists = true;
      PutFile(app.data / (day + ".renew"), chunk);
    } else if (const size_t t = kLetters.find(what); t != std::string_view::npos) {
      changeBytes[t] = chunk;
      PutFile(app.data / (day + std::string(kExtensions[t])), chunk);
    }
  }

  const Snapshot before = TakeSnapshot(app.root);
  const ChangeEvaluation ev = EvaluateChanges(raceFile);
  FUZZ_CHECK(Changed(before, TakeSnapshot(app.root)).empty());
  FUZZ_CHECK(static_cast<bool>(ev.status));  // every file was readable

  std::array<std::string, 5> told{};
  const std::vector<std::string> renewLines = TextLinesOf(renewBytes);
  const bool renewValid = renewExists && renewLines.size() == 5;
  if (renewValid)
    for (int i = 0; i < 5; ++i) told[i] = renewLines[i];

  int newsCount = 0;
  for (int i = 0; i < 5; ++i) {
    FUZZ_CHECK(ev.stamps[i] >= told[i]);
    if (ev.stamps[i] > told[i]) FUZZ_CHECK(ev.news[i]);
    FUZZ_CHECK(ev.news[i] == !ev.lists[i].empty());  // no memory file: everything is news once
    newsCount += ev.news[i];
  }
  FUZZ_CHECK(static_cast<int>(ev.newsLines.size()) == newsCount);
  FUZZ_CHECK(ev.hasNews() == (newsCount > 0));
  if (newsCount == 0) {
    FUZZ_CHECK(ev.balloonText.empty());
  } else {
    std::string expected = Sj("本日の開催で変更情報が発生しました。") + "\r\n";
    for (const auto& l : ev.newsLines) expected += l + "\r\n";
    FUZZ_CHECK(ev.balloonText == expected);
    FUZZ_CHECK(ev.balloonText.size() <= 255);
  }
  // Every whole record is listed (no cap: a 37th scratch of a busy day is still announced).
  for (int i = 1; i < 5; ++i) FUZZ_CHECK(ev.lists[i].size() == changeBytes[i].size() / kSizes[i]);
  size_t initialStates = 0;
  for (const auto& l : TextLinesOf(changeBytes[0]))
    if (l.size() >= 34 && l[33] == '1') ++initialStates;
  FUZZ_CHECK(ev.lists[0].size() <= initialStates);

  // Once told, the same files are no news any more.
  if (ev.hasNews() && SaveRenewFile(raceFile, ev)) {
    const ChangeEvaluation again = EvaluateChanges(raceFile);
    FUZZ_CHECK(static_cast<bool>(again.status));
    FUZZ_CHECK(!again.hasNews());
    FUZZ_CHECK(again.stamps == ev.stamps);
  }
}

}  // namespace
}  // namespace tavolen::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tavolen::fuzzing::Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
