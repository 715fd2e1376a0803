// tavolen-standin: shows and changes the JV-Link stand-in's settings, and runs a session
// against its feed the way the program does, printing what JV-Link answers.
//
//   tavolen-standin show
//   tavolen-standin feed FOLDER | --demo
//   tavolen-standin key SERVICEKEY
//   tavolen-standin race FROMTIME(yyyymmddhhnnss)
//   tavolen-standin rt DATE(yyyymmdd)
#include <cstdio>
#include <string>

#include "jvlink/JVData_Structure.h"
#include "standin/StandIn.h"

using namespace tavolen;

namespace {

int Usage() {
  std::fputs(
      "使い方:\n"
      "  tavolen-standin show                 設定とフィードの内容を表示します\n"
      "  tavolen-standin feed フォルダ|--demo  フィードフォルダを設定します（--demo: デモ開催日）\n"
      "  tavolen-standin key サービスキー      サービスキーを設定します\n"
      "  tavolen-standin race yyyymmddhhnnss  その時刻より新しい \"RACE\" データを読みます\n"
      "  tavolen-standin rt yyyymmdd           その日の \"0B14\" 変更情報を読みます\n",
      stderr);
  return 2;
}

const char* KindText(FeedKind k) {
  return k == FeedKind::Race ? "RACE" : k == FeedKind::Change ? "0B14" : "-";
}

int ReadAll(StandInJVLink& link) {
  std::u16string buff, name;
  int size = 60000, records = 0;
  for (;;) {
    const int r = link.JVRead(buff, size, name);
    if (r > 0) {
      const SjisString rec = RecordToSjis(buff);
      ++records;
      std::string stamp = AnnouncementStamp(rec);
      std::printf("  %s %s %s%s%s (%d bytes)\n",
                  SjisToUtf8(name.empty() ? "" : Utf16ToSjis(name)).c_str(),
                  rec.substr(0, 2).c_str(), Cut(rec, 12, 16).c_str(), stamp.empty() ? "" : " ",
                  stamp.c_str(), r);
    } else if (r == -1) {
      std::printf("  -- file end (-1)\n");
    } else if (r == -3 || r == -2) {
      continue;
    } else {
      std::printf("JVRead: %d, records: %d\n", r, records);
      return r == 0 ? 0 : 1;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  SystemClock clock;
  StandInJVLink link(clock, StandInOptions{{}, 0});

  if (command == "show" && argc == 2) {
    std::printf("folder:      %s\n", link.Folder().string().c_str());
    std::printf("service key: %s\n", link.Settings().serviceKey.c_str());
    std::printf("feed folder: %s%s\n", link.FeedFolder().string().c_str(),
                link.ServesDemo() ? " (demo)" : "");
    for (const FeedEntry& e : ListFeed(link.FeedFolder())) {
      FeedFile f;
      const bool ok = ReadFeedFile(e, f);
      std::printf("  %s %s %-4s %zu records\n", e.stamp.c_str(), e.name.c_str(),
                  ok ? KindText(f.kind) : "?", f.records.size());
    }
    return 0;
  }
  if ((command == "feed" || command == "key") && argc == 3) {
    StandInSettings s = link.Settings();
    if (command == "key") s.serviceKey = argv[2];
    if (command == "feed") s.feedFolder = std::string(argv[2]) == "--demo" ? "" : argv[2];
    const int r = link.StoreSettings(s);
    if (r != 0) {
      std::fprintf(stderr, "設定を保存できませんでした (%d)\n", r);
      return 1;
    }
    return 0;
  }
  if ((command == "race" || command == "rt") && argc == 3) {
    if (int r = link.JVInit(u"TAVOLEN"); r != 0) {
      std::printf("JVInit: %d\n", r);
      return 1;
    }
    int result;
    if (command == "race") {
      int readCount = 0, downloadCount = 0;
      std::u16string last;
      result = link.JVOpen(u"RACE", Wide(argv[2]), 2, readCount, downloadCount, last);
      std::printf("JVOpen: %d readcount %d downloadcount %d lastfiletimestamp %s\n", result,
                  readCount, downloadCount, Utf16ToSjis(last).c_str());
      if (result == 0 && downloadCount > 0) std::printf("JVStatus: %d\n", link.JVStatus());
    } else {
      result = link.JVRTOpen(u"0B14", Wide(argv[2]));
      std::printf("JVRTOpen: %d\n", result);
    }
    const int read = result == 0 ? ReadAll(link) : 0;
    std::printf("JVClose: %d\n", link.JVClose());
    return result == 0 || result == -1 ? read : 1;
  }
  return Usage();
}
