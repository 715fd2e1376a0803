// tavolen-jvlink-bridge: hosts the JV-Link component ("JVDTLab.JVLink") in a single-threaded
// apartment and answers the program's calls, framed on standard input and output. A reader
// thread takes the frames; the main thread keeps the Windows message loop running while it
// waits, so that the component's own windows (settings dialog, update prompts) work.
//
//   tavolen-jvlink-bridge            serve the program (started by it)
//   tavolen-jvlink-bridge --describe print the installed component's type information
//   tavolen-jvlink-bridge --watch    print each event of the component as it arrives
#include <windows.h>
// windows.h first: the COM headers need it.
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "jvbridge/Dispatch.h"
#include "jvbridge/EventSink.h"
#include "jvbridge/Protocol.h"
#include "jvbridge/WindowWatch.h"

using namespace tavolen;
using namespace tavolen::bridge;

namespace {

constexpr wchar_t kProgId[] = L"JVDTLab.JVLink";

// Frames from the parent, handed from the reader thread to the main thread.
class Inbox {
 public:
  Inbox() : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  // Waits for a frame or the end, running the window messages of the component meanwhile.
  void Wait() {
    MsgWaitForMultipleObjectsEx(1, &event_, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  void Push(Frame f) {
    {
      std::lock_guard lock(mutex_);
      frames_.push_back(std::move(f));
    }
    SetEvent(event_);
  }
  void End(std::string why) {
    {
      std::lock_guard lock(mutex_);
      ended_ = true;
      why_ = std::move(why);
    }
    SetEvent(event_);
  }
  // The next frame, or false when none is waiting.
  bool Pop(Frame& f, bool& ended) {
    std::lock_guard lock(mutex_);
    ended = ended_ && frames_.empty();
    if (frames_.empty()) return false;
    f = std::move(frames_.front());
    frames_.pop_front();
    return true;
  }

 private:
  HANDLE event_;
  std::mutex mutex_;
  std::deque<Frame> frames_;
  bool ended_ = false;
  std::string why_;
};

void ReadInput(Inbox& inbox) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  FrameReader reader;
  char buf[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in, buf, sizeof buf, &got, nullptr) || got == 0) {
      inbox.End("end of input");
      return;
    }
    reader.Feed(std::string_view(buf, got));
    Frame f;
    FrameReader::State s;
    while ((s = reader.Next(f)) == FrameReader::State::HaveFrame) inbox.Push(std::move(f));
    if (s == FrameReader::State::Broken) {
      inbox.End("broken input");
      return;
    }
  }
}

// Frames are written whole: the window watch's thread and the event sink both write.
bool WriteAll(const std::string& bytes) {
  static std::mutex writing;
  std::lock_guard lock(writing);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(out, p, static_cast<DWORD>(left), &written, nullptr) || written == 0)
      return false;
    p += written;
    left -= written;
  }
  return true;
}

void Say(const std::wstring& text) {
  // Diagnostics go to the error output as UTF-8.
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n,
                      nullptr, nullptr);
  std::fprintf(stderr, "tavolen-jvlink-bridge: %s\n", utf8.c_str());
  std::fflush(stderr);
}

std::wstring Wide(const std::u16string& s) {
  return std::wstring(s.begin(), s.end());
}

// A registry key's default text value in one view: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when
// the key or value is not there, or another failure.
LSTATUS ReadDefault(HKEY root, const std::wstring& key, REGSAM view, std::wstring& value) {
  HKEY k = nullptr;
  LSTATUS st = RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &k);
  if (st != ERROR_SUCCESS) return st == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : st;
  wchar_t text[260] = L"";
  DWORD bytes = sizeof text - sizeof(wchar_t);
  DWORD type = 0;
  st = RegQueryValueExW(k, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
  RegCloseKey(k);
  if (st == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) st = ERROR_FILE_NOT_FOUND;
  if (st == ERROR_SUCCESS) value.assign(text, bytes / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return st;
}

// Where the registry holds the component's class: the class of the ProgID (a key Windows
// shares between the views, which Wine keeps in one of them) and that class's server key in
// the 32-bit and in the 64-bit view, machine-wide and per user. The program starts the bridge
// of the other bitness when the class is only there.
std::uint32_t RegisteredViews() {
  constexpr REGSAM kViews[2] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
  std::uint32_t views = 0;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    std::wstring clsid;
    for (REGSAM view : kViews) {
      const LSTATUS st = ReadDefault(
          root, std::wstring(L"Software\\Classes\\") + kProgId + L"\\CLSID", view, clsid);
      if (st == ERROR_SUCCESS && !clsid.empty()) break;
      if (st != ERROR_SUCCESS && st != ERROR_FILE_NOT_FOUND) return kViewsUnread;
    }
    if (clsid.empty()) continue;
    for (REGSAM view : kViews) {
      for (const wchar_t* kind : {L"InprocServer32", L"LocalServer32"}) {
        std::wstring server;
        const LSTATUS st =
            ReadDefault(root, L"Software\\Classes\\CLSID\\" + clsid + L"\\" + kind, view, server);
        if (st == ERROR_SUCCESS && !server.empty())
          views |= view == KEY_WOW64_32KEY ? kView32 : kView64;
        if (st != ERROR_SUCCESS && st != ERROR_FILE_NOT_FOUND) return kViewsUnread;
      }
    }
  }
  return views;
}

HRESULT CreateComponent(IDispatch** out) {
  *out = nullptr;
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
  if (FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(out));
}

Hello Describe(HRESULT hr, IDispatch* component) {
  Hello h;
  h.views = RegisteredViews();
  if (component) h.componentVersion = ComponentVersion(component);
  h.bits = sizeof(void*) * 8;
  h.codePage = GetACP();
  wchar_t locale[LOCALE_NAME_MAX_LENGTH] = L"";
  if (GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH) <= 0) locale[0] = 0;
  const std::wstring l = locale;
  h.locale.assign(l.begin(), l.end());
  h.created = SUCCEEDED(hr);
  h.hresult = static_cast<std::int32_t>(hr);
  h.message = SUCCEEDED(hr) ? u"JVDTLab.JVLink created" : StatusText(hr);
  return h;
}

std::wstring HelloLine(const Hello& h) {
  const std::wstring views = (h.views & kViewsUnread)         ? L"unreadable"
                             : h.views == (kView32 | kView64) ? L"32-bit and 64-bit"
                             : h.views == kView32             ? L"32-bit"
                             : h.views == kView64             ? L"64-bit"
                                                              : L"none";
  return std::to_wstring(h.bits) + L"-bit, code page " + std::to_wstring(h.codePage) +
         L", locale " + (h.locale.empty() ? L"?" : Wide(h.locale)) + L", " + Wide(h.message) +
         (h.componentVersion.empty()
              ? L""
              : L", version " + Wide(ReleaseName(h.componentVersion)) + L" (m_JVLinkVersion " +
                    Wide(h.componentVersion) + L")") +
         L", registered " + views;
}

int Serve() {
  IDispatch* component = nullptr;
  const HRESULT created = CreateComponent(&component);
  Hello hello = Describe(created, component);
  // The component's events go out as frames of their own, between answers (the sink is
  // called on this thread while messages are dispatched; WriteAll keeps them whole among the
  // window watch's frames).
  std::unique_ptr<ComponentEvents> events;
  if (component) {
    events = std::make_unique<ComponentEvents>(
        component, [](const std::u16string& name, const std::u16string& key) {
          WriteAll(EncodeEvent(Event{name, key}));
        });
    hello.events = events->connected();
    hello.eventsText.assign(events->text().begin(), events->text().end());
    Say(L"events: " + events->text());
  }
  Say(HelloLine(hello));
  if (!WriteAll(EncodeHello(hello))) return 3;
  if (!component) return 2;

  Inbox inbox;
  std::thread reader(ReadInput, std::ref(inbox));
  reader.detach();  // it ends with the process; a blocked ReadFile cannot be interrupted
  int code = 0;
  {
    ComponentCaller caller(component);
    bool writeFailed = false;
    // Window frames come from the watch's thread; the answers from here, under its lock.
    WindowWatch watch([&writeFailed](const std::string& frame) {
      if (!WriteAll(frame)) writeFailed = true;
    });
    bool running = true;
    while (running) {
      inbox.Wait();
      Frame f;
      bool ended = false;
      while (running && inbox.Pop(f, ended)) {
        if (f.kind == Kind::Quit) {
          running = false;
          break;
        }
        Call call;
        SjisString error;
        if (f.kind != Kind::Call || !DecodeCall(f.payload, call, error)) {
          Say(L"malformed request; ending");
          code = 4;
          running = false;
          break;
        }
        watch.CallStarted();
        const Result result =
            call.op == Op::JVRead
                ? ReadBatch(call, [&caller](const Call& one) { return caller.Run(one); })
                : caller.Run(call);
        watch.CallEnded([&] {
          if (!WriteAll(EncodeResult(result))) writeFailed = true;
        });
        if (writeFailed) {
          code = 3;
          running = false;
        }
      }
      if (ended) running = false;
    }
  }
  events.reset();
  component->Release();
  return code;
}

// --watch: JVInit, JVWatchEvent, then every event as one line "hh:mm:ss name key" (UTF-8)
// until the input ends, Enter (not a frame) or Ctrl+C.
int WatchMain() {
  IDispatch* component = nullptr;
  const HRESULT hr = CreateComponent(&component);
  Say(HelloLine(Describe(hr, component)));
  if (!component) return 2;
  auto print = [](const std::wstring& line) {
    const std::wstring text = line + L"\n";
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n,
                        nullptr, nullptr);
    WriteAll(utf8);
  };
  int code = 0;
  {
    ComponentEvents events(
        component, [&print](const std::u16string& name, const std::u16string& key) {
          SYSTEMTIME t;
          GetLocalTime(&t);
          wchar_t at[16];
          std::swprintf(at, 16, L"%02u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
          print(std::wstring(at) + L" " + Wide(name) + L" " + Wide(key) + L" (" +
                std::to_wstring(key.size()) + L" characters)");
        });
    print(L"events: " + events.text());
    ComponentCaller caller(component);
    Call init;
    init.op = Op::JVInit;
    init.text1 = u"UNKNOWN";
    const Result i = caller.Run(init);
    Call watch;
    watch.op = Op::JVWatchEvent;
    const Result w = caller.Run(watch);
    print(L"JVInit " + std::to_wstring(i.result) + L", JVWatchEvent " +
          (w.hresult < 0 ? Wide(w.hresultText) : std::to_wstring(w.result)));
    if (!events.connected() || w.hresult < 0 || w.result != 0) {
      code = 3;
    } else {
      print(L"waiting for events (Enter or Ctrl+C ends)");
      Inbox inbox;
      std::thread reader(ReadInput, std::ref(inbox));
      reader.detach();
      for (;;) {
        inbox.Wait();
        Frame f;
        bool ended = false;
        while (inbox.Pop(f, ended)) {
        }
        if (ended) break;
      }
      Call close;
      close.op = Op::JVWatchEventClose;
      caller.Run(close);
    }
  }
  component->Release();
  return code;
}

int DescribeMain() {
  IDispatch* component = nullptr;
  const HRESULT hr = CreateComponent(&component);
  const Hello hello = Describe(hr, component);
  std::wstring text = L"tavolen-jvlink-bridge: " + HelloLine(hello) + L"\n";
  if (component) {
    text += DescribeComponent(component);
    text += DescribeSourceInterface(component);
    component->Release();
  }
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n,
                      nullptr, nullptr);
  WriteAll(utf8);
  return component || SUCCEEDED(hr) ? 0 : 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(init)) {
    Say(L"CoInitializeEx failed: " + Wide(StatusText(init)));
    return 5;
  }
  int code = 0;
  if (argc > 1 && std::wstring(argv[1]) == L"--describe") {
    code = DescribeMain();
  } else if (argc > 1 && std::wstring(argv[1]) == L"--watch") {
    code = WatchMain();
  } else if (argc > 1) {
    Say(L"usage: tavolen-jvlink-bridge [--describe | --watch]");
    code = 64;
  } else {
    code = Serve();
  }
  CoUninitialize();
  return code;
}
