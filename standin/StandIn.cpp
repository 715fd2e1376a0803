#include "standin/StandIn.h"

#include <algorithm>
#include <cstdlib>

#include "jvlink/JVData_Structure.h"
#include "jvlink/Platform.h"
#include "jvlink/TextLines.h"
#include "standin/DemoDay.h"

namespace tavolen {
namespace {

// Result codes, as the JV-Link contract words them.
constexpr int kOk = 0;
constexpr int kNoData = -1;
constexpr int kDownloading = -3;
constexpr int kSettingsInvalid = -100;
constexpr int kSidEmpty = -101;
constexpr int kSidTooLong = -102;
constexpr int kSidBlank = -103;
constexpr int kBadDataspec = -111;
constexpr int kBadFromtime = -112;
constexpr int kBadKey = -114;
constexpr int kBadOption = -115;
constexpr int kBadCombination = -116;
constexpr int kNotInitialised = -201;
constexpr int kSessionOpen = -202;
constexpr int kNotOpened = -203;
constexpr int kBadRegistry = -211;
constexpr int kInternalError = -401;
constexpr int kDownloadFailed = -502;

// The dataspec values JVOpen accepts; only "RACE" has files here. Option 2 (this week's
// data) is taken only for the race-week kinds.
constexpr std::string_view kKnownSpecs[] = {"RACE", "TOKU", "DIFF", "BLOD", "SNAP", "SLOP",
                                            "WOOD", "YSCH", "HOSE", "HOYU", "COMM", "MING"};
constexpr std::string_view kThisWeekSpecs[] = {"RACE", "TOKU"};

template <size_t N>
bool OneOf(std::string_view id, const std::string_view (&list)[N]) {
  return std::find(std::begin(list), std::end(list), id) != std::end(list);
}

std::u16string WideName(const std::string& utf8Name) {
  return Wide(Utf8ToSjis(utf8Name));
}

StandInSettingsDialog& SharedDialog() {
  static StandInSettingsDialog dialog;
  return dialog;
}

}  // namespace

fs::path DefaultStandInFolder() {
  return UserDataFolder() / "tavolen-jvlink-standin";
}

StandInSettings LoadStandInSettings(const fs::path& folder) {
  StandInSettings s;
  std::string text;
  const fs::path file = folder / kStandInSettingsFileName;
  if (!FileExists(file) || !ReadWholeFile(file, text)) return s;
  for (const auto& line : SplitLines(text)) {
    const size_t eq = line.find('=');
    if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
    const std::string key(TrimBlanks(std::string_view(line).substr(0, eq)));
    const std::string value(TrimBlanks(std::string_view(line).substr(eq + 1)));
    if (key == "servicekey") s.serviceKey = value;
    if (key == "feedfolder") s.feedFolder = Utf8Path(value);
  }
  return s;
}

FileStatus SaveStandInSettings(const fs::path& folder, const StandInSettings& s) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (FileStatus st = EnsureFolder(folder); !st) return st;
  Lines lines = {
      "# Tavolen JV-Link stand-in settings (UTF-8). An empty feedfolder serves the "
      "built-in demo race day.",
      "servicekey=" + s.serviceKey, "feedfolder=" + Utf8Text(s.feedFolder)};
  return WriteFileAtomic(folder / kStandInSettingsFileName, JoinLinesCrLf(lines));
}

StandInJVLink::StandInJVLink(const Clock& clock, StandInOptions options)
    : clock_(clock),
      options_(std::move(options)),
      folder_(options_.folder.empty() ? DefaultStandInFolder() : options_.folder),
      settings_(LoadStandInSettings(folder_)) {}

SjisString StandInJVLink::Description() const {
  return ServesDemo()
             ? Sj("JV-Linkスタンドイン（デモ開催日）")
             : Sj("JV-Linkスタンドイン（フィード：") + PathText(settings_.feedFolder) + Sj("）");
}

fs::path StandInJVLink::FeedFolder() const {
  return ServesDemo() ? folder_ / kStandInDemoFolderName : settings_.feedFolder;
}

void StandInJVLink::RefreshFaults() {
  faults_.Refresh(FeedFolder() / kFaultFileName);
}

bool StandInJVLink::PrepareDemo() {
  if (!ServesDemo()) return true;
  const LocalDateTime now = clock_.Now();
  const fs::path feed = FeedFolder();
  if (HasDemoDay(feed, now)) return true;
  std::error_code ec;
  fs::create_directories(feed, ec);
  return static_cast<bool>(WriteDemoDay(feed, now, DemoOptionsFrom(now)));
}

int StandInJVLink::CheckFeedFolder() {
  if (ServesDemo()) return PrepareDemo() ? kOk : kInternalError;
  std::error_code ec;
  return fs::is_directory(settings_.feedFolder, ec) ? kOk : kBadRegistry;
}

std::vector<const FeedFile*> StandInJVLink::FeedOfKind(FeedKind kind, const std::string& newerThan,
                                                       const std::string& notAfter,
                                                       const std::vector<FeedEntry>* listed) {
  std::vector<const FeedFile*> out;
  fresh_.clear();
  const std::vector<FeedEntry> entries = listed ? std::vector<FeedEntry>{} : ListFeed(FeedFolder());
  for (const FeedEntry& e : listed ? *listed : entries) {
    if (!newerThan.empty() && e.stamp <= newerThan) continue;
    if (!notAfter.empty() && e.stamp > notAfter) continue;
    const std::string key = Utf8Text(e.path);
    auto known = kinds_.find(key);
    if (known != kinds_.end() && known->second.first.SameFile(e) && known->second.second != kind)
      continue;
    // Change and live files are served again and again through the day: kept as read while
    // unchanged. Race files are served once per session and may be large: read each time.
    auto kept = kept_.find(key);
    if (kept != kept_.end() && kept->second.entry.SameFile(e)) {
      out.push_back(&kept->second);
      continue;
    }
    FeedFile f;
    if (!ReadFeedFile(e, f)) continue;
    kinds_[key] = {e, f.kind};
    const bool keep = f.kind == FeedKind::Change || f.kind == FeedKind::Live,
               wanted = f.kind == kind;
    const FeedFile* read = nullptr;
    if (keep) {
      f.bytes = std::string();  // served from its records: not kept twice
      read = &(kept_[key] = std::move(f));
    } else {
      kept_.erase(key);
      if (wanted) read = &fresh_.emplace_back(std::move(f));
    }
    if (wanted) out.push_back(read);
  }
  return out;
}

std::vector<FeedFile> StandInJVLink::ReadFeedOfKind(FeedKind kind, const std::string& newerThan,
                                                    const std::string& notAfter,
                                                    const std::vector<FeedEntry>* listed) {
  std::vector<FeedFile> out;
  for (const FeedFile* f : FeedOfKind(kind, newerThan, notAfter, listed)) out.push_back(*f);
  fresh_.clear();
  return out;
}

fs::path StandInJVLink::CachePath(const std::string& name) const {
  return folder_ / kStandInCacheFolderName / name;
}

bool StandInJVLink::InCache(const SessionFile& file) const {
  std::string cached;
  const fs::path path = CachePath(file.name);
  return FileExists(path) && ReadWholeFile(path, cached) && cached == file.bytes;
}

bool StandInJVLink::DownloadComplete() const {
  return session_.downloaded >= static_cast<int>(session_.pending.size());
}

void StandInJVLink::AdvanceDownload() {
  Session& s = session_;
  if (DownloadComplete() || s.cancelled || s.downloadError) return;
  ++s.ticks;
  const long long total = static_cast<long long>(s.pending.size());
  const long long target =
      options_.callsPerFile <= 0 ? total : std::min(total, s.ticks / options_.callsPerFile);
  if (s.downloaded < target) {
    std::error_code ec;
    fs::create_directories(folder_ / kStandInCacheFolderName, ec);
  }
  while (s.downloaded < target) {
    const SessionFile& f = s.files[s.pending[static_cast<size_t>(s.downloaded)]];
    if (!WriteFileAtomic(CachePath(f.name), f.bytes)) {
      s.downloadError = kDownloadFailed;
      return;
    }
    ++s.downloaded;
  }
}

int StandInJVLink::JVInit(const std::u16string& sid) {
  RefreshFaults();
  if (int fault = faults_.OnCall("JVInit")) return fault;
  const SjisString s = Utf16ToSjis(sid);
  static const SjisString wideBlank = Sj("　");
  if (s.empty()) return kSidEmpty;
  if (s.size() >= 64) return kSidTooLong;
  if (s[0] == ' ' || s.starts_with(wideBlank)) return kSidBlank;
  settings_ = LoadStandInSettings(folder_);
  PrepareDemo();  // a failure shows at JVOpen and JVRTOpen
  initialised_ = true;
  return kOk;
}

int StandInJVLink::JVClose() {
  RefreshFaults();
  const int fault = faults_.OnCall("JVClose");
  session_ = Session{};  // a faulted close still ends the session, so the program can go on
  return fault ? fault : kOk;
}

int StandInJVLink::JVSetUIProperties() {
  RefreshFaults();
  if (int fault = faults_.OnCall("JVSetUIProperties")) return fault;
  const StandInSettingsDialog& dialog = dialog_ ? dialog_ : SharedDialog();
  if (!dialog) return kOk;
  std::optional<StandInSettings> chosen = dialog(settings_);
  if (!chosen) return kOk;
  return StoreSettings(*chosen);
}

int StandInJVLink::StoreSettings(const StandInSettings& wanted) {
  StandInSettings s = wanted;
  if (s.serviceKey.size() >= 64 ||
      std::any_of(s.serviceKey.begin(), s.serviceKey.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
    return kSettingsInvalid;
  if (!s.feedFolder.empty()) {
    std::error_code ec;
    if (!fs::is_directory(s.feedFolder, ec)) return kSettingsInvalid;
    s.feedFolder = fs::absolute(s.feedFolder, ec);
    if (ec) return kSettingsInvalid;
  }
  if (!SaveStandInSettings(folder_, s)) return kSettingsInvalid;
  settings_ = s;
  kinds_.clear();
  return kOk;
}

int StandInJVLink::JVOpen(const std::u16string& dataspec, const std::u16string& fromtime,
                          int option, int& readcount, int& downloadcount,
                          std::u16string& lastfiletimestamp) {
  // The inputs are read before the outputs are reset: a caller may pass one string as both.
  const SjisString spec = Utf16ToSjis(dataspec);
  const SjisString from = Utf16ToSjis(fromtime);
  readcount = 0;
  downloadcount = 0;
  lastfiletimestamp.clear();
  RefreshFaults();
  traits_ = LoadTraits(folder_);
  if (int fault = faults_.OnCall("JVOpen")) return fault;
  if (!initialised_) return kNotInitialised;
  if (session_.kind != SessionKind::None) return kSessionOpen;

  if (spec.empty() || spec.size() % 4 != 0) return kBadDataspec;
  bool race = false, thisWeekOnly = true;
  for (size_t i = 0; i < spec.size(); i += 4) {
    const std::string_view id = std::string_view(spec).substr(i, 4);
    if (!OneOf(id, kKnownSpecs)) return kBadDataspec;
    race = race || id == "RACE";
    thisWeekOnly = thisWeekOnly && OneOf(id, kThisWeekSpecs);
  }
  LocalDateTime fromTime;
  if (!ParseCompactDateTime(from, fromTime)) return kBadFromtime;
  if (option < 1 || option > 4) return kBadOption;
  if (option == 2 && !thisWeekOnly) return kBadCombination;
  if (int st = CheckFeedFolder()) return st;

  Session s;
  s.kind = SessionKind::Race;
  std::string newest;
  if (race) {
    // A file the service has not published yet by the stand-in's clock is not delivered.
    const std::string now = FormatCompactDateTime(clock_.Now());
    for (FeedFile& f : ReadFeedOfKind(FeedKind::Race, from, now)) {
      SessionFile sf{f.entry.name, std::move(f.bytes), std::move(f.records), false};
      sf.download = !InCache(sf);
      if (sf.download) s.pending.push_back(s.files.size());
      newest = std::max(newest, f.entry.stamp);
      s.files.push_back(std::move(sf));
    }
  }
  if (s.files.empty()) return kNoData;
  session_ = std::move(s);
  faults_.StartSession();
  readcount = static_cast<int>(session_.files.size());
  downloadcount = static_cast<int>(session_.pending.size());
  lastfiletimestamp = Wide(newest);
  return kOk;
}

int StandInJVLink::JVStatus() {
  RefreshFaults();
  if (!initialised_) return kNotInitialised;
  if (session_.kind != SessionKind::Race) return kNotOpened;
  if (int fault = faults_.OnSessionCall("JVStatus", session_.statusCalls++)) return fault;
  if (!DownloadComplete()) {
    if (session_.cancelled) return kDownloadFailed;
    AdvanceDownload();
    if (session_.downloadError) return session_.downloadError;
  }
  return session_.downloaded;
}

int StandInJVLink::JVRead(std::u16string& buff, int& size, std::u16string& filename) {
  RefreshFaults();
  if (!initialised_) return kNotInitialised;
  if (session_.kind == SessionKind::None) return kNotOpened;
  if (int fault = faults_.OnSessionCall("JVRead", session_.delivered)) return fault;
  Session& s = session_;
  if (!DownloadComplete()) {
    if (s.cancelled) return kDownloadFailed;
    AdvanceDownload();
    if (s.downloadError) return s.downloadError;
    if (!DownloadComplete()) return kDownloading;
  }
  if (s.readCalls++ < traits_.downloadingReads) return kDownloading;
  if (s.cancelled) return 0;
  if (s.file >= s.files.size()) return 0;
  const SessionFile& f = s.files[s.file];
  if (s.record >= f.records.size()) {
    ++s.file;
    s.record = 0;
    return kNoData;  // the next file begins; after the last one, too
  }
  const SjisString record =
      traits_.sizeCut ? CutRecord(f.records[s.record], size) : f.records[s.record];
  ++s.record;
  ++s.delivered;
  buff = Wide(record);
  filename = WideName(f.name);
  if (traits_.sizeBack) size = static_cast<int>(record.size());
  return static_cast<int>(record.size());
}

int StandInJVLink::JVRTOpen(const std::u16string& dataspec, const std::u16string& key) {
  RefreshFaults();
  traits_ = LoadTraits(folder_);
  if (int fault = faults_.OnCall("JVRTOpen")) return fault;
  if (!initialised_) return kNotInitialised;
  if (session_.kind != SessionKind::None) return kSessionOpen;
  if (Utf16ToSjis(dataspec) == kAnnouncementSpec) return OpenAnnouncement(Utf16ToSjis(key));
  if (Utf16ToSjis(dataspec) == "0B11" || Utf16ToSjis(dataspec) == "0B12")
    return OpenLive(Utf16ToSjis(dataspec), Utf16ToSjis(key));
  if (Utf16ToSjis(dataspec) != "0B14") return kBadDataspec;
  const SjisString date = Utf16ToSjis(key);
  LocalDateTime day;
  if (date.size() != 8 || !AllDigits(date) || !ParseCompactDateTime(date + "000000", day))
    return kBadKey;
  if (int st = CheckFeedFolder()) return st;

  const LocalDateTime now = clock_.Now();
  const std::string nowStamp = FormatCompactDateTime(now);
  Session s;
  s.kind = SessionKind::RealTime;
  // A file the service has not made yet is not delivered.
  for (FeedFile& f : ReadFeedOfKind(FeedKind::Change, {}, nowStamp)) {
    SessionFile sf{f.entry.name, {}, {}, false};
    bool previousServed = true;  // another record type rides with the change before it
    for (SjisString& r : f.records) {
      if (Cut(r, Header::Date) != date) continue;
      if (IsChangeRecord(r)) previousServed = AnnouncedBy(r, now);
      if (previousServed) sf.records.push_back(std::move(r));
    }
    if (!sf.records.empty()) s.files.push_back(std::move(sf));
  }
  if (s.files.empty()) return kNoData;
  session_ = std::move(s);
  faults_.StartSession();
  return kOk;
}

void StandInJVLink::JVCancel() {
  if (session_.kind != SessionKind::None) session_.cancelled = true;
}

void SetStandInSettingsDialog(StandInSettingsDialog dialog) {
  SharedDialog() = std::move(dialog);
}

void RegisterStandIn(const Clock& clock, StandInOptions options) {
  JVLinkRegistry::Instance().Register(
      kJVLinkProgId, [&clock, options] { return std::make_unique<StandInJVLink>(clock, options); });
}

void RegisterStandIn() {
  static const SystemClock clock;
  RegisterStandIn(clock);
}

}  // namespace tavolen
