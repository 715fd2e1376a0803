// tavolen-demoday DATE FEEDDIR [FIRST LAST]: writes the demo race day of DATE (yyyymmdd) into
// the feed folder FEEDDIR, with the change announcements spread from FIRST to LAST (hhmm).
#include <cstdio>
#include <string>

#include "base/FailureText.h"
#include "jvlink/Clock.h"
#include "standin/DemoDay.h"

using namespace tavolen;

namespace {

bool ParseHhmm(const std::string& s, int& minutes) {
  if (s.size() != 4 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  const int h = std::stoi(s.substr(0, 2)), m = std::stoi(s.substr(2, 2));
  if (h > 23 || m > 59) return false;
  minutes = h * 60 + m;
  return true;
}

int Usage() {
  std::fputs(
      "使い方: tavolen-demoday 日付(yyyymmdd) フィードフォルダ [最初の変更時刻 "
      "最後の変更時刻(hhmm)]\n"
      "指定した日付のデモ開催日（出馬表と変更情報）をフィードフォルダに書き込みます。\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) return Usage();
  LocalDateTime date;
  if (!ParseCompactDateTime(std::string(argv[1]) + "000000", date)) {
    std::fprintf(stderr, "日付が正しくありません: %s\n", argv[1]);
    return Usage();
  }
  DemoDayOptions options;
  if (argc == 5 && (!ParseHhmm(argv[3], options.firstChangeMinute) ||
                    !ParseHhmm(argv[4], options.lastChangeMinute))) {
    std::fputs("時刻は hhmm の4桁で指定してください。\n", stderr);
    return Usage();
  }
  const fs::path feed = argv[2];
  std::error_code ec;
  fs::create_directories(feed, ec);
  if (!fs::is_directory(feed, ec)) {
    std::fprintf(stderr, "フォルダを作成できませんでした: %s\n", argv[2]);
    return 1;
  }
  if (FileStatus st = WriteDemoDay(feed, date, options); !st) {
    std::fprintf(stderr, "%s\n", SjisToUtf8(FailureText(st)).c_str());
    return 1;
  }
  for (const DemoFile& f : GenerateDemoDay(date, options))
    std::printf("%s\n", (feed / f.name).string().c_str());
  return 0;
}
