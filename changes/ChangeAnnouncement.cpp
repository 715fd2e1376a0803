#include "changes/ChangeAnnouncement.h"

#include "jvlink/JVData_Structure.h"
#include "jvlink/KeibaFunc.h"

namespace tavolen {
namespace {

const std::array<Setting<bool>, kChangeTypes>& KindSettings() {
  static const std::array<Setting<bool>, kChangeTypes> settings = {
      Settings::NotifyWeather, Settings::NotifyScratch, Settings::NotifyJockey,
      Settings::NotifyPostTime, Settings::NotifyCourse};
  return settings;
}

}  // namespace

bool NotifyChoice::Rings(ChangeType type, bool aboutFavourite) const {
  return kinds[static_cast<size_t>(type)] && (aboutFavourite || !favouritesOnly);
}

NotifyChoice ReadNotifyChoice(const IniFile& settings) {
  NotifyChoice choice;
  for (size_t i = 0; i < choice.kinds.size(); ++i)
    choice.kinds[i] = settings.Read(KindSettings()[i]);
  choice.favouritesOnly = settings.Read(Settings::NotifyFavouritesOnly);
  choice.live = ReadLiveNotifyChoice(settings);
  return choice;
}

FileStatus WriteNotifyChoice(IniFile& settings, const NotifyChoice& choice) {
  for (size_t i = 0; i < choice.kinds.size(); ++i)
    if (FileStatus st = settings.Write(KindSettings()[i], choice.kinds[i]); !st) return st;
  if (FileStatus st = settings.Write(Settings::NotifyFavouritesOnly, choice.favouritesOnly); !st)
    return st;
  return WriteLiveNotifyChoice(settings, choice.live);
}

SjisString FavouriteLine(const NewChange& change) {
  static const SjisString kMark = Sj("★"), kR = Sj("R "), kJockey = Sj("騎手変更"),
                          kPostTime = Sj("発走時刻変更"), kCourse = Sj("コース変更");
  const std::string_view r = change.record;
  SjisString what;
  switch (change.type) {
    case ChangeType::AV:
      what = UnpaddedName(ScratchKindName(Cut(r, AV::Kind)));
      break;
    case ChangeType::JC:
      what = kJockey;
      break;
    case ChangeType::TC:
      what = kPostTime;
      break;
    case ChangeType::CC:
      what = kCourse;
      break;
    case ChangeType::WE:
      break;
  }
  // The name's head, as the change lines show a horse name.
  return kMark + UnpaddedName(Cut(change.favourite, 1, 18)) + " " +
         CourseName(Cut(r, Header::CourseCode), 2) +
         SjisString(TrimBlanks(PadNumber(Cut(r, Header::RaceNumber)))) + kR + what;
}

Announcement Announce(const std::vector<NewChange>& newChanges, const NotifyChoice& choice) {
  Announcement a;
  std::vector<NewChange> ringing;
  for (const NewChange& c : newChanges)
    if (choice.Rings(c.type, !c.favourite.empty())) ringing.push_back(c);
  if (ringing.empty()) return a;
  const SjisString news = BalloonTextOf(NewsLinesOf(ringing));
  // The favourites' lines lead, as many as the balloon's 255 bytes leave room for: the news
  // lines of five categories take 203 bytes, a favourite's line at most 43.
  SjisString lead;
  for (const NewChange& c : ringing) {
    if (c.favourite.empty()) continue;
    a.favourite = true;
    const SjisString line = FavouriteLine(c) + "\r\n";
    if (lead.size() + line.size() + news.size() > kNotificationTextBytes) break;
    lead += line;
  }
  a.text = lead + news;
  a.details = NewChangeDetails(ringing);
  return a;
}

}  // namespace tavolen
