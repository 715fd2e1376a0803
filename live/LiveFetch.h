// The fetch of the live items: JVRTOpen "0B11" (the weights, WH) or "0B12" (the results, RA SE
// and HR) with a day key yyyymmdd or a race's key, the JVRead loop and JVClose, one session at a
// time. What the records bring is merged into the day's live files (LiveFiles.h) and written
// once the reading is done; a record that cannot be stored is logged and skipped.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/ErrorLog.h"
#include "jvlink/FileIO.h"
#include "jvlink/JVLink.h"
#include "jvlink/LiveFiles.h"

namespace tavolen {

inline constexpr std::string_view kWeightSpec = "0B11";
inline constexpr std::string_view kResultSpec = "0B12";

class LiveFetch {
 public:
  LiveFetch(JVLink& jvlink, ErrorLog& errorLog, std::function<void()> processEvents);

  // Fetches dataspec with key into the live files beside dayFile (the day of raceTable). False
  // when JV-Link answered an error or a file could not be written (the error log says why).
  bool Fetch(std::string_view dataspec, const std::string& key, const fs::path& dayFile,
             const std::vector<std::string>& raceTable);
  // One session after the other for every dataspec and key, merged into the files once: read
  // first unless known gives what they hold, written at the end if anything changed. known is
  // taken and given back as merged (what the files hold once the fetch succeeded). An ask that
  // fails does not stop the ones after it, unless the component itself failed.
  struct Ask {
    std::string_view dataspec;
    std::string key;
  };
  bool Fetch(const std::vector<Ask>& asks, const fs::path& dayFile,
             const std::vector<std::string>& raceTable, LiveDay* known = nullptr);

  bool running() const { return running_; }
  bool sessionOpen() const { return sessionOpen_; }
  // Runs action now, or right after the open session's JVClose.
  void RunWhenSessionClosed(std::function<void()> action);
  // Records merged by the last fetch.
  int stored() const { return stored_; }
  // The first error line of the last failed fetch.
  const SjisString& failureText() const { return failure_; }

 private:
  // Writes an error line; a failure makes the fetch's result false.
  void Log(const SjisString& message, bool failure = true);
  void Close();
  // One session: JVRTOpen, the JVRead loop and JVClose, its records merged into store. False
  // when the component itself failed.
  bool Read(const Ask& ask, LiveStore& store);

  JVLink& jvlink_;
  ErrorLog& errorLog_;
  std::function<void()> processEvents_;
  std::vector<std::function<void()>> afterClose_;
  bool running_ = false, sessionOpen_ = false;
  int stored_ = 0;
  SjisString failure_;
  std::set<SjisString> skipsTold_;
};

}  // namespace tavolen
