// The sound and the notification of the Windows desktop. The sound is Windows' own wave
// playback, as the original plays "notify.wav": PlaySound with SND_ASYNC returns at once and
// plays in the background, SND_NODEFAULT keeps it silent when the file or the sound device is
// missing, and a new sound cuts off the one still playing. The notification is the tray's
// balloon, which on Windows is the system's own notification.
#include <windows.h>
// After windows.h, whose types it uses.
#include <mmsystem.h>

#include "base/QtDesktop.h"
#include "jvlink/FileIO.h"

namespace tavolen {

void QtDesktop::PlaySoundAsync(const std::filesystem::path& wavFile) {
  std::error_code ec;
  const fs::path file = fs::absolute(wavFile, ec);
  if (ec || !FileExists(file)) return;
  PlaySoundW(file.wstring().c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
}

bool QtDesktop::Send(const SjisString& title, const SjisString& text,
                     const std::vector<SjisString>&, BalloonIcon icon, int timeoutSeconds,
                     NotificationKind kind) {
  // The balloon takes 255 characters: the text as it is, no further lines.
  const BalloonTexts balloon = PrepareBalloon(title, text);
  const int ms = timeoutSeconds > 0 ? timeoutSeconds * 1000 : 10000;
  return ShowTrayBalloon(balloon.title, balloon.text, icon, ms, kind);
}

}  // namespace tavolen
