// The fortnight of the race-week tests: two race weekends and the week between, the feed the
// service fills as the days go, and the JV-Link that counts the sessions.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/Widgets.h"
#include "changes/AnnouncementMemory.h"
#include "changes/ChangeEvaluation.h"
#include "jvlink/ChangeFiles.h"
#include "jvlink/TextLines.h"
#include "standin/DemoDay.h"
#include "standin/DemoLive.h"
#include "tests/support/ForwardingJVLink.h"

namespace tavolen::reliability {

inline const LocalDateTime kStart{2024, 1, 5, 20, 0, 0};  // a Friday
inline const LocalDateTime kEnd{2024, 1, 14, 23, 55, 0};  // the Sunday nine days later
inline const std::vector<LocalDateTime> kRaceDays = {
    {2024, 1, 6, 0, 0, 0}, {2024, 1, 7, 0, 0, 0}, {2024, 1, 13, 0, 0, 0}, {2024, 1, 14, 0, 0, 0}};

inline std::string Utf8(const SjisString& s) {
  return Qs(s).toStdString();
}

// The feed files of the fortnight, each with the moment the service makes it: a Saturday's race
// files at 16:00 on the Thursday before, a Sunday's at 16:00 on the Friday before; the change
// files as the demo day makes them, on the day.
struct WeekFile {
  std::string name, bytes, stamp;
};
inline std::vector<WeekFile> Fortnight(std::vector<std::string>& raceRecords,
                                       std::map<SjisString, std::set<std::string>>& changeIds) {
  std::vector<WeekFile> out;
  for (const LocalDateTime& day : kRaceDays) {
    // Two days before: the Thursday for a Saturday, the Friday for a Sunday.
    const std::string published = FormatCompactDateTime(day.AddDays(-2).AddSeconds(16 * 3600));
    for (DemoFile& f : GenerateDemoDay(day)) {
      if (IsDemoLiveFile(f.name)) continue;  // the weights and results are not these tests'
      const bool changes = f.name.find("-0B14-") != std::string::npos;
      if (!changes) {
        f.name = published + f.name.substr(14);
        for (const std::string& l : SplitLines(f.bytes)) raceRecords.push_back(l + "\r\n");
      } else {
        for (const std::string& l : SplitLines(f.bytes))
          if (const auto type = ChangeTypeOf(l))
            changeIds[DateKey(day)].insert(ChangeIdentity(*type, l));
      }
      out.push_back({f.name, f.bytes, f.name.substr(0, 14)});
    }
  }
  return out;
}

// Counts the sessions with their moments, shows JV-Link's update question inside one JVOpen,
// and plays the faults of the faulty fortnight: a JVInit that fails for a while, the component
// lost inside a change fetch (every call fails until the next JVInit), and a download that
// stalls (JVStatus stays at 0 until the session is cancelled).
class WeekJVLink final : public testsupport::EventForwardingJVLink {
 public:
  WeekJVLink(JVLink& inner, const Clock& clock) : EventForwardingJVLink(inner), clock_(clock) {}
  std::vector<LocalDateTime> opens, rtOpens;
  std::function<void()> whileUpdateBox;
  std::optional<LocalDateTime> updateBoxAt;  // JV-Link's update question inside this JVOpen
  // JVInit answers -103 (a service key that is not valid) from..until.
  std::optional<LocalDateTime> initFailsFrom, initFailsUntil;
  // The first change fetch of the day at or after this moment loses the component.
  std::optional<LocalDateTime> loseAt;
  // The race-data session opened at this moment stalls in its download.
  std::optional<LocalDateTime> stallAt;
  int updateBoxes = 0, closes = 0, liveOpens = 0, cancels = 0, inits = 0, failedInits = 0,
      losses = 0, stalls = 0;
  bool lost = false;

  int AddWindowWaitObserver(WindowWaitObserver observer) override {
    observers_[++lastId_] = std::move(observer);
    return lastId_;
  }
  void RemoveWindowWaitObserver(int id) override { observers_.erase(id); }
  int JVInit(const std::u16string& sid) override {
    ++inits;
    const LocalDateTime now = clock_.Now();
    if (initFailsFrom && now >= *initFailsFrom && now < *initFailsUntil) {
      ++failedInits;
      return -103;
    }
    lost = false;
    return inner_.JVInit(sid);
  }
  int JVClose() override {
    Lost();
    stalling_ = false;
    ++closes;
    return inner_.JVClose();
  }
  void JVCancel() override {
    Lost();
    ++cancels;
    inner_.JVCancel();
  }
  int JVStatus() override {
    Lost();
    if (stalling_) return 0;
    return inner_.JVStatus();
  }
  int JVOpen(const std::u16string& dataspec, const std::u16string& fromtime, int option,
             int& readcount, int& downloadcount, std::u16string& lastfiletimestamp) override {
    Lost();
    opens.push_back(clock_.Now());
    if (updateBoxAt && clock_.Now() == *updateBoxAt) {
      ++updateBoxes;
      Tell(true);
      if (whileUpdateBox) whileUpdateBox();
      Tell(false);  // the user answered いいえ in JV-Link's own box
    }
    const int r =
        inner_.JVOpen(dataspec, fromtime, option, readcount, downloadcount, lastfiletimestamp);
    if (r == 0 && readcount > 0 && stallAt && clock_.Now() == *stallAt) {
      ++stalls;
      stalling_ = true;
      downloadcount = std::max(downloadcount, 1);
    }
    return r;
  }
  int JVRead(std::u16string& buff, int& size, std::u16string& filename) override {
    Lost();
    return inner_.JVRead(buff, size, filename);
  }
  int JVRTOpen(const std::u16string& dataspec, const std::u16string& key) override {
    Lost();
    if (loseAt && clock_.Now() >= *loseAt && dataspec == u"0B14") {
      loseAt.reset();
      lost = true;
      ++losses;
      Lost();
    }
    // The change sessions; those of the weights and results are counted apart.
    if (dataspec == u"0B11" || dataspec == u"0B12")
      ++liveOpens;
    else
      rtOpens.push_back(clock_.Now());
    return inner_.JVRTOpen(dataspec, key);
  }

 private:
  // A lost component answers nothing until JVInit has created it again.
  void Lost() const {
    if (lost)
      throw JVLinkFailure(
          Sj("JV-Linkの呼び出しに失敗しました（JVRTOpen）。JV-Linkブリッジが終了しました。"));
  }
  void Tell(bool waiting) {
    const auto copy = observers_;
    for (const auto& [id, o] : copy) o(waiting);
  }
  const Clock& clock_;
  std::map<int, WindowWaitObserver> observers_;
  int lastId_ = 0;
  bool stalling_ = false;
};

inline bool IsRaceDay(const LocalDateTime& t) {
  for (const LocalDateTime& d : kRaceDays)
    if (DateKey(d) == DateKey(t)) return true;
  return false;
}

}  // namespace tavolen::reliability
