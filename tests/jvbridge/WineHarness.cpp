#include "tests/jvbridge/WineHarness.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

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
    wine_.server = FindServer(wine_.loader);
    wine_.KeepServer();
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

fs::path Wine::Built(const std::string& relative) const {
  std::error_code ec;
  const fs::path p = win64 / relative;
  return fs::is_regular_file(p, ec) ? p : fs::path();
}

std::vector<std::string> Wine::Environment() const {
  return {"WINEPREFIX=" + prefix.string(), "WINEDEBUG=-all",
          "WINEDLLOVERRIDES=mscoree,mshtml=", "DISPLAY="};
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

const Wine& TheWine() {
  static Holder holder;
  return holder.wine();
}

std::string WindowsPath(const fs::path& path) {
  std::string s = "Z:" + fs::absolute(path).lexically_normal().string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

}  // namespace tavolen::testing
