// The race day the change tests run on, 2024-01-05 (中山 first), and a fresh data folder for its
// files.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "jvlink/FileIO.h"
#include "tests/support/Files.h"
#include "tests/support/Records.h"

namespace tavolen::testsupport {

inline const Day kNakayama{"20240105", "06", "01", "01"};
// The other courses racing that day.
inline const Day kTokyo{"20240105", "05", "01", "01"};
inline const Day kKyoto{"20240105", "08", "01", "01"};

// A data folder TempRoot()/name/Data, emptied for every test, holding the files of 2024-01-05.
class ChangeDayTest : public ::testing::Test {
 protected:
  explicit ChangeDayTest(std::string name) : name_(std::move(name)) {}

  void SetUp() override {
    data_ = TempDir(name_) / "Data";
    fs::create_directories(data_);
    raceFile_ = File(".jvRA");
  }
  // The day's file with this suffix: ".jvRA", ".jvAV", ".renew"...
  fs::path File(const char* suffix) const { return data_ / RaceFileName("20240105", suffix); }
  void Write(const char* suffix, const std::string& bytes) {
    ASSERT_TRUE(WriteFileAtomic(File(suffix), bytes));
  }

  fs::path data_, raceFile_;

 private:
  std::string name_;
};

}  // namespace tavolen::testsupport
