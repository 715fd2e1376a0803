#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "jvlink/KeibaFunc.h"
#include "jvlink/Sjis.h"
#include "tests/support/Files.h"

namespace tavolen {
namespace {

using testsupport::Bytes;

TEST(KeibaFunc, AddMinutesHHNN) {
  EXPECT_EQ(AddMinutesHHNN("0930", -70), "0820");
  EXPECT_EQ(AddMinutesHHNN("0930", 0), "0930");
  EXPECT_EQ(AddMinutesHHNN("2350", 20), "2410");  // no wrap at midnight
  EXPECT_EQ(AddMinutesHHNN("0000", -30), "00-30");
  EXPECT_EQ(AddMinutesHHNN("0000", -90), "-01-30");
  EXPECT_EQ(AddMinutesHHNN("    ", 5), "");
  EXPECT_EQ(AddMinutesHHNN("", 5), "");
  EXPECT_EQ(AddMinutesHHNN("15", 5), "1505");  // missing minutes read as 0
}

TEST(KeibaFunc, OverwriteAt) {
  const std::string record = "RA7202401052024010606010101";
  EXPECT_EQ(OverwriteAt(record, "000000000", 3), "RA0000000002024010606010101");
  EXPECT_EQ(OverwriteAt("abc", "XY", 3), "abXY");  // runs past the end
  EXPECT_EQ(OverwriteAt("abc", "XY", 4), "abcXY");
  EXPECT_EQ(OverwriteAt("abc", "XY", 9), "abcXY");
  EXPECT_EQ(OverwriteAt("", "XY", 1), "XY");
}

TEST(KeibaFunc, PadNumberKeepsTheByteWidth) {
  EXPECT_EQ(PadNumber("05"), " 5");
  EXPECT_EQ(PadNumber("12"), "12");
  EXPECT_EQ(PadNumber("00"), "  ");
  EXPECT_EQ(PadNumber("7"), "7");
  EXPECT_EQ(PadNumber("0016"), "  16");
  EXPECT_EQ(PadNumber("1A"), "  ");
  EXPECT_EQ(PadNumber(""), "");
  // A cut double-byte text is not a number: blanks as wide as its bytes.
  EXPECT_EQ(PadNumber(Sj("中山")), "    ");
}

const std::vector<std::string> kCourseCodes = {
    "01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "30", "31", "32", "33", "34", "35",
    "36", "37", "38", "39", "40", "41", "42", "43", "44", "45", "46", "47", "48", "49", "50", "51",
    "52", "53", "54", "55", "56", "57", "58", "59", "60", "61", "A0", "A2", "A4", "A6", "A8", "B0",
    "B2", "B4", "B6", "B8", "C0", "C2", "C4", "C5", "C6", "C7", "C8", "D0", "D2", "D4", "D6", "D8",
    "E0", "E2", "E4", "E6", "E8", "F0", "F1", "F2", "F4", "F6", "F8", "G0", "G2", "G4", "G6", "G8",
    "H0", "H2", "H4", "H6", "H8", "I0", "I2", "I4", "I6", "I8", "J0", "J2", "J4", "J6", "J8", "K0",
    "K2", "K4", "K6", "K8", "L0", "L2", "L4", "L6", "L8", "M0"};

TEST(KeibaFunc, CourseNameIsFourBytesForEveryRow) {
  ASSERT_EQ(kCourseCodes.size(), 106u);
  const std::vector<std::string> blankRows = {"C4", "F4", "F6", "G4", "G6", "G8"};
  for (const auto& code : kCourseCodes) {
    SCOPED_TRACE(code);
    const SjisString name = CourseName(code, 2);
    ASSERT_EQ(name.size(), 4u);
    const bool blankRow = std::find(blankRows.begin(), blankRows.end(), code) != blankRows.end();
    if (blankRow) {
      EXPECT_EQ(name, "    ");
    } else {
      // Two full-width characters.
      const std::u16string wide = SjisToUtf16(name);
      ASSERT_EQ(wide.size(), 2u);
      EXPECT_GE(wide[0], 0x3000);
      EXPECT_GE(wide[1], 0x3000);
    }
  }
  EXPECT_EQ(CourseName("01", 2), Bytes({0x8E, 0x44, 0x96, 0x79}));  // 札幌
  EXPECT_EQ(CourseName("06", 2), Bytes({0x92, 0x86, 0x8E, 0x52}));  // 中山
  EXPECT_EQ(CourseName("58", 2), CourseName("01", 2));
  EXPECT_EQ(CourseName("09", 2), Sj("阪神"));
  EXPECT_EQ(CourseName("C7", 2), Sj("ア首"));
  EXPECT_EQ(CourseName("F0", 2), Sj("韓国"));
  EXPECT_EQ(CourseName("M0", 2), Sj("シン"));
}

TEST(KeibaFunc, CourseNameOfUnknownCodesIsEmpty) {
  for (const char* code :
       {"00", "11", "29", "62", "A1", "a0", "C9", "M2", "Z0", "6", "06 ", "", "  "})
    EXPECT_EQ(CourseName(code, 2), "") << code;
}

TEST(KeibaFunc, WeatherGoingTrackSexWeightRule) {
  EXPECT_EQ(WeatherName("1"), Sj("晴"));
  EXPECT_EQ(WeatherName("6"), Sj("小雪"));
  EXPECT_EQ(WeatherName("7"), "");
  EXPECT_EQ(WeatherName("01"), "");  // exact codes, not numbers
  EXPECT_EQ(GoingName("2", 0), Sj("稍重"));
  EXPECT_EQ(GoingName("1", 1), Bytes({0x8E, 0xC5, 0x3A, 0x97, 0xC7}));  // 芝:良
  EXPECT_EQ(GoingName("4", 2), Sj("ダ:不良"));
  EXPECT_EQ(GoingName("0", 1), "");
  EXPECT_EQ(GoingName(" ", 2), "");

  EXPECT_EQ(TrackName("10"), Sj("芝直"));
  EXPECT_EQ(TrackName("11"), Sj("芝左"));
  EXPECT_EQ(TrackName("16"), Sj("芝左"));
  EXPECT_EQ(TrackName("17"), Sj("芝右"));
  EXPECT_EQ(TrackName("22"), Sj("芝右"));
  EXPECT_EQ(TrackName("23"), Bytes({0xC0, 0xDE, 0x8D, 0xB6}));  // half-width ﾀﾞ左
  EXPECT_EQ(TrackName("24"), Sj("ﾀﾞ右"));
  EXPECT_EQ(TrackName("29"), Sj("ﾀﾞ直"));
  EXPECT_EQ(TrackName("51"), Sj("障害"));
  EXPECT_EQ(TrackName("59"), Sj("障害"));
  for (const char* c : {"09", "25", "28", "50", "60", "  ", "1X"}) EXPECT_EQ(TrackName(c), "") << c;

  EXPECT_EQ(SexName("1"), Sj("牡"));
  EXPECT_EQ(SexName("3"), Sj("ｾﾝ"));
  EXPECT_EQ(SexName("4"), "");
  EXPECT_EQ(WeightRuleName("1"), Sj("ﾊﾝﾃﾞ"));
  EXPECT_EQ(WeightRuleName("4"), Sj("定量"));
  EXPECT_EQ(WeightRuleName("5"), "");
}

TEST(KeibaFunc, RaceConditionName) {
  EXPECT_EQ(RaceConditionName("005"), Sj(" 500万下"));
  EXPECT_EQ(RaceConditionName("010"), Sj("1000万下"));
  EXPECT_EQ(RaceConditionName("099"), Sj("9900万下"));
  EXPECT_EQ(RaceConditionName("100"), Sj("1億下"));
  EXPECT_EQ(RaceConditionName("701"), Sj("新馬"));
  EXPECT_EQ(RaceConditionName("702"), Sj("未出走"));
  EXPECT_EQ(RaceConditionName("703"), Sj("未勝利"));
  EXPECT_EQ(RaceConditionName("999"), Bytes({0x83, 0x49, 0x81, 0x5B, 0x83, 0x76, 0x83, 0x93}));
  for (const char* c : {"000", "101", "700", "704", "998", "-05", "   ", "ABC"})
    EXPECT_EQ(RaceConditionName(c), "") << c;
}

TEST(KeibaFunc, RaceConditionNameFollowsTheRaceDate) {
  // The classes renamed from June 2019; the day before keeps the old names.
  EXPECT_EQ(RaceConditionNameOn("005", "20190601"), Sj("1勝クラス"));
  EXPECT_EQ(RaceConditionNameOn("010", "2024010606"), Sj("2勝クラス"));  // a whole race key
  EXPECT_EQ(RaceConditionNameOn("016", "20190602"), Sj("3勝クラス"));
  EXPECT_EQ(RaceConditionNameOn("005", "20190531"), Sj(" 500万下"));
  EXPECT_EQ(RaceConditionNameOn("016", "20050108"), Sj("1600万下"));
  // Other codes read as before on any date; a date that is not digits keeps the old names.
  EXPECT_EQ(RaceConditionNameOn("703", "20240106"), Sj("未勝利"));
  EXPECT_EQ(RaceConditionNameOn("999", "20240106"), Sj("オープン"));
  EXPECT_EQ(RaceConditionNameOn("020", "20240106"), Sj("2000万下"));
  EXPECT_EQ(RaceConditionNameOn("000", "20240106"), "");
  EXPECT_EQ(RaceConditionNameOn("005", "2024  06"), Sj(" 500万下"));
  EXPECT_EQ(RaceConditionNameOn("010", ""), Sj("1000万下"));
}

TEST(KeibaFunc, ScratchKindAndReason) {
  EXPECT_EQ(ScratchKindName("1"), Bytes({0x8F, 0x6F, 0x91, 0x96, 0x8E, 0xE6, 0x8F, 0xC1}));
  EXPECT_EQ(ScratchKindName("2"), Sj("競争除外"));
  EXPECT_EQ(ScratchKindName("3"), std::string(8, ' '));
  EXPECT_EQ(ScratchKindName(" "), std::string(8, ' '));
  EXPECT_EQ(ScratchReasonName("001"), Sj("[疾病]"));
  EXPECT_EQ(ScratchReasonName("002"), Sj("[事故]"));
  EXPECT_EQ(ScratchReasonName("003"), Bytes({0x5B, 0x82, 0xBB, 0x82, 0xCC, 0x91, 0xBC, 0x5D}));
  EXPECT_EQ(ScratchReasonName("   "), Sj("[その他]"));
  EXPECT_EQ(ScratchReasonName("1"), Sj("[その他]"));
}

TEST(KeibaFunc, CircledNumber) {
  EXPECT_EQ(CircledNumber("01"), Bytes({0x87, 0x40}));
  EXPECT_EQ(CircledNumber("18"), Bytes({0x87, 0x51}));
  for (int n = 1; n <= 18; ++n) {
    const std::u16string wide = SjisToUtf16(CircledNumber(std::to_string(n)));
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0], 0x2460 + n - 1);
  }
  for (const char* c : {"19", "  ", "00", "-1", "X1", ""})
    EXPECT_EQ(CircledNumber(c), Bytes({0x81, 0x7C})) << c;
}

TEST(JVResultMessage, WordsEachOperationsCodes) {
  EXPECT_EQ(JVResultMessage("JVRead", 0), Sj("全ファイルの読み込みが終了しました。（ＥＯＦ ）(0)"));
  EXPECT_EQ(JVResultMessage("JVRead", 27), Sj("バッファにセットしたデータのサイズ27(27)"));
  EXPECT_EQ(JVResultMessage("JVSetUIProperties", -101),
            Sj("すでにサービスキーが登録されています。(-101)"));
  EXPECT_EQ(JVResultMessage("JVSetServiceKey", -100),
            Sj("パラメータが不正あるいはレジストリへの保存に失敗しました。(-100)"));
  EXPECT_EQ(
      JVResultMessage("JVOpen", -1),
      Bytes({0x20, 0x8D, 0xC5, 0x90, 0x56, 0x82, 0xCC, 0x83, 0x66, 0x81, 0x5B, 0x83, 0x5E, 0x82,
             0xAA, 0x82, 0xA0, 0x82, 0xE8, 0x82, 0xDC, 0x82, 0xB9, 0x82, 0xF1, 0x81, 0x42}) +
          "(-1)");
  EXPECT_EQ(JVResultMessage("JVRTOpen", -1), JVResultMessage("JVOpen", -1));
  EXPECT_EQ(JVResultMessage("JVRTOpen", -504), Sj("サーバーがメンテナンス中です。(-504)"));
  EXPECT_EQ(JVResultMessage("JVOpen", -501),
            Sj("セットアップ処理においてＣＤ －ＲＯＭ が無効です。(-501)"));
  EXPECT_EQ(JVResultMessage("JVInit", -103),
            Sj("sid が不正（sid の１桁目がスペース）です。(-103)"));
  EXPECT_EQ(JVResultMessage("JVInit", -1), "(-1)");
  EXPECT_EQ(JVResultMessage("JVStatus", 3), Sj("ダウンロード済みファイル数3(3)"));
  EXPECT_EQ(JVResultMessage("JVStatus", -1), "(-1)");
  EXPECT_EQ(JVResultMessage("JVClose", -1), "(-1)");
  EXPECT_EQ(JVResultMessage("JVRead", -2), "(-2)");
}

TEST(JVResultMessage, TextsThatDifferOnlyByABlankOrBrackets) {
  EXPECT_EQ(JVResultMessage("JVOpen", -201), Sj("JVInit が行なわれていません。(-201)"));
  EXPECT_EQ(JVResultMessage("JVStatus", -201), Sj("JVInitが行なわれていません。(-201)"));
  EXPECT_EQ(JVResultMessage("JVRead", -201), Sj("JVInitが行なわれていません。(-201)"));
  EXPECT_EQ(JVResultMessage("JVStatus", -502),
            Sj("ダウンロードに失敗しました。（通信エラーやディスクエラーなど）(-502)"));
  EXPECT_EQ(JVResultMessage("JVRead", -502),
            Sj("ダウンロードに失敗しました。(通信エラーやディスクエラー)(-502)"));
}

TEST(JVResultMessage, CodeZeroAndUnknownOperations) {
  const SjisString ok = Sj("正常に実行されました。(0)");
  for (const char* op : {"JVInit", "JVSetSaveFlag", "JVOpen", "JVRTOpen", "JVStatus", "JVClose"})
    EXPECT_EQ(JVResultMessage(op, 0), ok) << op;
  EXPECT_EQ(JVResultMessage("JVFukuFile", 0), "(0)");
  EXPECT_EQ(JVResultMessage("JVSe", -101), "(-101)");  // shorter than "JVSet"
  EXPECT_EQ(JVResultMessage("", -999), "(-999)");
  EXPECT_EQ(JVResultMessage("jvread", 27), "(27)");  // names are exact
}

}  // namespace
}  // namespace tavolen
