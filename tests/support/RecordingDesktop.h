// A desktop that records what a person would see and answers message boxes from a script.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/Desktop.h"

namespace tavolen {

class RecordingDesktop : public Desktop {
 public:
  struct Event {
    std::string kind;  // "info", "plain", "error", "ask", "beep", "sound", "clipboard", "help",
                       // "url", "tip", "balloon", "tray"
    SjisString text;   // the message, tip, clipboard text or balloon text
    SjisString title;  // balloon title
    BalloonIcon icon = BalloonIcon::None;
    int timeout = 0;
  };

  std::vector<Event> events;
  // The whole paths of the sound and help files asked for, in order (events keep the names).
  std::vector<std::filesystem::path> soundPaths, helpPaths;
  std::deque<bool> answers;  // answers for AskYesNo, first in first out; No when empty
  bool trayAvailable = true;
  bool balloonShown = true;  // what ShowBalloon returns
  bool trayVisible = false;
  SjisString trayTip;
  SjisString clipboard;
  QMenu* trayMenu = nullptr;
  bool openSucceeds = true;
  // Called inside every message box, as a nested message loop would run timers.
  std::function<void()> duringBox;

  void InformationBox(const SjisString& text) override { Box("info", text); }
  void PlainBox(const SjisString& text) override { Box("plain", text); }
  void ErrorBox(const SjisString& text) override { Box("error", text); }
  bool AskYesNo(const SjisString& text) override {
    Box("ask", text);
    if (answers.empty()) return false;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
  void Beep() override { events.push_back({"beep", {}, {}, BalloonIcon::None, 0}); }
  void PlaySoundAsync(const std::filesystem::path& wav) override {
    events.push_back({"sound", wav.filename().string(), {}, BalloonIcon::None, 0});
    soundPaths.push_back(wav);
  }
  void SetClipboardText(const SjisString& text) override {
    clipboard = text;
    events.push_back({"clipboard", text, {}, BalloonIcon::None, 0});
  }
  bool OpenHelpContents(const std::filesystem::path& help) override {
    events.push_back({"help", help.filename().string(), {}, BalloonIcon::None, 0});
    helpPaths.push_back(help);
    return openSucceeds;
  }
  bool OpenAddress(const std::string& url) override {
    events.push_back({"url", url, {}, BalloonIcon::None, 0});
    return openSucceeds;
  }
  bool TrayAvailable() const override { return trayAvailable; }
  void SetTrayVisible(bool v) override { trayVisible = v && trayAvailable; }
  void SetTrayTip(const SjisString& tip) override {
    trayTip = tip;
    events.push_back({"tip", tip, {}, BalloonIcon::None, 0});
  }
  void SetTrayMenu(QMenu* menu) override { trayMenu = menu; }
  // Each picture the tray icon is given (a window test compares it with the state's icon).
  std::function<void(const QIcon&)> onTrayIcon;
  void SetTrayIcon(const QIcon& icon) override {
    if (onTrayIcon) onTrayIcon(icon);
  }
  bool ShowBalloon(const SjisString& title, const SjisString& text, BalloonIcon icon,
                   int timeout) override {
    events.push_back({"balloon", text, title, icon, timeout});
    return balloonShown;
  }
  // Recorded as a balloon; the lines after its text are kept in notificationMore.
  bool ShowNotification(const SjisString& title, const SjisString& text,
                        const std::vector<SjisString>& more, BalloonIcon icon,
                        int timeout) override {
    notificationMore.push_back(more);
    return ShowBalloon(title, text, icon, timeout);
  }
  // Recorded as a balloon too; its title is kept in statusTitles.
  bool ShowStatusNotification(const SjisString& title, const SjisString& text,
                              int timeout) override {
    statusTitles.push_back(title);
    return ShowBalloon(title, text, BalloonIcon::Information, timeout);
  }
  std::vector<SjisString> statusTitles;
  // The tray's and the notifications' clicks: a window test sets an events object and emits
  // its signals as the desktop would.
  DesktopEvents* Events() override { return events_; }
  void SetEvents(DesktopEvents* events) { events_ = events; }
  // The lines each notification listed after its text, in order.
  std::vector<std::vector<SjisString>> notificationMore;

  // The events of one kind, in order.
  std::vector<Event> Of(const std::string& kind) const {
    std::vector<Event> out;
    for (const auto& e : events)
      if (e.kind == kind) out.push_back(e);
    return out;
  }
  // The texts of every message box (info, plain, error, ask), in order.
  std::vector<SjisString> Messages() const {
    std::vector<SjisString> out;
    for (const auto& e : events)
      if (e.kind == "info" || e.kind == "plain" || e.kind == "error" || e.kind == "ask")
        out.push_back(e.text);
    return out;
  }
  int Count(const std::string& kind) const { return static_cast<int>(Of(kind).size()); }
  void Clear() {
    events.clear();
    soundPaths.clear();
    helpPaths.clear();
    notificationMore.clear();
    statusTitles.clear();
  }

 private:
  void Box(const char* kind, const SjisString& text) {
    events.push_back({kind, text, {}, BalloonIcon::None, 0});
    if (duringBox) duringBox();
  }
  DesktopEvents* events_ = nullptr;
};

}  // namespace tavolen
