#include "jvbridge/WindowWatch.h"

#include <chrono>

#include "jvbridge/Protocol.h"

namespace tavolen::bridge {
namespace {

constexpr auto kPoll = std::chrono::milliseconds(100);

struct Search {
  DWORD process;
  HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<Search*>(p);
  DWORD process = 0;
  GetWindowThreadProcessId(w, &process);
  if (process != s->process || !IsWindowVisible(w) || GetWindow(w, GW_OWNER)) return TRUE;
  s->found = w;
  return FALSE;
}

// In front of the user's windows, without taking the topmost place for good.
void Raise(HWND w) {
  constexpr UINT kFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_ASYNCWINDOWPOS;
  SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, kFlags);
  SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 0, 0, kFlags);
  SetForegroundWindow(w);
}

}  // namespace

HWND VisibleWindowOfThisProcess(std::wstring& title) {
  Search s{GetCurrentProcessId()};
  EnumWindows(Visit, reinterpret_cast<LPARAM>(&s));
  title.clear();
  if (s.found) {
    wchar_t text[256] = L"";
    // The title of a window of another thread is read without a message (it cannot block).
    InternalGetWindowText(s.found, text, 256);
    title = text;
  }
  return s.found;
}

WindowWatch::WindowWatch(std::function<void(const std::string&)> send)
    : send_(std::move(send)), thread_([this] { Run(); }) {}

WindowWatch::~WindowWatch() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void WindowWatch::CallStarted() {
  {
    std::lock_guard lock(mutex_);
    calling_ = true;
    told_ = false;
  }
  wake_.notify_all();
}

void WindowWatch::CallEnded(const std::function<void()>& writeAnswer) {
  std::lock_guard lock(mutex_);
  calling_ = false;
  told_ = false;
  writeAnswer();
}

void WindowWatch::Run() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    wake_.wait_for(lock, kPoll, [this] { return stop_; });
    if (stop_) break;
    if (!calling_) continue;
    lock.unlock();
    std::wstring title;
    const HWND w = VisibleWindowOfThisProcess(title);
    if (w && !told_) Raise(w);
    lock.lock();
    if (!calling_) continue;  // the answer went out meanwhile
    if (w && !told_) {
      send_(EncodeWindow(true, std::u16string(title.begin(), title.end())));
      told_ = true;
    } else if (!w && told_) {
      send_(EncodeWindow(false, {}));
      told_ = false;
    }
  }
}

}  // namespace tavolen::bridge
