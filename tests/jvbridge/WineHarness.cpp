#include "tests/jvbridge/WineHarness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

// A test program that runs no 32-bit Windows program need not name the 32-bit build.
#ifndef TAVOLEN_WIN32_BUILD
#define TAVOLEN_WIN32_BUILD ""
#endif

namespace tavolen::testing {
namespace {

bool Executable(const fs::path& p) {
  return !p.empty() && ::access(p.c_str(), X_OK) == 0;
}

fs::path FindLoader() {
  if (const char* env = std::getenv("TAVOLEN_WINE"); env && *env) return env;
  for (const char* candidate : {"/usr/lib/wine/wine64", "/usr/bin/wine64", "/usr/bin/wine"})
    if (Executable(candidate)) return candidate;
  return {};
}

fs::path FindServer(const fs::path& loader) {
  for (const fs::path& p : {loader.parent_path() / "wineserver64",
                            loader.parent_path() / "wineserver", fs::path("/usr/bin/wineserver")})
    if (Executable(p)) return p;
  return {};
}

// Empty when the program starts and ends well with "--version"; else why not. A kernel without
// 32-bit support refuses a 32-bit program with ENOEXEC, whatever Wine packages are installed.
std::string WhyNotRunning(const fs::path& program) {
  posix_spawn_file_actions_t io;
  posix_spawn_file_actions_init(&io);
  posix_spawn_file_actions_addopen(&io, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&io, 2, "/dev/null", O_WRONLY, 0);
  const std::string path = program.string();
  char version[] = "--version";
  char* argv[] = {const_cast<char*>(path.c_str()), version, nullptr};
  pid_t pid = 0;
  const int error = posix_spawn(&pid, path.c_str(), &io, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&io);
  if (error == ENOEXEC)
    return "this machine cannot run 32-bit programs (its kernel refuses '" + path +
           "': " + std::strerror(error) + ")";
  if (error != 0) return "'" + path + "' cannot be started: " + std::strerror(error);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
  return "'" + path + "' --version failed (status " + std::to_string(status) + ")";
}

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class Holder {
 public:
  Holder() {
    if (const char* skip = std::getenv("TAVOLEN_SKIP_WINE"); skip && *skip && *skip != '0') {
      wine_.why = "TAVOLEN_SKIP_WINE is set";
      return;
    }
    wine_.loader = FindLoader();
    const char* env = std::getenv("TAVOLEN_WIN64_BUILD");
    wine_.win64 = env && *env ? fs::path(env) : fs::path(TAVOLEN_WIN64_BUILD);
    if (!Executable(wine_.loader)) {
      wine_.why = "no 64-bit Wine loader (install wine64, or set TAVOLEN_WINE)";
      return;
    }
    std::error_code ec;
    if (wine_.win64.empty() || !fs::is_directory(wine_.win64 / "jvbridge", ec)) {
      wine_.why = "no 64-bit cross build at '" + wine_.win64.string() +
                  "' (run scripts/build-windows.sh, or set TAVOLEN_WIN64_BUILD)";
      return;
    }
    const char* tmp = std::getenv("TAVOLEN_TEST_TMP");
    fs::path base = tmp && *tmp ? fs::path(tmp) : fs::temp_directory_path();
    wine_.prefix = base / ("wineprefix-" + std::to_string(::getpid()));
    fs::remove_all(wine_.prefix, ec);
    fs::create_directories(wine_.prefix.parent_path(), ec);
    std::string out;
    const int code = wine_.Run({"wineboot", "--init"}, &out);
    if (code != 0) {
      wine_.why = "wineboot failed (" + std::to_string(code) + "): " + out;
      return;
    }
    // One server for the whole run: a Windows program then starts in a fraction of a second.
    // The prefix was made without a display (as a prefix for JV-Link is); the programs get
    // one, for the component's windows: the server that wineboot left is ended first, since
    // its desktop keeps the display it started with.
    wine_.server = FindServer(wine_.loader);
    wine_.EndServer();
    wine_.display = TestDisplay();
    wine_.KeepServer();
    // The 32-bit programs: their build, and a prefix with its 32-bit system folder (a WoW64
    // prefix, made by a Wine that has its 32-bit part).
    const char* env32 = std::getenv("TAVOLEN_WIN32_BUILD");
    wine_.win32 = env32 && *env32 ? fs::path(env32) : fs::path(TAVOLEN_WIN32_BUILD);
    if (wine_.win32.empty() || !fs::is_directory(wine_.win32 / "jvbridge", ec))
      wine_.why32 = "no 32-bit cross build at '" + wine_.win32.string() +
                    "' (run scripts/build-windows.sh 32, or set TAVOLEN_WIN32_BUILD)";
    // Debian's wine64 makes the 32-bit system folder too; the 32-bit loader (wine32) is beside,
    // and it must also run: a kernel without 32-bit support refuses it.
    else if (wine_.loader.filename() == "wine64" &&
             !Executable(wine_.loader.parent_path() / "wine"))
      wine_.why32 = "no 32-bit Wine beside '" + wine_.loader.string() + "' (install wine32:i386)";
    else if (wine_.loader.filename() == "wine64")
      wine_.why32 = WhyNotRunning(wine_.loader.parent_path() / "wine");
    // Wine fills the 32-bit system folder only where its 32-bit part ran.
    if (wine_.why32.empty() &&
        !fs::exists(wine_.prefix / "drive_c" / "windows" / "syswow64" / "kernel32.dll", ec))
      wine_.why32 = "the prefix's 32-bit system folder is empty (Wine's 32-bit part did not run)";
  }
  ~Holder() {
    if (wine_.prefix.empty()) return;
    wine_.EndServer();
    std::error_code ec;
    fs::remove_all(wine_.prefix, ec);
  }
  const Wine& wine() const { return wine_; }

 private:
  Wine wine_;
};

}  // namespace

fs::path Wine::Built(const std::string& relative, int bits) const {
  std::error_code ec;
  const fs::path p = (bits == 32 ? win32 : win64) / relative;
  return fs::is_regular_file(p, ec) ? p : fs::path();
}

std::vector<std::string> Wine::Environment() const {
  return {"WINEPREFIX=" + prefix.string(), "WINEDEBUG=-all",
          "WINEDLLOVERRIDES=mscoree,mshtml=", "DISPLAY=" + display};
}

int Wine::Run(const std::vector<std::string>& args, std::string* output) const {
  // The output goes to a file, not a pipe: services that Wine starts on the way live on with
  // the prefix's server and would hold a pipe open.
  static int runs = 0;
  const fs::path log =
      prefix.parent_path() / (prefix.filename().string() + "-run" + std::to_string(::getpid()) +
                              "-" + std::to_string(++runs) + ".log");
  std::string cmd;
  for (const std::string& e : Environment()) cmd += ShellQuote(e) + " ";
  cmd = "env " + cmd + ShellQuote(loader.string());
  for (const std::string& a : args) cmd += " " + ShellQuote(a);
  cmd += " </dev/null >" + ShellQuote(log.string()) + " 2>&1";
  const int status = std::system(cmd.c_str());
  if (output) {
    std::ifstream in(log, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    *output = ss.str();
  }
  std::error_code ec;
  fs::remove(log, ec);
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Wine::KeepServer() const {
  if (server.empty()) return;
  const std::string cmd = "WINEPREFIX=" + ShellQuote(prefix.string()) + " " +
                          ShellQuote(server.string()) + " -p >/dev/null 2>&1";
  [[maybe_unused]] int rc = std::system(cmd.c_str());
}

void Wine::EndServer() const {
  if (server.empty()) return;
  const std::string cmd = "WINEPREFIX=" + ShellQuote(prefix.string()) + " " +
                          ShellQuote(server.string()) + " -k >/dev/null 2>&1";
  [[maybe_unused]] int rc = std::system(cmd.c_str());
}

bool WineRequired() {
  const char* v = std::getenv("TAVOLEN_WINE_REQUIRED");
  return v && *v && *v != '0';
}

bool Wine32Required() {
  const char* v = std::getenv("TAVOLEN_WINE32_OPTIONAL");
  return WineRequired() && !(v && *v && *v != '0');
}

const Wine& TheWine() {
  static Holder holder;
  return holder.wine();
}

namespace {

class VirtualDisplay {
 public:
  VirtualDisplay() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
      ::close(fds[0]);
      return;
    }
    pid_ = pid;
    // Xvfb writes its display number once it accepts clients.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (::poll(&p, 1, 15000) > 0) {
      char c = 0;
      if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    ::close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~VirtualDisplay() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = 0;
  std::string display_;
};

}  // namespace

std::string TestDisplay() {
  static VirtualDisplay display;
  return display.display();
}

fs::path BuiltBridge(int bits) {
  return TheWine().Built("jvbridge/tavolen-jvlink-bridge" + std::to_string(bits) + ".exe", bits);
}

// The COM stand-in's class, as standin/ComStandIn.cpp registers it.
#define TAVOLEN_STANDIN_CLSID "{2AB1774D-0C41-11D7-916F-0003479BEB3F}"

bool RegisterStandIn(Registration r, std::string& why) {
  static bool known = false;
  static Registration now = Registration::None;
  if (known && now == r) return true;
  const Wine& w = TheWine();
  const bool want64 = r == Registration::Only64 || r == Registration::Both ||
                      r == Registration::Only64ServerBothViews;
  // Without 32-bit Wine (the tests that need it skip) "both" is the 64-bit registration.
  const bool want32 =
      r == Registration::Only32 || (r == Registration::Both && TheWine().usable32());
  const fs::path dll64 = w.Built("standin/tavolen-jvlink-standin.dll", 64);
  const fs::path dll32 = w.Built("standin/tavolen-jvlink-standin.dll", 32);
  if (dll64.empty() || (want32 && dll32.empty())) {
    why = "the COM stand-in was not built";
    return false;
  }
  known = false;
  // Unregistering removes the ProgID both views share: all goes first, then what is wanted.
  w.Run({"regsvr32", "/s", "/u", WindowsPath(dll64)});
  if (!dll32.empty()) w.Run({"regsvr32", "/s", "/u", WindowsPath(dll32)});
  // What a left-behind registration put into the 32-bit view.
  for (const char* key : {"HKLM\\Software\\Classes\\JVDTLab.JVLink",
                          "HKLM\\Software\\Classes\\CLSID\\" TAVOLEN_STANDIN_CLSID})
    w.Run({"reg", "delete", key, "/f", "/reg:32"});
  // Wine's regsvr32 of a 32-bit library starts the 32-bit regsvr32; under load that start has
  // been seen to fail now and then with no word: a registration is tried three times.
  const auto registered = [&w](const fs::path& dll, std::string& out) {
    int code = -1;
    for (int attempt = 0; attempt < 3 && code != 0; ++attempt)
      code = w.Run({"regsvr32", "/s", WindowsPath(dll)}, &out);
    return code == 0;
  };
  std::string out;
  if (want64 && !registered(dll64, out)) {
    why = "regsvr32 (64-bit) failed: " + out;
    return false;
  }
  if (want32 && !registered(dll32, out)) {
    why = "regsvr32 (32-bit) failed: " + out;
    return false;
  }
  if (r == Registration::Only64ServerBothViews) {
    const std::string clsid = "HKLM\\Software\\Classes\\CLSID\\" TAVOLEN_STANDIN_CLSID;
    for (const std::vector<std::string>& add :
         {std::vector<std::string>{"reg", "add", "HKLM\\Software\\Classes\\JVDTLab.JVLink\\CLSID",
                                   "/ve", "/d", TAVOLEN_STANDIN_CLSID, "/f", "/reg:32"},
          std::vector<std::string>{"reg", "add", clsid + "\\InprocServer32", "/ve", "/d",
                                   WindowsPath(dll64), "/f", "/reg:32"}})
      if (w.Run(add, &out) != 0) {
        why = "reg add (32-bit view) failed: " + out;
        return false;
      }
  }
  known = true;
  now = r;
  return true;
}

std::string WindowsPath(const fs::path& path) {
  std::string s = "Z:" + fs::absolute(path).lexically_normal().string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

}  // namespace tavolen::testing
