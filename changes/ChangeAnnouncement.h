// Which new changes ring (a notification and a sound) and what the notification says. The user
// chooses the kinds of change that ring, and whether only changes about a favourite do; a change
// that does not ring is still listed and remembered as announced. A change about a favourite
// leads the notification.
#pragma once

#include <array>
#include <vector>

#include "base/IniFile.h"
#include "changes/ChangeEvaluation.h"
#include "jvlink/ChangeFiles.h"
#include "jvlink/TextLines.h"
#include "live/LiveNews.h"

namespace tavolen {

struct NotifyChoice {
  std::array<bool, kChangeTypes> kinds{true, true, true, true, true};  // WE, AV, JC, TC, CC
  bool favouritesOnly = false;
  LiveNotifyChoice live;  // the horse weights and results

  bool Rings(ChangeType type, bool aboutFavourite) const;
  friend bool operator==(const NotifyChoice&, const NotifyChoice&) = default;
};

NotifyChoice ReadNotifyChoice(const IniFile& settings);
FileStatus WriteNotifyChoice(IniFile& settings, const NotifyChoice& choice);

// The notification's title and text limits, in bytes.
inline constexpr size_t kNotificationTitleBytes = 63;
inline constexpr size_t kNotificationTextBytes = 255;

struct Announcement {
  // The balloon text: a "★" line for each favourite change that fits (the favourite's name,
  // course and race, what changed), then the header and one news line per category that rings.
  // Empty when nothing rings.
  SjisString text;
  Lines details;           // NewChangeDetails of the changes that ring
  bool favourite = false;  // a change about a favourite rings (its own sound)
  bool empty() const { return text.empty(); }
};

// "★" + name + " " + course and race + " " + what changed, e.g. "★ｱｵﾉﾌﾞﾗｯｸ 中山 1R 出走取消".
SjisString FavouriteLine(const NewChange& change);

// The announcement of the new changes (newest first) that ring under choice. Without a change
// about a favourite and with every kind on, its text and details are the evaluation's own.
Announcement Announce(const std::vector<NewChange>& newChanges, const NotifyChoice& choice);

}  // namespace tavolen
