// Shared pieces of the acquisition tests: a scratch folder, records built from their layouts,
// expected race-file bytes, and a view that records what the window would show.
#pragma once

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "acquire/AcquisitionSession.h"
#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

namespace tavolen::testing {

inline fs::path ScratchDir(const std::string& name) {
  const char* base = std::getenv("TAVOLEN_TEST_TMP");
  fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) / "acquire" / name;
  fs::remove_all(dir);
  fs::create_directories(dir / "Data");
  return dir;
}

inline std::string Slurp(const fs::path& p) {
  std::string s;
  ReadWholeFile(p, s);
  return s;
}

// Header: type 2, division 1, creation date 8, date 8, course 2, meeting 2, day number 2,
// race 2 (positions 1-27).
inline std::string Header(const std::string& type, char division, const std::string& date,
                          const std::string& course, const std::string& race) {
  return type + std::string(1, division) + "20231231" + date + course + "01" + "02" + race;
}

// An RA record of 1272 bytes (CR LF included); the race name at 33 carries a marker.
inline SjisString RaRecord(const std::string& date, const std::string& course,
                           const std::string& race, const std::string& marker = "RACE",
                           char division = '2') {
  std::string r = Header("RA", division, date, course, race);
  r += std::string(32 - r.size(), '0');
  r += marker;
  r += Sj("特別");
  r.resize(1270, ' ');
  return r + "\r\n";
}

// An SE record of 555 bytes: frame 1 at 28, horse number at 29, a Japanese horse name at 41.
inline SjisString SeRecord(const std::string& date, const std::string& course,
                           const std::string& race, const std::string& horse, char division = '2') {
  std::string r = Header("SE", division, date, course, race) + "1" + horse + "2019100001";
  r += Sj("サンプルホース");
  r.resize(553, ' ');
  return r + "\r\n";
}

// The day-file line of an RA record: without CR LF, positions 3-11 written "000000000".
inline std::string DayLine(const SjisString& ra) {
  return "RA000000000" + ra.substr(11, 1259);
}

// An entry file of 216 blank slots with the given records at their slots.
inline std::string EntryFile(const std::vector<std::pair<int, SjisString>>& filled) {
  std::vector<std::string> lines(216, std::string(553, ' '));
  for (const auto& [n, se] : filled) lines[n] = se.substr(0, 553);
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

class FakeView : public AcquireView {
 public:
  SjisString label;
  std::vector<SjisString> labels;  // every text the label was given, in order
  int downloadMax = 100, downloadPos = 0, readMax = 100, readPos = 0;
  std::vector<SjisString> list;
  bool busy = false;
  bool timerRunning = false;
  int pumps = 0;
  std::function<void()> onPump;  // runs inside the pending-event pump, as a click would
  LocalDateTime picker;
  int pickerSets = 0;

  void SetProgressLabel(const SjisString& text) override {
    label = text;
    labels.push_back(text);
  }
  void SetDownloadMax(int max) override { downloadMax = max; }
  void SetDownloadPosition(int p) override { downloadPos = p; }
  void SetReadMax(int max) override { readMax = max; }
  void SetReadPosition(int p) override { readPos = p; }
  void AddListLine(const SjisString& line) override { list.push_back(line); }
  void ClearList() override { list.clear(); }
  void SetBusyCursor(bool b) override { busy = b; }
  void StartStatusTimer() override { timerRunning = true; }
  void StopStatusTimer() override { timerRunning = false; }
  void ProcessPendingEvents() override {
    ++pumps;
    if (onPump) onPump();
  }
  LocalDateTime PickerDateTime() const override { return picker; }
  void SetPickerDateTime(const LocalDateTime& t) override {
    picker = t;
    ++pickerSets;
  }
};

}  // namespace tavolen::testing
