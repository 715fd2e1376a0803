// Kills a process that writes race, change, renew, settings and log files at many random
// moments, and checks after each kill that every file is whole and holds exactly what the same
// writes, run without a kill to the same point, leave: the old contents or the new, never a mix
// and never a loss. A restart's clean-up then removes every temporary file left behind.
//
// TAVOLEN_CRASH_SEED fixes the seed (it is printed on every run); TAVOLEN_CRASH_KILLS sets the
// number of kills (default 200).
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "changes/AnnouncementMemory.h"
#include "jvlink/FileIO.h"
#include "tests/reliability/CrashLogic.h"
#include "tests/reliability/CrashOps.h"

namespace tavolen {
namespace {

using namespace tavolen::reliability;

bool IsTemp(const std::string& name) {
  return name.ends_with(std::string(kTempSuffix));
}

Snapshot WithoutTemps(const Snapshot& s) {
  Snapshot out;
  for (const auto& [name, bytes] : s)
    if (!IsTemp(name)) out.emplace(name, bytes);
  return out;
}

int CountTemps(const Snapshot& s) {
  int n = 0;
  for (const auto& [name, bytes] : s) n += IsTemp(name);
  return n;
}

unsigned char Fold(unsigned char c) {
  return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

// Change-file order: byte order, ASCII letters without case.
bool ChangeOrderLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return Fold(static_cast<unsigned char>(x)) < Fold(static_cast<unsigned char>(y));
  });
}

std::string ChangeFileProblem(std::string_view ext, std::string_view text) {
  std::vector<std::string> lines;
  if (!CrLfLines(text, lines)) return "line ends";
  size_t size = 0;
  bool sorted = true;  // AV lines replaced in place may leave the order; the others may not
  std::string (*key)(const std::string&) = nullptr;
  if (ext == ".jvWE") {
    key = [](const std::string& l) { return l.substr(11, 23); };
  } else if (ext == ".jvAV") {
    size = 78, sorted = false;
    key = [](const std::string& l) { return l.substr(11, 16) + l.substr(35, 2); };
  } else if (ext == ".jvJC") {
    size = 161;
    key = [](const std::string& l) { return l; };
  } else {
    size = ext == ".jvTC" ? 45 : 50;
    key = [](const std::string& l) { return l.substr(11, 16); };
  }
  std::set<std::string> keys;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (size ? lines[i].size() != size - 2 : lines[i].size() < 34) return "record length";
    if (sorted && i > 0 && ChangeOrderLess(lines[i], lines[i - 1])) return "order";
    if (!keys.insert(key(lines[i])).second) return "two lines of one identity key";
  }
  return {};
}

// What is wrong with the files of an application folder; empty when every file keeps its shape.
std::vector<std::string> ShapeProblems(const fs::path& app, const Snapshot& s) {
  std::vector<std::string> problems;
  auto note = [&](const std::string& name, const std::string& what) {
    if (!what.empty()) problems.push_back(name + ": " + what);
  };
  static const std::string logPrefix = Sj("【エラー】");
  for (const auto& [name, bytes] : s) {
    if (IsTemp(name) || name == "Data") continue;
    const std::string ext = fs::path(name).extension().string();
    std::vector<std::string> lines;
    if (name == std::string(kCrashSettingsName)) {
      if (!CrLfLines(bytes, lines)) note(name, "line ends");
      for (const auto& l : lines)
        if (!(l.starts_with("[") && l.ends_with("]")) && l.find('=') == std::string::npos)
          note(name, "a line that is neither a section nor a key");
      const int interval = IniFile(app / name).ReadInteger("Time", "AutoRdataGet", 5);
      if (interval < 2 || interval > 59) note(name, "interval out of range");
    } else if (name == "ErrorLog.txt") {
      if (!CrLfLines(bytes, lines)) note(name, "line ends");
      for (const auto& l : lines)
        if (!l.starts_with(logPrefix)) note(name, "a line that is not an error line");
    } else if (!name.starts_with("Data/")) {
      note(name, "unexpected file");
    } else if (ext == ".jvRA") {
      note(name, DayFileProblem(bytes));
    } else if (ext == ".jvSEr") {
      note(name, EntryFileProblem(bytes));
    } else if (ext == ".renew") {
      if (!CrLfLines(bytes, lines) || lines.size() != 5) note(name, "not five lines");
    } else if (ext == ".announced") {
      // The memory of announced changes: its header line, then one change a line.
      if (!CrLfLines(bytes, lines) || lines.empty() || lines[0] != kAnnouncedHeader)
        note(name, "no memory of announced changes");
    } else if (ext == ".jvWE" || ext == ".jvAV" || ext == ".jvJC" || ext == ".jvTC" ||
               ext == ".jvCC") {
      note(name, ChangeFileProblem(ext, bytes));
    } else {
      note(name, "unexpected file");
    }
  }
  return problems;
}

std::vector<std::string> Differences(const Snapshot& a, const Snapshot& b) {
  std::vector<std::string> out;
  for (const auto& [name, bytes] : a)
    if (!b.count(name) || b.at(name) != bytes) out.push_back(name);
  for (const auto& [name, bytes] : b)
    if (!a.count(name)) out.push_back(name);
  return out;
}

struct DriverRun {
  uint64_t completed = 0;  // the last count the driver reported
  bool killed = false;
  int exitCode = 0;
  bool ready = false;           // the driver got as far as its first write
  long long awaitedMicros = 0;  // from its first write to the last awaited report
};

// Starts the driver from index `first`; once it is ready and has reported `reports` operations,
// waits `delay`, kills it and returns what it reported. A negative delay lets it run to its end.
// A limit above 0 ends the run after that many operations.
DriverRun RunAndKill(const fs::path& app, const char* stream, uint64_t seed, uint64_t first,
                     std::chrono::microseconds delay, uint64_t limit = 0, int reports = 0) {
  int fds[2];
  if (pipe(fds) != 0) return {first, false, -1};
  const std::string seedText = std::to_string(seed), firstText = std::to_string(first);
  const std::string limitText = std::to_string(limit);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    if (limit > 0)
      execl(TAVOLEN_CRASH_DRIVER, TAVOLEN_CRASH_DRIVER, app.c_str(), stream, seedText.c_str(),
            firstText.c_str(), limitText.c_str(), static_cast<char*>(nullptr));
    else
      execl(TAVOLEN_CRASH_DRIVER, TAVOLEN_CRASH_DRIVER, app.c_str(), stream, seedText.c_str(),
            firstText.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // The delay counts from the driver's first write on, or from the last awaited report.
  std::string out;
  char buf[4096];
  ssize_t n;
  const auto reportsSeen = [&out] {
    const size_t ready = out.find("ready\n");
    if (ready == std::string::npos) return -1;
    return static_cast<int>(
        std::count(out.begin() + static_cast<long>(ready) + 6, out.end(), '\n'));
  };
  std::chrono::steady_clock::time_point readyAt;
  while (reportsSeen() < reports) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0 || (n = read(fds[0], buf, sizeof buf)) <= 0) break;
    const bool wasReady = reportsSeen() >= 0;
    out.append(buf, static_cast<size_t>(n));
    if (!wasReady && reportsSeen() >= 0) readyAt = std::chrono::steady_clock::now();
  }
  const long long awaited = std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::steady_clock::now() - readyAt)
                                .count();
  if (delay.count() >= 0) {
    std::this_thread::sleep_for(delay);
    kill(pid, SIGKILL);
  }
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  int status = 0;
  waitpid(pid, &status, 0);
  close(fds[0]);

  DriverRun run{first, WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL,
                WIFEXITED(status) ? WEXITSTATUS(status) : 0};
  run.awaitedMicros = awaited;
  // The last whole line after "ready" is the last completed count.
  const size_t ready = out.find("ready\n");
  run.ready = ready != std::string::npos;
  const size_t end = out.rfind('\n');
  if (run.ready && end > ready + 5) {
    const size_t start = out.rfind('\n', end - 1);
    run.completed = std::stoull(out.substr(start + 1, end - start - 1));
  }
  return run;
}

uint64_t EnvNumber(const char* name, uint64_t def) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtoull(v, nullptr, 10) : def;
}

void KillAgainAndAgain(CrashStream stream, uint64_t defaultKills) {
  const char* streamName = stream == CrashStream::StandIn ? "standin" : "mixed";
  const uint64_t seed = EnvNumber("TAVOLEN_CRASH_SEED", std::random_device{}());
  const uint64_t kills = EnvNumber("TAVOLEN_CRASH_KILLS", defaultKills);
  std::printf("crash test (%s stream) seed %llu (TAVOLEN_CRASH_SEED=%llu to repeat), %llu kills\n",
              streamName, static_cast<unsigned long long>(seed),
              static_cast<unsigned long long>(seed), static_cast<unsigned long long>(kills));
  SCOPED_TRACE("seed " + std::to_string(seed));
  const fs::path victim = FreshApp(std::string("crash-victim-") + streamName);
  const fs::path model = FreshApp(std::string("crash-model-") + streamName);
  std::mt19937_64 random(seed);

  uint64_t next = 0;     // the first operation of the next run
  uint64_t modelAt = 0;  // operations applied to the model folder
  int tempKills = 0, removedTemps = 0, unreported = 0;
  // How long an operation took so far, measured between the driver's reports.
  long long measuredMicros = 0, measuredOps = 0;
  const auto started = std::chrono::steady_clock::now();
  for (uint64_t k = 0; k < kills; ++k) {
    SCOPED_TRACE("kill " + std::to_string(k) + " after operation " + std::to_string(next));
    // The kill follows the driver's progress, so that it falls among the operations on a fast
    // machine and a slow one alike: after 0 to 3 reported operations, at a random moment of
    // the next one (up to twice the mean time an operation has taken here so far).
    const int reports = static_cast<int>(random() % 4);
    const long long mean = measuredOps ? measuredMicros / measuredOps : 1000;
    const auto delay = std::chrono::microseconds(random() % static_cast<uint64_t>(2 * mean + 1));
    const DriverRun run = RunAndKill(victim, streamName, seed, next, delay, 0, reports);
    ASSERT_TRUE(run.killed) << "the driver ended by itself, code " << run.exitCode;
    ASSERT_TRUE(run.ready) << "the driver did not start";
    ASSERT_GE(run.completed, next + static_cast<uint64_t>(reports))
        << "the driver was killed before the operations it reported";
    if (reports > 0) {
      measuredMicros += run.awaitedMicros;
      measuredOps += reports;
    }

    const Snapshot killed = TakeSnapshot(victim);
    const std::vector<std::string> problems = ShapeProblems(victim, killed);
    ASSERT_TRUE(problems.empty()) << problems.front();

    // The killed folder must be the stream's state after the reported operations, or after one
    // more (done but not yet reported).
    while (modelAt < run.completed) ASSERT_TRUE(ApplyCrashOp(model, stream, seed, modelAt++));
    const Snapshot files = WithoutTemps(killed);
    Snapshot expected = TakeSnapshot(model);
    if (files != expected) {
      ASSERT_TRUE(ApplyCrashOp(model, stream, seed, modelAt++));
      const Snapshot oneMore = TakeSnapshot(model);
      const std::vector<std::string> diff = Differences(files, oneMore);
      ASSERT_TRUE(diff.empty()) << "after operation " << run.completed << " the folder is "
                                << "neither the old state nor the new one; first difference: "
                                << diff.front() << " (" << Differences(files, expected).size()
                                << " files differ from "
                                << "the old state)";
      ++unreported;
    }
    next = modelAt;

    // A restart removes what a killed write left behind, and only that.
    const int temps = CountTemps(killed);
    tempKills += temps > 0;
    const int removed = RemoveStaleTempFiles(victim) + RemoveStaleTempFiles(victim / "Data");
    EXPECT_EQ(removed, temps);
    removedTemps += removed;
    EXPECT_EQ(TakeSnapshot(victim), files);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf(
      "%llu kills in %.1f s, %llu operations completed (%.2f ms each); %d kills left a "
      "temporary file (%d removed at restart), %d kills fell after a write and before its "
      "report; no file torn or lost\n",
      static_cast<unsigned long long>(kills), seconds, static_cast<unsigned long long>(next),
      measuredOps ? measuredMicros / 1000.0 / static_cast<double>(measuredOps) : 0.0, tempKills,
      removedTemps, unreported);
}

// The files of the logic stream's application folder without the stand-in's own folder.
Snapshot ProgramFiles(const Snapshot& s) {
  Snapshot out;
  for (const auto& [name, bytes] : s)
    if (!name.starts_with(std::string(kLogicStandInFolder))) out.emplace(name, bytes);
  return out;
}

// The race files of a folder: day files and entry files.
Snapshot RaceFilesOf(const Snapshot& s) {
  Snapshot out;
  for (const auto& [name, bytes] : s)
    if (name.ends_with(".jvRA") || name.ends_with(".jvSEr")) out.emplace(name, bytes);
  return out;
}

// The shape problems of the logic stream's files. Its error log also holds start lines, and a
// renew file may be written empty, so those two are checked here and the rest as above.
std::vector<std::string> LogicShapeProblems(const fs::path& app, const Snapshot& s) {
  Snapshot rest;
  std::vector<std::string> problems;
  for (const auto& [name, bytes] : s) {
    std::vector<std::string> lines;
    if (name == "ErrorLog.txt") {
      if (!CrLfLines(bytes, lines)) problems.push_back(name + ": line ends");
    } else if (name.ends_with(".renew") && !IsTemp(name)) {
      if (!CrLfLines(bytes, lines) || (lines.size() != 0 && lines.size() != 5))
        problems.push_back(name + ": neither empty nor five lines");
    } else {
      rest.emplace(name, bytes);
    }
  }
  for (std::string& p : ShapeProblems(app, rest)) problems.push_back(std::move(p));
  return problems;
}

// The program's own acquisition and change checks over the stand-in's demo day, killed at a
// random moment of the day; after every kill the files keep their shapes, a restart leaves no
// temporary file, and running on from the last reported step ends with the race files of an
// uncrashed day.
TEST(CrashSafety, AcquisitionAndChangeChecksKilledAtRandomMoments) {
  const uint64_t seed = EnvNumber("TAVOLEN_CRASH_SEED", std::random_device{}());
  const uint64_t kills = EnvNumber("TAVOLEN_CRASH_KILLS", 60);
  std::printf(
      "crash test (logic stream) seed %llu (TAVOLEN_CRASH_SEED=%llu to repeat), %llu kills\n",
      static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed),
      static_cast<unsigned long long>(kills));
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937_64 random(seed);

  // The uncrashed day, timed in its two parts: the acquisition (step 0), kept as the starting
  // folder of the kills among the change checks, and the change checks.
  const fs::path model = FreshApp("crash-model-logic");
  const auto micros = [](auto from) {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 from)
        .count();
  };
  auto t0 = std::chrono::steady_clock::now();
  const DriverRun acquired = RunAndKill(model, "logic", seed, 0, std::chrono::microseconds(-1), 1);
  const long long acquisitionLength = micros(t0);
  ASSERT_TRUE(acquired.ready);
  ASSERT_EQ(acquired.exitCode, 0);
  ASSERT_EQ(acquired.completed, 1u);
  const fs::path afterAcquisition = FreshApp("crash-acquired-logic");
  fs::copy(model, afterAcquisition,
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  t0 = std::chrono::steady_clock::now();
  const DriverRun whole = RunAndKill(model, "logic", seed, 1, std::chrono::microseconds(-1));
  const long long checksLength = micros(t0);
  ASSERT_EQ(whole.exitCode, 0);
  ASSERT_EQ(whole.completed, kLogicOps);
  const Snapshot modelFiles = ProgramFiles(TakeSnapshot(model));
  const std::vector<std::string> modelProblems = LogicShapeProblems(model, modelFiles);
  ASSERT_TRUE(modelProblems.empty()) << modelProblems.front();
  const Snapshot expectedRace = RaceFilesOf(modelFiles);
  ASSERT_GE(expectedRace.size(), 2u) << "the uncrashed day stored no race files";
  for (const char* ext : {".jvWE", ".jvAV", ".jvTC", ".renew"})
    EXPECT_TRUE(modelFiles.count("Data/" + DateName("20240106") + ext))
        << "the uncrashed day wrote no " << ext << " file";

  std::vector<int> killedAt(kLogicOps + 1, 0);
  int tempKills = 0;
  const auto started = std::chrono::steady_clock::now();
  for (uint64_t k = 0; k < kills; ++k) {
    SCOPED_TRACE("kill " + std::to_string(k));
    // Every third kill falls in the acquisition, the others among the change checks.
    const bool inAcquisition = k % 3 == 0;
    const fs::path victim = FreshApp("crash-victim-logic");
    if (!inAcquisition)
      fs::copy(afterAcquisition, victim,
               fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const long long span = std::max(inAcquisition ? acquisitionLength : checksLength, 1000LL);
    const auto delay = std::chrono::microseconds(random() % static_cast<uint64_t>(span));
    const DriverRun run = RunAndKill(victim, "logic", seed, inAcquisition ? 0 : 1, delay);
    ASSERT_TRUE(run.ready) << "the driver did not start";
    ASSERT_TRUE(run.killed || (run.exitCode == 0 && run.completed == kLogicOps))
        << "the driver failed, code " << run.exitCode;
    ++killedAt[run.completed];

    const Snapshot killed = ProgramFiles(TakeSnapshot(victim));
    const std::vector<std::string> problems = LogicShapeProblems(victim, killed);
    ASSERT_TRUE(problems.empty()) << "after step " << run.completed << ": " << problems.front();

    // A restart removes what a killed write left behind.
    tempKills += CountTemps(killed) > 0;
    RemoveStaleTempFiles(victim);
    RemoveStaleTempFiles(victim / "Data");
    EXPECT_EQ(CountTemps(ProgramFiles(TakeSnapshot(victim))), 0);

    // Running on from the last reported step ends the day as if nothing had happened.
    const DriverRun rest =
        RunAndKill(victim, "logic", seed, run.completed, std::chrono::microseconds(-1));
    ASSERT_EQ(rest.exitCode, 0) << "the rerun from step " << run.completed << " failed";
    ASSERT_EQ(rest.completed, kLogicOps);
    const Snapshot after = ProgramFiles(TakeSnapshot(victim));
    const std::vector<std::string> afterProblems = LogicShapeProblems(victim, after);
    ASSERT_TRUE(afterProblems.empty()) << afterProblems.front();
    const std::vector<std::string> diff = Differences(RaceFilesOf(after), expectedRace);
    ASSERT_TRUE(diff.empty()) << "killed after step " << run.completed
                              << ", the rerun ends with another " << diff.front();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  int duringAcquisition = killedAt[0], beforeEnd = 0;
  for (uint64_t i = 1; i < kLogicOps; ++i) beforeEnd += killedAt[i];
  std::printf(
      "%llu kills in %.1f s (acquisition %.0f ms, change checks %.0f ms): %d during the "
      "acquisition, %d during the "
      "change checks, %d after the last; %d left a temporary file; no file torn, every rerun "
      "ended with the uncrashed race files\n",
      static_cast<unsigned long long>(kills), seconds, acquisitionLength / 1000.0,
      checksLength / 1000.0, duringAcquisition, beforeEnd, killedAt[kLogicOps], tempKills);
  EXPECT_GT(beforeEnd, 0) << "no kill fell among the change checks";
}

// The JV-Link stand-in's demo race day, stored record by record as it is delivered.
TEST(CrashSafety, StoringTheStandInDayKilledAtRandomMoments) {
  ASSERT_FALSE(StandInDayRecords().empty());
  std::printf("the stand-in's demo day: %zu records\n", StandInDayRecords().size());
  KillAgainAndAgain(CrashStream::StandIn, 200);
}

// Two days and two courses of built records, with many replacements and every file kind.
TEST(CrashSafety, MixedWritesKilledAtRandomMoments) {
  KillAgainAndAgain(CrashStream::Mixed, 100);
}

}  // namespace
}  // namespace tavolen
