// The JV-Link stand-in: a JV-Link that serves the JV-Data records of a local feed folder, and
// with no feed configured a built-in demo race day. Like an installed component it keeps its
// settings and its download cache in its own folder, outside the program's folder.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"
#include "jvlink/JVLink.h"
#include "standin/Faults.h"
#include "standin/Feed.h"
#include "standin/StandInEvents.h"
#include "standin/Traits.h"

namespace tavolen {

struct StandInSettings {
  std::string serviceKey;  // kept for the settings dialog; the stand-in does not check it
  fs::path feedFolder;     // empty: the built-in demo feed

  friend bool operator==(const StandInSettings&, const StandInSettings&) = default;
};

// Shows a settings dialog: the settings to store, or nothing when the user cancelled.
using StandInSettingsDialog =
    std::function<std::optional<StandInSettings>(const StandInSettings& current)>;

struct StandInOptions {
  fs::path folder;  // the stand-in's own folder; empty: DefaultStandInFolder()
  // Pace of a download: one more file is downloaded every this many JVStatus or JVRead calls
  // (about a quarter second a file at the program's 10 ms poll); 0 or less: at once.
  int callsPerFile = 25;
};

// $XDG_DATA_HOME/tavolen-jvlink-standin, or ~/.local/share/tavolen-jvlink-standin.
fs::path DefaultStandInFolder();

inline constexpr std::string_view kStandInSettingsFileName = "settings.txt";
inline constexpr std::string_view kStandInCacheFolderName = "cache";
inline constexpr std::string_view kStandInDemoFolderName = "demo-feed";

// The settings stored in folder (defaults when there are none).
StandInSettings LoadStandInSettings(const fs::path& folder);
FileStatus SaveStandInSettings(const fs::path& folder, const StandInSettings& settings);

class StandInJVLink final : public JVLink {
 public:
  explicit StandInJVLink(const Clock& clock, StandInOptions options = {});

  int JVInit(const std::u16string& sid) override;
  int JVClose() override;
  int JVSetUIProperties() override;
  int JVOpen(const std::u16string& dataspec, const std::u16string& fromtime, int option,
             int& readcount, int& downloadcount, std::u16string& lastfiletimestamp) override;
  int JVStatus() override;
  int JVRead(std::u16string& buff, int& size, std::u16string& filename) override;
  int JVRTOpen(const std::u16string& dataspec, const std::u16string& key) override;
  void JVCancel() override;
  SjisString Description() const override;
  // Change events (StandInEvents.cpp): DeliverEvents raises an event for every announcement
  // that fell due since the last delivery, by the stand-in's clock.
  int JVWatchEvent() override;
  int JVWatchEventClose() override;
  void DeliverEvents() override;

  const fs::path& Folder() const { return folder_; }
  // The traits of the session opened last (Traits.h).
  const StandInTraits& Traits() const { return traits_; }
  const StandInSettings& Settings() const { return settings_; }
  // The folder served: the configured feed folder or the built-in demo's.
  fs::path FeedFolder() const;
  bool ServesDemo() const { return settings_.feedFolder.empty(); }

  // Checks and stores settings in the stand-in's folder: 0, or -100 when a value is invalid
  // (a feed folder that is not a folder, a service key with control characters or of 64
  // bytes or more) or storing fails. Settings in use change only when storing succeeded.
  int StoreSettings(const StandInSettings& settings);
  // The dialog of JVSetUIProperties for this object (else the one of SetStandInSettingsDialog).
  void SetSettingsDialog(StandInSettingsDialog dialog) { dialog_ = std::move(dialog); }

 private:
  enum class SessionKind { None, Race, RealTime };
  struct SessionFile {
    std::string name;
    std::string bytes;
    std::vector<SjisString> records;
    bool download = false;
  };
  struct Session {
    SessionKind kind = SessionKind::None;
    std::vector<SessionFile> files;
    std::vector<size_t> pending;  // files to download, in order
    int downloaded = 0;
    long long ticks = 0;
    int downloadError = 0;
    bool cancelled = false;
    size_t file = 0, record = 0;
    int delivered = 0;
    int statusCalls = 0;
    int readCalls = 0;
  };

  void RefreshFaults();
  bool PrepareDemo();
  int CheckFeedFolder();
  // The feed files of kind stamped after newerThan and, when given, not after notAfter; from
  // listed, or the folder listed now.
  std::vector<FeedFile> ReadFeedOfKind(FeedKind kind, const std::string& newerThan,
                                       const std::string& notAfter = {},
                                       const std::vector<FeedEntry>* listed = nullptr);
  // The same without copies, valid until the next call.
  std::vector<const FeedFile*> FeedOfKind(FeedKind kind, const std::string& newerThan,
                                          const std::string& notAfter = {},
                                          const std::vector<FeedEntry>* listed = nullptr);
  bool DownloadComplete() const;
  void AdvanceDownload();
  fs::path CachePath(const std::string& name) const;
  bool InCache(const SessionFile& file) const;
  // Events (StandInEvents.cpp).
  EventPlan ReadEventPlan() const;
  const std::vector<StandInAnnouncement>& Announcements(std::vector<FeedEntry> listed);
  const std::vector<StandInAnnouncement>& Announcements() {
    return Announcements(ListFeed(FeedFolder()));
  }
  int OpenAnnouncement(const SjisString& key);  // JVRTOpen("0B16", key)
  // The live items (StandInLive.cpp): JVRTOpen("0B11" or "0B12", key), and the weight and
  // payout events of the live files published after since up to now.
  int OpenLive(const SjisString& dataspec, const SjisString& key);
  struct LiveEvent {
    std::string due;
    JVEvent event;
    std::string key;
  };
  std::vector<LiveEvent> LiveEventsDue(const std::string& since, const std::string& now,
                                       const std::vector<FeedEntry>& listed);

  const Clock& clock_;
  StandInOptions options_;
  fs::path folder_;
  StandInSettings settings_;
  StandInSettingsDialog dialog_;
  FaultPlan faults_;
  StandInTraits traits_;
  bool initialised_ = false;
  Session session_;
  std::map<std::string, std::pair<FeedEntry, FeedKind>> kinds_;  // by path, while unchanged
  std::map<std::string, FeedFile> kept_;  // change and live files as read, by path
  std::deque<FeedFile> fresh_;            // other files of the last FeedOfKind
  bool watching_ = false;
  std::string eventsUntil_;  // events are raised for what falls due after this time
  std::vector<StandInAnnouncement> announcements_;
  std::vector<FeedEntry> announcedFrom_;  // the feed files announcements_ was made of
};

// The dialog every stand-in shows on JVSetUIProperties (the program installs it at start-up).
void SetStandInSettingsDialog(StandInSettingsDialog dialog);

// Installs the stand-in under the JV-Link ProgID. The clock must outlive every object made.
void RegisterStandIn(const Clock& clock, StandInOptions options = {});
// The same with the system clock.
void RegisterStandIn();

}  // namespace tavolen
