// The one owner of JV-Link's session: JV-Link has one session at a time (JVOpen or JVRTOpen
// until JVClose), and every part that opens one tells this owner, so whoever asks knows whether
// a session is open and whose it is, and nobody opens a second one on top of it. The
// acquisition (its window or the automation, acquire/AcquisitionSession.h) and the change fetch
// (changes/ChangeFetch.h, also the fetches that run inside a change check) tell it; the main
// window holds the one instance.
#pragma once

#include <array>
#include <optional>

namespace tavolen {

enum class SessionUser { AcquisitionWindow, Automation, ChangeCheck };

class JVSessionOwner {
 public:
  void Opened(SessionUser who) { open_[Index(who)] = true; }
  void Closed(SessionUser who) { open_[Index(who)] = false; }

  // Whose session is open, if any (the first found: there is never more than one).
  std::optional<SessionUser> Holder() const {
    for (size_t i = 0; i < open_.size(); ++i)
      if (open_[i]) return static_cast<SessionUser>(i);
    return std::nullopt;
  }
  bool Open() const { return Holder().has_value(); }
  bool OpenBy(SessionUser who) const { return open_[Index(who)]; }
  // True when someone other than who holds the session: who must not open one now.
  bool HeldByOtherThan(SessionUser who) const {
    for (size_t i = 0; i < open_.size(); ++i)
      if (open_[i] && i != Index(who)) return true;
    return false;
  }

 private:
  static size_t Index(SessionUser who) { return static_cast<size_t>(who); }
  std::array<bool, 3> open_{};
};

}  // namespace tavolen
