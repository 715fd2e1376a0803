#include "live/LiveFetch.h"

#include "base/FailureText.h"
#include "jvlink/KeibaFunc.h"
#include "jvlink/LiveFiles.h"

namespace tavolen {

LiveFetch::LiveFetch(JVLink& jvlink, ErrorLog& errorLog, std::function<void()> processEvents)
    : jvlink_(jvlink), errorLog_(errorLog), processEvents_(std::move(processEvents)) {}

void LiveFetch::Log(const SjisString& message, bool failure) {
  if (failure && failure_.empty()) failure_ = message;
  // A record skipped is sent again with every answer of the day: said once.
  if (!failure && !skipsTold_.insert(message).second) return;
  errorLog_.RecordError(message);  // a log that cannot be written loses only this line
}

void LiveFetch::Close() {
  int rc = 0;
  try {
    rc = jvlink_.JVClose();
  } catch (const JVLinkFailure& e) {
    Log(e.message());
  }
  sessionOpen_ = false;
  if (rc != 0) Log(JVResultMessage("JVClose", rc));
  std::vector<std::function<void()>> waiting;
  waiting.swap(afterClose_);
  for (auto& action : waiting) action();
}

namespace {

// WH, SE or HR: the records the live files keep.
bool LiveRecordType(std::u16string_view record) {
  const std::u16string_view type = record.substr(0, 2);
  return type == u"WH" || type == u"SE" || type == u"HR";
}

SjisString FailureHead(std::string_view dataspec) {
  return dataspec == kWeightSpec ? Sj("R:速報馬体重取得エラー：") : Sj("R:速報成績取得エラー：");
}

}  // namespace

bool LiveFetch::Fetch(std::string_view dataspec, const std::string& key, const fs::path& dayFile,
                      const std::vector<std::string>& raceTable) {
  return Fetch({{dataspec, key}}, dayFile, raceTable);
}

bool LiveFetch::Fetch(const std::vector<Ask>& asks, const fs::path& dayFile,
                      const std::vector<std::string>& raceTable, LiveDay* known) {
  if (running_ || asks.empty()) return false;
  running_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{running_};
  failure_.clear();
  stored_ = 0;
  LiveStore store(dayFile, raceTable);
  if (known) {
    store.Load(std::move(*known));
  } else if (FileStatus st = store.Load(); !st) {
    Log(FailureHead(asks.front().dataspec) + FailureText(st));
    return false;
  }
  for (const Ask& ask : asks)
    if (!Read(ask, store)) break;
  stored_ = store.changed();
  if (FileStatus st = store.Save(); !st) Log(FailureHead(asks.back().dataspec) + FailureText(st));
  if (known) *known = store.Release();
  return failure_.empty();
}

bool LiveFetch::Read(const Ask& ask, LiveStore& store) {
  const auto what = [&ask] { return FailureHead(ask.dataspec); };  // made only for a failure
  sessionOpen_ = true;
  try {
    const int rc = jvlink_.JVRTOpen(Wide(ask.dataspec), Wide(ask.key));
    // -1: nothing announced yet for the key.
    if (rc != 0 && rc != -1) Log(what() + JVResultMessage("JVRTOpen", rc));
    std::u16string buffer, fileName;
    while (rc == 0) {
      if (processEvents_) processEvents_();
      const int r = ReadNextRecord(jvlink_, buffer, fileName);
      if (r == 0) break;
      if (r >= -3 && r < 0) continue;  // next file, or nothing yet: read again
      if (r < 0) {
        Log(what() + JVResultMessage("JVRead", r));
        break;
      }
      if (!LiveRecordType(buffer)) continue;  // the race's RA: not converted for nothing
      SjisString why;
      if (store.Add(RecordToSjis(buffer), why) == LiveStore::Take::Skipped) Log(why, false);
    }
  } catch (const JVLinkFailure& e) {
    Log(what() + e.message());
    Close();
    return false;  // the component is gone: the asks after this one would fail alike
  }
  Close();
  return true;
}

void LiveFetch::RunWhenSessionClosed(std::function<void()> action) {
  if (!action) return;
  if (sessionOpen_)
    afterClose_.push_back(std::move(action));
  else
    action();
}

}  // namespace tavolen
