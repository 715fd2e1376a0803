// The operations of the crash test: a deterministic stream of file writes like those of a race
// day (race records, runner records, change records, the renew file, a setting, an error-log
// line), each a pure function of the stream, a seed and its index, so that a process killed
// part-way can be compared with the same stream run to the same point without being killed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/ErrorLog.h"
#include "base/IniFile.h"
#include "jvlink/ChangeFiles.h"
#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"
#include "jvlink/JVLink.h"
#include "jvlink/Platform.h"
#include "jvlink/RaceFiles.h"
#include "standin/StandIn.h"
#include "tests/reliability/ReliabilityFiles.h"

namespace tavolen::reliability {

inline constexpr std::string_view kCrashSettingsName = "Tavolen.ini";

inline uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// A small generator for the choices of one operation.
struct OpRandom {
  uint64_t state;
  OpRandom(uint64_t seed, uint64_t index) : state(Mix(seed ^ Mix(index))) {}
  int Below(int n) {
    state = Mix(state);
    return static_cast<int>(state % static_cast<uint64_t>(n));
  }
};

// A stamp month-day-hour-minute on the op's day.
inline std::string Stamp(std::string_view date, OpRandom& r) {
  return std::string(date.substr(4, 4)) + TwoDigits(9 + r.Below(8)) + TwoDigits(r.Below(60));
}

// Applies operation `index` of the mixed stream: records built here for two days and two
// courses, renew files, settings and error-log lines. minKind 85 gives only the last three.
inline bool ApplyMixedOp(const fs::path& app, uint64_t seed, uint64_t index, int minKind = 0) {
  OpRandom r(seed, index);
  const fs::path data = app / "Data";
  const std::string date = r.Below(4) ? "20240106" : "20240107";
  const std::string course = r.Below(2) ? "06" : "09";
  const std::string marker(1, static_cast<char>('A' + r.Below(26)));
  const int kind = minKind + r.Below(100 - minKind);
  if (kind < 35) {
    return StoreRaRecord(data, MakeRa(date, course, 1 + r.Below(12), marker)).stored();
  }
  if (kind < 70) {
    const int race = 1 + r.Below(12);
    return StoreSeRecord(data, MakeSe(date, course, race, 1 + r.Below(18), marker)).stored();
  }
  if (kind < 85) {
    std::string record;
    const std::string stamp = Stamp(date, r);
    const int race = 1 + r.Below(12);
    switch (r.Below(5)) {
      case 0:
        record = MakeWe(date, course, stamp, std::string(1, static_cast<char>('1' + r.Below(3))));
        break;
      case 1:
        record = MakeAv(date, race, 1 + r.Below(18), stamp);
        break;
      case 2:
        record = MakeJc(date, race, 1 + r.Below(18), stamp, Sj("キシュ") + marker);
        break;
      case 3:
        record = MakeTc(date, race, stamp, TwoDigits(10 + r.Below(6)) + TwoDigits(r.Below(60)));
        break;
      default:
        record = MakeCc(date, race, stamp);
        break;
    }
    return StoreChangeRecord(data, record).stored();
  }
  if (kind < 90) {
    RenewStamps stamps;
    for (auto& s : stamps) s = r.Below(3) ? Stamp(date, r) : std::string();
    return WriteRenewFile(data / Utf8Path(DateName(date) + ".renew"), stamps).ok;
  }
  if (kind < 95) {
    IniFile ini(app / std::string(kCrashSettingsName));
    if (r.Below(2)) return ini.WriteInteger("Time", "AutoRdataGet", 2 + r.Below(58)).ok;
    return ini.WriteString("locate", "top", std::to_string(r.Below(800))).ok;
  }
  FakeClock clock(LocalDateTime{2024, 1, 6, 9, 0, 0});
  clock.AdvanceSeconds(static_cast<long long>(index % 36000));
  ErrorLog log(app, clock);
  return log.RecordError(Sj("開催速報データ取得中") + std::to_string(index)).ok;
}

// Every record the JV-Link stand-in delivers for its demo race day of 6 January 2024: the
// "RACE" session, then the whole day's "0B14" answer at the end of the day.
inline const std::vector<SjisString>& StandInDayRecords() {
  static const std::vector<SjisString> records = [] {
    std::vector<SjisString> out;
    const fs::path folder =
        fs::temp_directory_path() / ("tavolen-crash-standin-" + std::to_string(ProcessId()));
    FakeClock clock(LocalDateTime{2024, 1, 6, 23, 0, 0});
    {
      StandInJVLink jv(clock, StandInOptions{folder, 0});
      auto readAll = [&] {
        std::u16string buff, name;
        int size = 60000;
        for (int code; (code = jv.JVRead(buff, size, name)) != 0;) {
          if (code > 0) out.push_back(RecordToSjis(buff));
          if (code < -3) break;
        }
        jv.JVClose();
      };
      int readCount = 0, downloadCount = 0;
      std::u16string last;
      if (jv.JVInit(u"UNKNOWN") == 0 &&
          jv.JVOpen(u"RACE", u"20240101000000", 2, readCount, downloadCount, last) == 0) {
        while (jv.JVStatus() < downloadCount) {
        }
        readAll();
      }
      if (jv.JVRTOpen(u"0B14", u"20240106") == 0) readAll();
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return out;
  }();
  return records;
}

// Applies operation `index` of the stand-in stream: the demo day's records in delivery order,
// each stored as the acquisition and the change fetch store it, with a renew, settings or
// error-log write after every seventh, pass after pass.
inline bool ApplyStandInOp(const fs::path& app, uint64_t seed, uint64_t index) {
  if (index % 8 == 7) return ApplyMixedOp(app, seed, index, 85);
  const uint64_t n = index - index / 8;
  const std::vector<SjisString>& records = StandInDayRecords();
  if (records.empty()) return false;
  // Each later pass over the day delivers every race and runner again with a changed name,
  // as a corrected record would arrive, so every store rewrites its file with new bytes.
  SjisString record = records[n % records.size()];
  const char pass = static_cast<char>('0' + n / records.size() % 64);
  const std::string_view type = std::string_view(record).substr(0, 2);
  if (n >= records.size() && type == "RA") record[32] = pass;
  if (n >= records.size() && type == "SE") record[40] = pass;
  const fs::path data = app / "Data";
  if (type == "RA") return !StoreRaRecord(data, record).failed();
  if (type == "SE") return !StoreSeRecord(data, record).failed();
  return !StoreChangeRecord(data, record).failed();
}

enum class CrashStream { Mixed, StandIn };

inline bool ApplyCrashOp(const fs::path& app, CrashStream stream, uint64_t seed, uint64_t index) {
  return stream == CrashStream::StandIn ? ApplyStandInOp(app, seed, index)
                                        : ApplyMixedOp(app, seed, index);
}

}  // namespace tavolen::reliability
