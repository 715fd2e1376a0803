#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "jvbridge/BridgeProcess.h"

extern char** environ;

namespace tavolen::bridge {
namespace {

class PosixProcess final : public BridgeTransport {
 public:
  PosixProcess(pid_t pid, int in, int out) : pid_(pid), in_(in), out_(out) {}
  ~PosixProcess() override {
    // Closing its input asks the bridge to end; one that does not is ended.
    if (in_ >= 0) ::close(in_);
    in_ = -1;
    if (pid_ > 0) {
      for (int i = 0; i < 200 && !Reap(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (pid_ > 0) Kill();
    }
    if (out_ >= 0) ::close(out_);
  }

  bool Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t n = ::write(in_, bytes.data(), bytes.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

  bool Read(int waitMs, std::string& out) override {
    if (out_ < 0) return false;
    pollfd p{out_, POLLIN, 0};
    const int r = ::poll(&p, 1, pid_ > 0 ? waitMs : 0);
    if (r == 0) {
      // Nothing to read. A bridge that has exited is over even when a process it started
      // (a service of Wine) still holds its output open; what it wrote before is read first.
      if (pid_ > 0 && !Reap()) return true;
      pollfd last{out_, POLLIN, 0};
      if (::poll(&last, 1, 0) > 0 && Drain(out) > 0) return true;
      ::close(out_);
      out_ = -1;
      return false;
    }
    if (r < 0) return true;  // interrupted
    const ssize_t n = Drain(out);
    if (n > 0 || (n < 0 && (errno == EINTR || errno == EAGAIN))) return true;
    ::close(out_);
    out_ = -1;
    return false;
  }

  void Kill() override {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }

  long ProcessId() const override { return pid_ > 0 ? pid_ : 0; }

 private:
  ssize_t Drain(std::string& out) {
    char buf[65536];
    const ssize_t n = ::read(out_, buf, sizeof buf);
    if (n > 0) out.append(buf, static_cast<size_t>(n));
    return n;
  }

  bool Reap() {
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_ || (r < 0 && errno == ECHILD)) {
      pid_ = -1;
      return true;
    }
    return false;
  }

  pid_t pid_;
  int in_;
  int out_;
};

}  // namespace

std::unique_ptr<BridgeTransport> StartBridgeProcess(const BridgeLaunch& launch, SjisString& error) {
  if (launch.command.empty()) {
    error = Sj("JV-Linkブリッジの起動方法が設定されていません。");
    return nullptr;
  }
  // A bridge that dies must not take the program with it when the program writes to it.
  ::signal(SIGPIPE, SIG_IGN);
  int toChild[2], fromChild[2];
  if (::pipe2(toChild, O_CLOEXEC) != 0) {
    error = Sj("JV-Linkブリッジを起動できませんでした（パイプ）。");
    return nullptr;
  }
  if (::pipe2(fromChild, O_CLOEXEC) != 0) {
    ::close(toChild[0]);
    ::close(toChild[1]);
    error = Sj("JV-Linkブリッジを起動できませんでした（パイプ）。");
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);

  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const std::string& extra : launch.environment)
      if (extra.substr(0, extra.find('=')) == name) replaced = true;
    if (!replaced) env.push_back(entry);
  }
  for (const std::string& extra : launch.environment) env.push_back(extra);
  std::vector<char*> envp, argv;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = launch.command;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(toChild[0]);
  ::close(fromChild[1]);
  if (rc != 0) {
    ::close(toChild[1]);
    ::close(fromChild[0]);
    error = Sj("JV-Linkブリッジを起動できませんでした：") + Utf8ToSjis(launch.command[0]) +
            Sj("（") + Utf8ToSjis(std::strerror(rc)) + Sj("）");
    return nullptr;
  }
  return std::make_unique<PosixProcess>(pid, toChild[1], fromChild[0]);
}

}  // namespace tavolen::bridge
