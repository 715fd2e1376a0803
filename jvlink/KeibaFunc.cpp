#include "jvlink/KeibaFunc.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "jvlink/JVData_Structure.h"
#include "jvlink/TextLines.h"

namespace tavolen {
namespace {

// A table of exact codes and UTF-8 names, converted to code page 932 once.
using CodeTable = std::unordered_map<std::string, SjisString>;

CodeTable MakeTable(std::initializer_list<std::pair<const char*, const char*>> rows) {
  CodeTable table;
  for (const auto& [code, name] : rows) table.emplace(code, Sj(name));
  return table;
}

SjisString Lookup(const CodeTable& table, std::string_view code, const SjisString& fallback) {
  auto it = table.find(std::string(code));
  return it == table.end() ? fallback : it->second;
}

const SjisString& Empty() {
  static const SjisString empty;
  return empty;
}

// "00" picture: at least two digits, a minus sign before them when negative.
std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, v < 0 ? "-%02d" : "%02d", v < 0 ? -v : v);
  return buf;
}

}  // namespace

SjisString AddMinutesHHNN(std::string_view hhnn, int minutes) {
  if (TrimBlanks(hhnn).empty()) return {};
  const long long total = static_cast<long long>(ReadNumber(Cut(hhnn, 1, 2))) * 60 +
                          ReadNumber(Cut(hhnn, 3, 2)) + minutes;
  // Division truncates toward zero, so -30 minutes gives "00" and "-30".
  return TwoDigits(static_cast<int>(total / 60)) + TwoDigits(static_cast<int>(total % 60));
}

SjisString OverwriteAt(std::string_view text, std::string_view piece, int position) {
  SjisString out(text);
  // Deleting from a position outside the text deletes nothing; inserting before the first
  // character puts the piece at the start, after the last one appends it.
  if (position >= 1 && static_cast<size_t>(position) <= out.size())
    out.erase(static_cast<size_t>(position - 1), piece.size());
  size_t at = position < 1 ? 0 : std::min(out.size(), static_cast<size_t>(position - 1));
  out.insert(at, piece);
  return out;
}

SjisString PadNumber(std::string_view digits) {
  const int width = static_cast<int>(digits.size());
  const int v = ReadNumber(digits);
  if (v == 0) return SjisString(digits.size(), ' ');
  char buf[32];
  std::snprintf(buf, sizeof buf, "%*d", width, v);
  return buf;
}

SjisString CourseName(std::string_view code, int /*form: only the two-character form exists*/) {
  static const CodeTable table = MakeTable({
      {"01", "札幌"}, {"02", "函館"}, {"03", "福島"}, {"04", "新潟"}, {"05", "東京"},
      {"06", "中山"}, {"07", "中京"}, {"08", "京都"}, {"09", "阪神"}, {"10", "小倉"},
      {"30", "門別"}, {"31", "北見"}, {"32", "岩見"}, {"33", "帯広"}, {"34", "旭川"},
      {"35", "盛岡"}, {"36", "水沢"}, {"37", "上山"}, {"38", "三条"}, {"39", "足利"},
      {"40", "宇都"}, {"41", "高崎"}, {"42", "浦和"}, {"43", "船橋"}, {"44", "大井"},
      {"45", "川崎"}, {"46", "金沢"}, {"47", "笠松"}, {"48", "名古"}, {"49", "紀三"},
      {"50", "園田"}, {"51", "姫路"}, {"52", "益田"}, {"53", "福山"}, {"54", "高知"},
      {"55", "佐賀"}, {"56", "荒尾"}, {"57", "中津"}, {"58", "札幌"}, {"59", "函館"},
      {"60", "新潟"}, {"61", "中京"}, {"A0", "他外"}, {"A2", "日本"}, {"A4", "アメ"},
      {"A6", "イギ"}, {"A8", "フラ"}, {"B0", "イン"}, {"B2", "アイ"}, {"B4", "ニュ"},
      {"B6", "オー"}, {"B8", "カナ"}, {"C0", "イタ"}, {"C2", "ドイ"}, {"C4", "    "},
      {"C5", "オマ"}, {"C6", "イラ"}, {"C7", "ア首"}, {"C8", "シリ"}, {"D0", "スウ"},
      {"D2", "ハン"}, {"D4", "ポル"}, {"D6", "ロシ"}, {"D8", "ウル"}, {"E0", "ペル"},
      {"E2", "アル"}, {"E4", "ブラ"}, {"E6", "ベル"}, {"E8", "トル"}, {"F0", "韓国"},
      {"F1", "中国"}, {"F2", "チリ"}, {"F4", "    "}, {"F6", "    "}, {"F8", "パナ"},
      {"G0", "香港"}, {"G2", "スペ"}, {"G4", "    "}, {"G6", "    "}, {"G8", "    "},
      {"H0", "西独"}, {"H2", "南ア"}, {"H4", "スイ"}, {"H6", "モナ"}, {"H8", "フィ"},
      {"I0", "プエ"}, {"I2", "コロ"}, {"I4", "チェ"}, {"I6", "チェ"}, {"I8", "スロ"},
      {"J0", "エク"}, {"J2", "ギリ"}, {"J4", "マレ"}, {"J6", "メキ"}, {"J8", "モロ"},
      {"K0", "パキ"}, {"K2", "ポー"}, {"K4", "パラ"}, {"K6", "サウ"}, {"K8", "キプ"},
      {"L0", "タイ"}, {"L2", "ウク"}, {"L4", "ベネ"}, {"L6", "ユー"}, {"L8", "デン"},
      {"M0", "シン"},
  });
  return Lookup(table, code, Empty());
}

SjisString WeatherName(std::string_view code) {
  static const CodeTable table =
      MakeTable({{"1", "晴"}, {"2", "曇"}, {"3", "雨"}, {"4", "小雨"}, {"5", "雪"}, {"6", "小雪"}});
  return Lookup(table, code, Empty());
}

SjisString GoingName(std::string_view code, int surface) {
  static const CodeTable table =
      MakeTable({{"1", "良"}, {"2", "稍重"}, {"3", "重"}, {"4", "不良"}});
  static const SjisString turf = Sj("芝:");
  static const SjisString dirt = Sj("ダ:");
  auto it = table.find(std::string(code));
  if (it == table.end()) return {};
  if (surface == 1) return turf + it->second;
  if (surface == 2) return dirt + it->second;
  return it->second;
}

SjisString TrackName(std::string_view code) {
  static const SjisString straightTurf = Sj("芝直"), leftTurf = Sj("芝左"), rightTurf = Sj("芝右"),
                          leftDirt = Sj("ﾀﾞ左"), rightDirt = Sj("ﾀﾞ右"), straightDirt = Sj("ﾀﾞ直"),
                          jump = Sj("障害");
  const int v = ReadNumber(code);
  if (v == 10) return straightTurf;
  if (v >= 11 && v <= 16) return leftTurf;
  if (v >= 17 && v <= 22) return rightTurf;
  if (v == 23) return leftDirt;
  if (v == 24) return rightDirt;
  if (v == 29) return straightDirt;
  if (v >= 51 && v <= 59) return jump;
  return {};
}

SjisString SexName(std::string_view code) {
  static const CodeTable table = MakeTable({{"1", "牡"}, {"2", "牝"}, {"3", "ｾﾝ"}});
  return Lookup(table, code, Empty());
}

SjisString WeightRuleName(std::string_view code) {
  static const CodeTable table =
      MakeTable({{"1", "ﾊﾝﾃﾞ"}, {"2", "別定"}, {"3", "馬齢"}, {"4", "定量"}});
  return Lookup(table, code, Empty());
}

SjisString RaceConditionName(std::string_view code) {
  static const SjisString underMan = Sj("万下"), underOku = Sj("1億下"), newcomer = Sj("新馬"),
                          unraced = Sj("未出走"), maiden = Sj("未勝利"), open = Sj("オープン");
  const int v = ReadNumber(code);
  if (v >= 1 && v <= 99) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%4d", v * 100);
    return buf + underMan;
  }
  switch (v) {
    case 100:
      return underOku;
    case 701:
      return newcomer;
    case 702:
      return unraced;
    case 703:
      return maiden;
    case 999:
      return open;
    default:
      return {};
  }
}

SjisString RaceConditionNameOn(std::string_view code, std::string_view yyyymmdd) {
  static constexpr std::string_view kRenamedFrom = "20190601";
  static const SjisString wins1 = Sj("1勝クラス"), wins2 = Sj("2勝クラス"), wins3 = Sj("3勝クラス");
  const std::string_view date = yyyymmdd.substr(0, std::min<std::size_t>(yyyymmdd.size(), 8));
  const bool datedRenamed =
      date.size() == 8 &&
      std::all_of(date.begin(), date.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
      date >= kRenamedFrom;
  if (datedRenamed) {
    switch (ReadNumber(code)) {
      case 5:
        return wins1;
      case 10:
        return wins2;
      case 16:
        return wins3;
      default:
        break;
    }
  }
  return RaceConditionName(code);
}

SjisString ScratchKindName(std::string_view code) {
  static const CodeTable table = MakeTable({{"1", "出走取消"}, {"2", "競争除外"}});
  static const SjisString blanks(8, ' ');
  return Lookup(table, code, blanks);
}

SjisString ScratchReasonName(std::string_view code) {
  static const CodeTable table = MakeTable({{"001", "[疾病]"}, {"002", "[事故]"}});
  static const SjisString other = Sj("[その他]");
  return Lookup(table, code, other);
}

SjisString CircledNumber(std::string_view number) {
  static const std::vector<SjisString> circled = [] {
    std::vector<SjisString> v;
    for (const char* c :
         {"①", "②", "③", "④", "⑤", "⑥", "⑦", "⑧", "⑨", "⑩", "⑪", "⑫", "⑬", "⑭", "⑮", "⑯", "⑰", "⑱"})
      v.push_back(Sj(c));
    return v;
  }();
  static const SjisString minus = Sj("－");
  const int v = ReadNumber(number);
  if (v >= 1 && v <= 18) return circled[static_cast<size_t>(v - 1)];
  return minus;
}

SjisString JVResultMessage(std::string_view operation, int code) {
  using Table = std::map<int, SjisString>;
  auto make = [](std::initializer_list<std::pair<int, const char*>> rows) {
    Table t;
    for (const auto& [c, text] : rows) t.emplace(c, Sj(text));
    return t;
  };
  static const SjisString ok = Sj("正常に実行されました。");
  static const Table init = make({
      {-101, "sid が設定されていません。"},
      {-102, "sid が64byte 以上あります。"},
      {-103, "sid が不正（sid の１桁目がスペース）です。"},
  });
  static const Table set = make({
      {-100, "パラメータが不正あるいはレジストリへの保存に失敗しました。"},
      {-101, "すでにサービスキーが登録されています。"},
  });
  static const Table open = make({
      {-1, " 最新のデータがありません。"},
      {-2, "セットアップダイアログでキャンセルが押されました。"},
      {-111, "dataspec パラメータが不正です。"},
      {-112, "fromdate パラメータが不正です。"},
      {-113, "todate パラメータが不正です。"},
      {-114, "key パラメータが不正です。"},
      {-115, "option パラメータが不正です。"},
      {-116, "dataspec とoption の組み合わせが不正です。"},
      {-117, "JVデータフォーマットバージョンが不正です。(JVInit時に指定したjvversionが不正)"},
      {-201, "JVInit が行なわれていません。"},
      {-202, "前回のJVOpen/JVRTOpen に対してJVClose が呼ばれていません。（オープン中）"},
      {-211, "レジストリ内容が不正（レジストリ内容が不正に変更された）です。"},
      {-301, "認証エラーが発生しました。"},
      {-302, "サービスキーの有効期限切れです。"},
      {-303, "サービスキーが設定されていません。（サービスキーが空値）"},
      {-401, "JV- Link 内部エラーが発生しました。"},
      {-411, "サーバーエラー（HTTP ステータス404 NotFount ）が発生しました。"},
      {-412, "サーバーエラー（HTTP ステータス403 Forbidden ）が発生しました。"},
      {-413, "サーバーエラー（HTTP ステータス200,403,404 以外）が発生しました。"},
      {-421, "サーバーエラー（サーバーの応答が不正）が発生しました。"},
      {-431, "サーバーエラー（サーバーアプリケーション内部エラー）が発生しました。"},
      {-501, "セットアップ処理においてＣＤ －ＲＯＭ が無効です。"},
      {-504, "サーバーがメンテナンス中です。"},
  });
  static const Table status = make({
      {-201, "JVInitが行なわれていません。"},
      {-203, "JVOpenが行なわれていません。"},
      {-502, "ダウンロードに失敗しました。（通信エラーやディスクエラーなど）"},
  });
  static const Table read = make({
      {0, "全ファイルの読み込みが終了しました。（ＥＯＦ ）"},
      {-1, "ファイルが切り替わりました。"},
      {-3, "ファイルダウンロード中"},
      {-201, "JVInitが行なわれていません。"},
      {-203, "JVOpenが行なわれていません。"},
      {-402, "ダウンロードしたファイルサイズが異常です。"},
      {-403, "ダウンロードしたファイル内容が異常です。"},
      {-502, "ダウンロードに失敗しました。(通信エラーやディスクエラー)"},
      {-503, "ファイルが見つかりません。"},
  });
  static const SjisString downloaded = Sj("ダウンロード済みファイル数");
  static const SjisString bufferSize = Sj("バッファにセットしたデータのサイズ");

  const std::string number = std::to_string(code);
  auto from = [&](const Table& t) -> SjisString {
    auto it = t.find(code);
    return it == t.end() ? SjisString() : it->second;
  };

  SjisString message;
  if (operation == "JVRead") {
    message = code > 0 ? bufferSize + number : from(read);
  } else if (operation == "JVInit") {
    message = code == 0 ? ok : from(init);
  } else if (operation.substr(0, 5) == "JVSet") {
    message = code == 0 ? ok : from(set);
  } else if (operation == "JVOpen" || operation == "JVRTOpen") {
    message = code == 0 ? ok : from(open);
  } else if (operation == "JVStatus") {
    message = code == 0 ? ok : code > 0 ? downloaded + number : from(status);
  } else if (operation == "JVClose") {
    message = code == 0 ? ok : SjisString();
  }
  return message + "(" + number + ")";
}

}  // namespace tavolen
