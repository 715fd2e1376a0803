// Builders of change and race records laid out field by field, as the service delivers them.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

#include "jvlink/FileIO.h"
#include "jvlink/Sjis.h"

namespace tavolen::testing {

// The scratch folder of the tests.
inline fs::path TempRoot() {
  const char* base = std::getenv("TAVOLEN_TEST_TMP");
  return fs::path(base ? base : fs::temp_directory_path().string());
}

// An empty folder under the scratch folder.
inline fs::path TempDir(const std::string& name) {
  fs::path dir = TempRoot() / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// A record of length bytes (CR LF included) filled with blanks, ending in CR LF.
inline std::string Blank(size_t length) {
  std::string r(length - 2, ' ');
  return r + "\r\n";
}

// Writes piece over the record from 1-based position pos.
inline void Put(std::string& record, int pos, std::string_view piece) {
  record.replace(static_cast<size_t>(pos - 1), piece.size(), piece);
}

// A text cut or padded with blanks to width bytes.
inline std::string Pad(std::string_view text, size_t width) {
  std::string s(text.substr(0, std::min(text.size(), width)));
  s.resize(width, ' ');
  return s;
}

// The race identification "yyyymmdd" + course + meeting + day number (14 characters).
struct Day {
  std::string date = "20240105";
  std::string course = "06";
  std::string meeting = "01";
  std::string dayNumber = "01";
  std::string Key() const { return date + course + meeting + dayNumber; }
};

// WE, 42 bytes. dataKind and creation date as the service sends them: "1" and the previous
// day for the initial state, "2" and the day itself for changes.
inline std::string WeRecord(const Day& d, std::string_view dataKind, std::string_view created,
                            std::string_view stamp, char changeKind, char weather, char turf,
                            char dirt, char weatherBefore = '0', char turfBefore = '0',
                            char dirtBefore = '0') {
  std::string r = Blank(42);
  Put(r, 1, "WE");
  Put(r, 3, dataKind);
  Put(r, 4, created);
  Put(r, 12, d.Key());
  Put(r, 26, stamp);
  r[33] = changeKind;
  r[34] = weather;
  r[35] = turf;
  r[36] = dirt;
  r[37] = weatherBefore;
  r[38] = turfBefore;
  r[39] = dirtBefore;
  return r;
}

// AV, 78 bytes. name is UTF-8.
inline std::string AvRecord(const Day& d, std::string_view race, std::string_view stamp,
                            std::string_view horse, std::string_view nameUtf8, char kind = '1',
                            std::string_view reason = "001") {
  std::string r = Blank(78);
  Put(r, 1, "AV");
  r[2] = kind;
  Put(r, 4, "20240105");
  Put(r, 12, d.Key());
  Put(r, 26, race);
  Put(r, 28, stamp);
  Put(r, 36, horse);
  Put(r, 38, Pad(Sj(nameUtf8), 36));
  Put(r, 74, reason);
  return r;
}

// JC, 161 bytes.
inline std::string JcRecord(const Day& d, std::string_view race, std::string_view stamp,
                            std::string_view horse, std::string_view nameUtf8,
                            std::string_view weight, std::string_view jockeyAfterUtf8,
                            std::string_view jockeyBeforeUtf8) {
  std::string r = Blank(161);
  Put(r, 1, "JC");
  Put(r, 3, "1");
  Put(r, 4, "20240105");
  Put(r, 12, d.Key());
  Put(r, 26, race);
  Put(r, 28, stamp);
  Put(r, 36, horse);
  Put(r, 38, Pad(Sj(nameUtf8), 36));
  Put(r, 74, weight);
  Put(r, 77, "00000");  // jockey code after
  Put(r, 82, Pad(Sj(jockeyAfterUtf8), 34));
  Put(r, 116, "575");    // weight before, not displayed
  Put(r, 120, "11111");  // jockey code before
  Put(r, 125, Pad(Sj(jockeyBeforeUtf8), 34));
  return r;
}

// TC, 45 bytes.
inline std::string TcRecord(const Day& d, std::string_view race, std::string_view stamp,
                            std::string_view newTime, std::string_view oldTime) {
  std::string r = Blank(45);
  Put(r, 1, "TC");
  Put(r, 3, "1");
  Put(r, 4, "20240105");
  Put(r, 12, d.Key());
  Put(r, 26, race);
  Put(r, 28, stamp);
  Put(r, 36, newTime);
  Put(r, 40, oldTime);
  return r;
}

// CC, 50 bytes.
inline std::string CcRecord(const Day& d, std::string_view race, std::string_view stamp,
                            std::string_view newDistance, std::string_view newTrack,
                            std::string_view oldDistance, std::string_view oldTrack) {
  std::string r = Blank(50);
  Put(r, 1, "CC");
  Put(r, 3, "1");
  Put(r, 4, "20240105");
  Put(r, 12, d.Key());
  Put(r, 26, race);
  Put(r, 28, stamp);
  Put(r, 36, newDistance);
  Put(r, 40, newTrack);
  Put(r, 42, oldDistance);
  Put(r, 46, oldTrack);
  return r;
}

// RA, 1272 bytes: race identification and first post time.
inline std::string RaRecord(const Day& d, std::string_view race, std::string_view postTime) {
  std::string r = Blank(1272);
  Put(r, 1, "RA");
  Put(r, 3, "2");
  Put(r, 4, "20240104");
  Put(r, 12, d.Key());
  Put(r, 26, race);
  Put(r, 874, postTime);
  Put(r, 882, "16");
  return r;
}

// A stored change-file line: the record without its CR LF.
inline std::string Line(const std::string& record) {
  return record.substr(0, record.size() - 2);
}

inline std::string ReadFileBytes(const fs::path& p) {
  std::string bytes;
  ReadWholeFile(p, bytes);
  return bytes;
}

}  // namespace tavolen::testing
