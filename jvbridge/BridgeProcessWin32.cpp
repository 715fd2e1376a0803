#include <windows.h>

#include <chrono>
#include <thread>

#include "jvbridge/BridgeProcess.h"

namespace tavolen::bridge {
namespace {

std::wstring Wide(const std::string& utf8) {
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

// One argument quoted for CommandLineToArgvW.
std::wstring Quote(const std::wstring& a) {
  if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos) return a;
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : a) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    out.push_back(c);
  }
  out.append(slashes * 2, L'\\');
  return out + L"\"";
}

class Win32Process final : public BridgeTransport {
 public:
  Win32Process(PROCESS_INFORMATION pi, HANDLE in, HANDLE out) : pi_(pi), in_(in), out_(out) {}
  ~Win32Process() override {
    if (in_) CloseHandle(in_);  // the bridge ends when its input ends
    if (pi_.hProcess && WaitForSingleObject(pi_.hProcess, 2000) != WAIT_OBJECT_0)
      TerminateProcess(pi_.hProcess, 1);
    if (out_) CloseHandle(out_);
    if (pi_.hProcess) CloseHandle(pi_.hProcess);
    if (pi_.hThread) CloseHandle(pi_.hThread);
  }

  bool Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      DWORD written = 0;
      if (!WriteFile(in_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return false;
      bytes.remove_prefix(written);
    }
    return true;
  }

  bool Read(int waitMs, std::string& out) override {
    if (!out_) return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
      DWORD available = 0;
      if (!PeekNamedPipe(out_, nullptr, 0, nullptr, &available, nullptr)) return End();
      if (available > 0) {
        char buf[65536];
        DWORD got = 0;
        const DWORD want = available < sizeof buf ? available : sizeof buf;
        if (!ReadFile(out_, buf, want, &got, nullptr) || got == 0) return End();
        out.append(buf, got);
        return true;
      }
      if (std::chrono::steady_clock::now() >= until) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  void Kill() override {
    if (pi_.hProcess) {
      TerminateProcess(pi_.hProcess, 1);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    End();
  }

  long ProcessId() const override { return out_ ? static_cast<long>(pi_.dwProcessId) : 0; }

 private:
  bool End() {
    if (out_) CloseHandle(out_);
    out_ = nullptr;
    return false;
  }

  PROCESS_INFORMATION pi_;
  HANDLE in_;
  HANDLE out_;
};

}  // namespace

std::unique_ptr<BridgeTransport> StartBridgeProcess(const BridgeLaunch& launch, SjisString& error) {
  if (launch.command.empty()) {
    error = Sj("JV-Linkブリッジの起動方法が設定されていません。");
    return nullptr;
  }
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE childIn = nullptr, toChild = nullptr, fromChild = nullptr, childOut = nullptr;
  if (!CreatePipe(&childIn, &toChild, &sa, 0) || !CreatePipe(&fromChild, &childOut, &sa, 0)) {
    error = Sj("JV-Linkブリッジを起動できませんでした（パイプ）。");
    return nullptr;
  }
  SetHandleInformation(toChild, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(fromChild, HANDLE_FLAG_INHERIT, 0);

  std::wstring commandLine;
  for (const std::string& a : launch.command)
    commandLine += (commandLine.empty() ? L"" : L" ") + Quote(Wide(a));
  // The program's environment with the launch's additions, as a block of NUL-ended entries.
  std::wstring block;
  if (!launch.environment.empty()) {
    wchar_t* env = GetEnvironmentStringsW();
    for (const wchar_t* e = env; e && *e; e += wcslen(e) + 1) block += std::wstring(e) + L'\0';
    FreeEnvironmentStringsW(env);
    for (const std::string& extra : launch.environment) block += Wide(extra) + L'\0';
    block += L'\0';
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = childIn;
  si.hStdOutput = childOut;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi{};
  const BOOL ok = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                                 block.empty() ? nullptr : block.data(), nullptr, &si, &pi);
  const DWORD err = GetLastError();
  CloseHandle(childIn);
  CloseHandle(childOut);
  if (!ok) {
    CloseHandle(toChild);
    CloseHandle(fromChild);
    error = Sj("JV-Linkブリッジを起動できませんでした：") + Utf8ToSjis(launch.command[0]) +
            Sj("（エラー ") + std::to_string(err) + Sj("）");
    return nullptr;
  }
  // The component's windows come up in the bridge: it may bring them in front of the program.
  AllowSetForegroundWindow(pi.dwProcessId);
  return std::make_unique<Win32Process>(pi, toChild, fromChild);
}

}  // namespace tavolen::bridge
