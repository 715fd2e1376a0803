// While a call of the component runs, watches for a visible top-level window of the bridge's
// own process (the component's setup dialog, a notice, the update question inside JVOpen):
// raises it in front of the user's other windows and tells the program, which then says that
// it waits on JV-Link's window and suspends its answer timeout. The bridge never answers such
// a window itself. Frames go to the program through send, which the caller serialises with its
// own writes: nothing is told about a call once its end was marked.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tavolen::bridge {

class WindowWatch {
 public:
  // send writes one frame to the program; it is called with the watch's lock held.
  explicit WindowWatch(std::function<void(const std::string& frame)> send);
  ~WindowWatch();
  WindowWatch(const WindowWatch&) = delete;
  WindowWatch& operator=(const WindowWatch&) = delete;

  void CallStarted();
  // Marks the call's end and then writes its answer with the same lock held, so that no
  // window frame of this call can follow the answer.
  void CallEnded(const std::function<void()>& writeAnswer);

 private:
  void Run();

  std::function<void(const std::string&)> send_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool calling_ = false;
  bool told_ = false;  // the program was told of a window during this call
  bool stop_ = false;
  std::thread thread_;
};

// A visible top-level window of this process with its title, or nullptr.
HWND VisibleWindowOfThisProcess(std::wstring& title);

}  // namespace tavolen::bridge
