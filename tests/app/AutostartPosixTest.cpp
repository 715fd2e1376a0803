// Start at sign-in on Linux: the XDG autostart entry written, read back, switched off by the
// desktop, rewritten and removed, where the environment puts it; and the real program started
// by the entry's command as the desktop's session starts it.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>

#include "app/Autostart.h"
#include "app/InstanceActivation.h"
#include "app/SingleInstance.h"
#include "tests/app/ActivationChecks.h"
#include "tests/support/MainWindow.h"

namespace tavolen {
namespace {

using testsupport::Names;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

// Sets an environment variable for one test and restores it.
class EnvVar {
 public:
  explicit EnvVar(const char* name) : name_(name) {
    const char* v = std::getenv(name);
    had_ = v != nullptr;
    if (v) saved_ = v;
  }
  ~EnvVar() {
    if (had_)
      setenv(name_, saved_.c_str(), 1);
    else
      unsetenv(name_);
  }
  void Set(const fs::path& value) const { setenv(name_, value.c_str(), 1); }
  void Unset() const { unsetenv(name_); }

 private:
  const char* name_;
  bool had_ = false;
  std::string saved_;
};

// desktop-file-validate's verdict on a file: empty when it passes, its complaint otherwise.
std::string ValidatorComplaint(const fs::path& file) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(QStringLiteral("desktop-file-validate"), {QString::fromStdString(file.string())});
  if (!p.waitForFinished(30000)) return "desktop-file-validate did not finish";
  const std::string said = p.readAll().toStdString();
  return p.exitCode() == 0 && said.find("error") == std::string::npos ? std::string() : said;
}

struct XdgEntry : ::testing::Test {
  fs::path base = testsupport::TestDir("shell/autostart");
  EnvVar configHome{"XDG_CONFIG_HOME"}, home{"HOME"};
};

TEST_F(XdgEntry, WrittenReadBackSwitchedOffRewrittenAndRemoved) {
  configHome.Set(base / "deep" / "config");  // no part of it exists yet
  const fs::path program = base / "my apps" / "Tavolen";
  const fs::path folder = base / "deep" / "config" / "autostart";
  const fs::path file = folder / "tavolen.desktop";
  auto entry = SystemAutostartEntry(program);
  EXPECT_FALSE(entry->On());
  ASSERT_TRUE(entry->TurnOn());
  EXPECT_EQ(ReadFileBytes(file), *AutostartDesktopEntry(program.string()));
  EXPECT_TRUE(entry->On());
  // Another copy of the program is not started by this entry.
  EXPECT_FALSE(SystemAutostartEntry(base / "other" / "Tavolen")->On());

  // Switched off in the desktop's start-up settings: unchecked; checking switches it on again.
  WriteFileBytes(file, ReadFileBytes(file) + "Hidden=true\n");
  EXPECT_FALSE(entry->On());
  ASSERT_TRUE(entry->TurnOn());
  EXPECT_TRUE(entry->On());
  EXPECT_EQ(Names(folder), std::vector<std::string>{"tavolen.desktop"});  // no temporary file

  ASSERT_TRUE(entry->TurnOff());
  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(entry->On());
  EXPECT_TRUE(entry->TurnOff());  // nothing to remove is no failure
}

TEST_F(XdgEntry, WithoutXdgConfigHomeTheHomesConfigFolderIsUsed) {
  home.Set(base / "home");
  for (const bool relative : {false, true}) {
    if (relative)
      setenv("XDG_CONFIG_HOME", "config", 1);  // invalid, ignored
    else
      configHome.Unset();
    auto entry = SystemAutostartEntry("/opt/Tavolen/Tavolen");
    ASSERT_TRUE(entry->TurnOn());
    EXPECT_TRUE(fs::is_regular_file(base / "home" / ".config" / "autostart" / "tavolen.desktop"));
    EXPECT_TRUE(entry->On());
    ASSERT_TRUE(entry->TurnOff());
    EXPECT_FALSE(fs::exists(base / "home" / ".config" / "autostart" / "tavolen.desktop"));
  }
}

TEST_F(XdgEntry, AFolderThatCannotBeMadeIsAReason) {
  configHome.Set(base / "config");
  fs::create_directories(base / "config");
  WriteFileBytes(base / "config" / "autostart", "a file where the folder belongs");
  auto entry = SystemAutostartEntry("/opt/Tavolen/Tavolen");
  const AutostartStatus st = entry->TurnOn();
  EXPECT_FALSE(st);
  EXPECT_NE(st.reason.find(Sj("フォルダを作成できませんでした")), std::string::npos);
  EXPECT_NE(st.reason.find(PathText(base / "config" / "autostart")), std::string::npos);
  EXPECT_FALSE(entry->On());
}

TEST_F(XdgEntry, TheWrittenEntryPassesDesktopFileValidate) {
  if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
    GTEST_SKIP() << "desktop-file-validate is not installed (Debian package desktop-file-utils)";
  configHome.Set(base / "config");
  // A plain path, and one with every character Exec must quote or escape.
  for (const fs::path& program :
       {fs::path("/usr/bin/Tavolen"), base / "My $Apps" / "\"q\" `b` a\\b 100% 競馬" / "Tavolen"}) {
    ASSERT_TRUE(SystemAutostartEntry(program)->TurnOn());
    EXPECT_EQ(ValidatorComplaint(base / "config" / "autostart" / "tavolen.desktop"), "") << program;
  }
}

// ---- The real program ----

// The processes running the program file exe (a copy of the program of this test's own).
std::vector<pid_t> ProcessesOf(const fs::path& exe) {
  std::vector<pid_t> out;
  std::error_code ec;
  for (const auto& d : fs::directory_iterator("/proc", ec)) {
    const std::string name = d.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code linkEc;
    if (fs::read_symlink(d.path() / "exe", linkEc) == exe && !linkEc)
      out.push_back(static_cast<pid_t>(std::stol(name)));
  }
  return out;
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  return done();
}

// The program copied into a folder of its own (portable: its files appear beside it), a
// throwaway home and configuration folder, and a short runtime folder for the lock and socket.
struct RealProgramAtSignIn : ::testing::Test {
  fs::path base = testsupport::TestDir("shell/autostart-run");
  // Exec must quote and escape it. (Not a "%": GLib's launcher refuses an entry whose program
  // path holds one, although "%%" is how desktop entries write it.)
  fs::path appDir = base / "app $folder";
  fs::path exe;
  QTemporaryDir run{QDir::tempPath() + QStringLiteral("/tvl-XXXXXX")};
  EnvVar configHome{"XDG_CONFIG_HOME"};

  void SetUp() override {
    fs::create_directories(appDir);
    fs::create_directories(base / "home");
    fs::copy_file(TAVOLEN_EXE, appDir / "Tavolen");
    exe = fs::canonical(appDir / "Tavolen");
    configHome.Set(base / "config");
  }
  // A copy left by a failed check is ended too.
  void TearDown() override {
    for (pid_t pid : ProcessesOf(exe)) End(pid);
  }
  fs::path RunDir() const { return run.path().toStdString(); }
  QProcessEnvironment Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    auto set = [&env](const char* name, const fs::path& value) {
      env.insert(QString::fromLatin1(name), QString::fromStdString(value.string()));
    };
    set("HOME", base / "home");
    set("XDG_CONFIG_HOME", base / "config");
    set("XDG_DATA_HOME", base / "home" / ".local" / "share");
    set("XDG_RUNTIME_DIR", RunDir());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
  }
  // Runs the entry's command as the desktop's session does: `gio launch` (GLib's desktop entry
  // launcher) where it is installed, otherwise the program with the argument.
  void RunEntry(const fs::path& entry, const fs::path& errorOutput) {
    QProcess p;
    p.setProcessEnvironment(Environment());
    p.setWorkingDirectory(QString::fromStdString(base.string()));
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QString::fromStdString(errorOutput.string()));
    if (QStandardPaths::findExecutable(QStringLiteral("gio")).isEmpty()) {
      p.setProgram(QString::fromStdString(exe.string()));
      p.setArguments({QString::fromLatin1(kAtSignInArgument)});
      ASSERT_TRUE(p.startDetached());
      return;
    }
    p.start(QStringLiteral("gio"),
            {QStringLiteral("launch"), QString::fromStdString(entry.string())});
    ASSERT_TRUE(p.waitForFinished(20000));
    ASSERT_EQ(p.exitCode(), 0) << ReadFileBytes(errorOutput);
  }
  static void End(pid_t pid) {
    ::kill(pid, SIGTERM);
    if (!WaitUntil([pid] { return ::kill(pid, 0) != 0; }, 10000)) ::kill(pid, SIGKILL);
  }
};

TEST_F(RealProgramAtSignIn, TheEntrysCommandStartsItResidentAndASecondStartLeavesItThere) {
  ASSERT_TRUE(run.isValid());
  ASSERT_TRUE(SystemAutostartEntry(exe)->TurnOn());
  const fs::path entry = base / "config" / "autostart" / "tavolen.desktop";
  const fs::path firstErr = base / "first.err", secondErr = base / "second.err";

  RunEntry(entry, firstErr);
  ASSERT_TRUE(WaitUntil(
      [&] { return ReadFileBytes(firstErr).find("ログイン時の起動：") != std::string::npos; },
      30000))
      << ReadFileBytes(firstErr);
  const std::vector<pid_t> first = ProcessesOf(exe);
  ASSERT_EQ(first.size(), 1u) << ReadFileBytes(firstErr);
  // In operation: its start lines written, the lock held, the running copy's socket answering.
  EXPECT_EQ(ReadFileBytes(appDir / "ErrorLog.txt").rfind(Sj("ソフト起動："), 0), 0u);
  EXPECT_TRUE(SingleInstance(kInstanceName, RunDir()).AlreadyRunning());
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString((RunDir() / "quorrintavolenhenko.show").string()));
  EXPECT_TRUE(socket.waitForConnected(5000));
  socket.abort();
  // No window shown: offscreen has no tray, so it is minimised; and no box of ours waited.
  const std::string said = ReadFileBytes(firstErr);
  EXPECT_TRUE(said.find("タスクトレイで常駐します") != std::string::npos ||
              said.find("ウィンドウを最小化しました") != std::string::npos)
      << said;
  EXPECT_EQ(said.find("ウィンドウを表示しました"), std::string::npos) << said;
  EXPECT_EQ(said.find("[box]"), std::string::npos) << said;

  // The session runs the entry again (a second desktop session, a double entry): that copy ends
  // quietly, and the first runs on.
  RunEntry(entry, secondErr);
  EXPECT_TRUE(WaitUntil(
      [&] {
        return ReadFileBytes(secondErr).find("本ソフトはすでに起動しています。") !=
                   std::string::npos &&
               ProcessesOf(exe).size() == 1;
      },
      20000))
      << ReadFileBytes(secondErr);
  EXPECT_EQ(ReadFileBytes(secondErr).find("[box]"), std::string::npos);
  EXPECT_EQ(ProcessesOf(exe), first);
  for (pid_t pid : first) End(pid);
  EXPECT_TRUE(ProcessesOf(exe).empty());
}

// The first copy is this test, listening as the program does: a second copy started at sign-in
// does not ask it to show its window; one the user starts does.
TEST_F(RealProgramAtSignIn, OnlyACopyTheUserStartsBringsTheRunningOneForward) {
  ASSERT_TRUE(run.isValid());
  SingleInstance held(kInstanceName, RunDir());
  ASSERT_EQ(held.state(), SingleInstance::State::Acquired);
  int shows = 0;
  InstanceActivation activation;
  ASSERT_TRUE(activation.Listen(ActivationSocketPath(held), [&shows] { ++shows; }));

  for (const bool atSignIn : {true, false}) {
    QProcess p;
    p.setProcessEnvironment(Environment());
    QStringList args;
    if (atSignIn) args << QString::fromLatin1(kAtSignInArgument);
    p.start(QString::fromStdString(exe.string()), args);
    ASSERT_TRUE(p.waitForStarted(10000));
    ASSERT_TRUE(WaitUntil([&p] { return p.state() == QProcess::NotRunning; }, 20000));
    const std::string err = p.readAllStandardError().toStdString();
    EXPECT_NE(err.find("本ソフトはすでに起動しています。"), std::string::npos);
    if (atSignIn) {
      EXPECT_EQ(p.exitCode(), 0);
      EXPECT_EQ(err.find("[box]"), std::string::npos) << err;
      WaitUntil([] { return false; }, 500);  // a request would have arrived by now
      EXPECT_EQ(shows, 0);
    } else {
      EXPECT_EQ(p.exitCode(), 1);
      EXPECT_NE(err.find("[box]"), std::string::npos) << err;
      EXPECT_TRUE(WaitUntil([&shows] { return shows == 1; }, 5000));
    }
  }
  EXPECT_EQ(Names(appDir), std::vector<std::string>{"Tavolen"});  // neither touched a file
}

}  // namespace
}  // namespace tavolen
