// The acquisition tests' view: it records what the window would show.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "acquire/AcquisitionSession.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"
#include "tests/support/TestDir.h"

namespace tavolen::testsupport {

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

}  // namespace tavolen::testsupport
