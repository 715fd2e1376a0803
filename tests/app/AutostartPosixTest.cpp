// Start at sign-in on Linux: the XDG autostart entry where the environment puts it, and the
// real program started by the entry's command as the desktop's session starts it.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "app/InstanceActivation.h"
#include "app/SingleInstance.h"
#include "automation/Autostart.h"
#include "tests/support/MainWindow.h"

namespace tavolen {
namespace {

using testsupport::ReadFileBytes;

bool WaitUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  return done();
}

// The tests set XDG_CONFIG_HOME and HOME; they are restored afterwards.
struct XdgEntry : ::testing::Test {
  fs::path base = testsupport::TestDir("shell/autostart");
  std::optional<QByteArray> savedConfig = Saved("XDG_CONFIG_HOME"), savedHome = Saved("HOME");
  static std::optional<QByteArray> Saved(const char* name) {
    if (!qEnvironmentVariableIsSet(name)) return std::nullopt;
    return qgetenv(name);
  }
  static void Restore(const char* name, const std::optional<QByteArray>& value) {
    if (value)
      qputenv(name, *value);
    else
      qunsetenv(name);
  }
  void TearDown() override {
    Restore("XDG_CONFIG_HOME", savedConfig);
    Restore("HOME", savedHome);
  }
};

TEST_F(XdgEntry, WrittenReadBackSwitchedOffRewrittenRemovedAndValid) {
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((base / "new" / "config").string()));
  const fs::path program = base / "My $Apps" / "\"q\" `b` a\\b 100% 競馬" / "Tavolen";
  const fs::path file = base / "new" / "config" / "autostart" / "tavolen.desktop";
  auto entry = SystemAutostartEntry(program);
  EXPECT_FALSE(entry->On());
  ASSERT_TRUE(entry->TurnOn());  // the folders made as well
  EXPECT_EQ(ReadFileBytes(file), *AutostartDesktopEntry(program.string()));
  EXPECT_TRUE(entry->On());
  EXPECT_FALSE(SystemAutostartEntry(base / "Tavolen")->On());  // another copy's entry

  testsupport::WriteFileBytes(file, ReadFileBytes(file) + "Hidden=true\n");
  EXPECT_FALSE(entry->On());
  ASSERT_TRUE(entry->TurnOn());
  EXPECT_TRUE(entry->On());
  EXPECT_EQ(testsupport::Names(file.parent_path()), std::vector<std::string>{"tavolen.desktop"});

  ASSERT_TRUE(entry->TurnOff());
  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(entry->On());
  EXPECT_TRUE(entry->TurnOff());  // nothing to remove is no failure

  // A file where the folder belongs is a reason.
  testsupport::WriteFileBytes(base / "new" / "config" / "autostart2", "");
  qputenv("XDG_CONFIG_HOME",
          QByteArray::fromStdString((base / "new" / "config" / "autostart2").string()));
  const AutostartStatus st = SystemAutostartEntry(program)->TurnOn();
  EXPECT_NE(st.reason.find(Sj("フォルダを作成できませんでした")), std::string::npos);

  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((base / "new" / "config").string()));
  ASSERT_TRUE(entry->TurnOn());
  if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
    GTEST_SKIP() << "not validated: desktop-file-validate is not installed (desktop-file-utils)";
  QProcess validate;
  validate.setProcessChannelMode(QProcess::MergedChannels);
  validate.start(QStringLiteral("desktop-file-validate"), {QString::fromStdString(file.string())});
  ASSERT_TRUE(validate.waitForFinished(30000));
  EXPECT_EQ(validate.readAll().toStdString(), "");
  EXPECT_EQ(validate.exitCode(), 0);
}

TEST_F(XdgEntry, WithoutAnAbsoluteXdgConfigHomeTheHomesConfigIsUsed) {
  qputenv("HOME", QByteArray::fromStdString((base / "home").string()));
  for (const char* config : {"", "relative/config"}) {
    qputenv("XDG_CONFIG_HOME", config);
    ASSERT_TRUE(SystemAutostartEntry("/opt/Tavolen/Tavolen")->TurnOn()) << config;
    EXPECT_TRUE(fs::exists(base / "home" / ".config" / "autostart" / "tavolen.desktop"));
    ASSERT_TRUE(SystemAutostartEntry("/opt/Tavolen/Tavolen")->TurnOff());
  }
}

// The processes running the program file exe (a copy of this test's own).
std::vector<pid_t> ProcessesOf(const fs::path& exe) {
  std::vector<pid_t> out;
  std::error_code ec;
  for (const auto& d : fs::directory_iterator("/proc", ec)) {
    std::error_code linkEc;
    if (fs::read_symlink(d.path() / "exe", linkEc) == exe && !linkEc)
      out.push_back(static_cast<pid_t>(std::stol(d.path().filename().string())));
  }
  return out;
}

// The program copied into a portable folder of its own, a throwaway home and configuration
// folder, and a short runtime folder for the lock and the socket.
struct RealProgramAtSignIn : XdgEntry {
  // Exec quotes and escapes it. (Not a "%": GLib's launcher refuses an entry whose program path
  // holds one, although "%%" is how desktop entries write it.)
  fs::path appDir = base / "app $folder";
  fs::path exe;
  QTemporaryDir run{QDir::tempPath() + QStringLiteral("/tvl-XXXXXX")};

  void SetUp() override {
    fs::create_directories(appDir);
    fs::copy_file(TAVOLEN_EXE, appDir / "Tavolen");
    exe = fs::canonical(appDir / "Tavolen");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((base / "config").string()));
  }
  void TearDown() override {
    for (pid_t pid : ProcessesOf(exe)) {  // also a copy left by a failed check
      ::kill(pid, SIGTERM);
      if (!WaitUntil([pid] { return ::kill(pid, 0) != 0; }, 10000)) ::kill(pid, SIGKILL);
    }
    XdgEntry::TearDown();
  }
  void Prepare(QProcess& p) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), QString::fromStdString((base / "home").string()));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QString::fromStdString(base.string()));
  }
  // Runs the entry as the desktop's session does: GLib's desktop entry launcher where it is
  // installed, otherwise the program with the argument.
  void RunEntry(const fs::path& entry, const fs::path& errorOutput) {
    QProcess p;
    Prepare(p);
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
};

TEST_F(RealProgramAtSignIn, TheEntrysCommandStartsItResident) {
  ASSERT_TRUE(run.isValid());
  ASSERT_TRUE(SystemAutostartEntry(exe)->TurnOn());
  // What checking "ログイン時に起動する" writes besides the entry: the meeting day watched by
  // itself.
  testsupport::WriteFileBytes(appDir / "Tavolen.ini", "[Auto]\r\nwatch=1\r\n");
  const fs::path entry = base / "config" / "autostart" / "tavolen.desktop";
  const fs::path errorOutput = base / "error-output.txt";

  RunEntry(entry, errorOutput);
  ASSERT_TRUE(WaitUntil(
      [&] { return ReadFileBytes(errorOutput).find("ログイン時の起動：") != std::string::npos; },
      30000))
      << ReadFileBytes(errorOutput);
  ASSERT_EQ(ProcessesOf(exe).size(), 1u);
  // In operation: the start lines written, the lock held, the running copy's socket answering;
  // no window shown (offscreen has no tray: minimised) and no box of ours.
  EXPECT_EQ(ReadFileBytes(appDir / "ErrorLog.txt").rfind(Sj("ソフト起動："), 0), 0u);
  EXPECT_TRUE(SingleInstance(kInstanceName, run.path().toStdString()).AlreadyRunning());
  // The socket listens once the start is over, a moment after the note above.
  EXPECT_TRUE(WaitUntil(
      [&] {
        QLocalSocket socket;
        socket.connectToServer(run.path() + QStringLiteral("/quorrintavolenhenko.show"));
        const bool connected = socket.waitForConnected(1000);
        socket.abort();
        return connected;
      },
      15000));
  const std::string said = ReadFileBytes(errorOutput);
  EXPECT_NE(said.find("ウィンドウを最小化しました"), std::string::npos) << said;
  EXPECT_EQ(said.find("[box]"), std::string::npos) << said;
  // Without a click it fetched today's race data (the stand-in's demo day is today) and loaded
  // today, which the error log records.
  const QDate today = QDate::currentDate();
  const std::string todayKey = QStringLiteral("%1年%2月%3日")
                                   .arg(today.year(), 4, 10, QLatin1Char('0'))
                                   .arg(today.month(), 2, 10, QLatin1Char('0'))
                                   .arg(today.day(), 2, 10, QLatin1Char('0'))
                                   .toStdString();
  const auto fetchedToday = [&] {
    std::error_code ec;
    for (const auto& f : fs::directory_iterator(appDir / "Data", ec))
      if (f.path().filename().string().starts_with(todayKey) && f.path().extension() == ".jvRA")
        return true;
    return false;
  };
  EXPECT_TRUE(WaitUntil(fetchedToday, 60000)) << ReadFileBytes(errorOutput);
  EXPECT_TRUE(WaitUntil(
      [&] {
        return ReadFileBytes(appDir / "ErrorLog.txt").find(Sj("【記録】")) != std::string::npos;
      },
      30000))
      << SjisToUtf8(ReadFileBytes(appDir / "ErrorLog.txt"));
}

// The first copy is this test, listening as the program does: a second copy started at sign-in
// does not ask it to show its window; one the user starts does.
TEST_F(RealProgramAtSignIn, OnlyACopyTheUserStartsBringsTheRunningOneForward) {
  ASSERT_TRUE(run.isValid());
  SingleInstance held(kInstanceName, run.path().toStdString());
  ASSERT_EQ(held.state(), SingleInstance::State::Acquired);
  int shows = 0;
  InstanceActivation activation;
  ASSERT_TRUE(activation.Listen(ActivationSocketPath(held), [&shows] { ++shows; }));

  for (const bool atSignIn : {true, false}) {
    QProcess p;
    Prepare(p);
    p.start(QString::fromStdString(exe.string()),
            atSignIn ? QStringList{QString::fromLatin1(kAtSignInArgument)} : QStringList{});
    ASSERT_TRUE(WaitUntil([&p] { return p.state() == QProcess::NotRunning; }, 20000));
    const std::string err = p.readAllStandardError().toStdString();
    EXPECT_NE(err.find("本ソフトはすでに起動しています。"), std::string::npos);
    EXPECT_EQ(err.find("[box]") != std::string::npos, !atSignIn) << err;
    EXPECT_EQ(p.exitCode(), atSignIn ? 0 : 1);
    EXPECT_EQ(WaitUntil([&shows] { return shows == 1; }, atSignIn ? 500 : 5000), !atSignIn);
  }
  EXPECT_EQ(testsupport::Names(appDir), std::vector<std::string>{"Tavolen"});
}

}  // namespace
}  // namespace tavolen
