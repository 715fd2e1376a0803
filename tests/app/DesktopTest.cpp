// The desktop services that every platform shares: texts cut for the tray and the balloon,
// boxes where nobody can answer, the tray tip and the sound.
#include "base/QtDesktop.h"

#include <gtest/gtest.h>

#include <QSystemTrayIcon>
#include <string>

#include "base/Widgets.h"
#include "tests/support/MainWindow.h"

namespace tavolen {
namespace {

TEST(DesktopTexts, CutsNeverSplitADoubleByteCharacter) {
  const SjisString a = Sj("あいう");  // 6 bytes
  EXPECT_EQ(CutSjisBytes(a, 6), a);
  EXPECT_EQ(CutSjisBytes(a, 5), Sj("あい"));
  EXPECT_EQ(CutSjisBytes(a, 4), Sj("あい"));
  EXPECT_EQ(CutSjisBytes("abc" + a, 4), "abc");
  EXPECT_EQ(CutSjisBytes(Sj("ｱｲｳｴ"), 3), Sj("ｱｲｳ"));  // half-width katakana are single bytes
  EXPECT_EQ(CutSjisBytes("", 3), "");
  // A lead byte at the very end of the input is one byte.
  EXPECT_EQ(CutSjisBytes(std::string("ab\x82", 3), 3), std::string("ab\x82", 3));

  std::u16string pair = u"ab\U0001F40E";  // a character outside the basic plane
  EXPECT_EQ(CutChars(pair, 3), u"ab");
  EXPECT_EQ(CutChars(pair, 4), pair);
}

TEST(DesktopTexts, BalloonTextsAreCutAndLineEndsMadePlain) {
  SjisString title;
  for (int i = 0; i < 40; ++i) title += Sj("変");
  SjisString text = Sj("本日の開催で変更情報が発生しました。\r\n");
  while (text.size() < 300) text += Sj("[取消除外]更新時刻：01/08 09:10\r\n");
  const BalloonTexts b = PrepareBalloon(title, text);
  EXPECT_EQ(b.title.size(), 31);  // 62 bytes; a 32nd character would need 64
  const SjisString body = SjisOf(b.text);
  EXPECT_LE(body.size(), 255u);
  EXPECT_EQ(b.text.count(QLatin1Char('\r')), 0);
  EXPECT_TRUE(b.text.startsWith(Qs(Sj("本日の開催で変更情報が発生しました。\n"))));
  EXPECT_EQ(PrepareBalloon(Sj("新着開催情報"), "").text, QStringLiteral(" "));
}

TEST(QtDesktopBoxes, WhereNobodyCanAnswerABoxItReturnsAtOnceWithNo) {
  QtDesktop d;
  d.InformationBox(Sj("データを読み込んでください。"));
  d.PlainBox(Sj("本ソフトはすでに起動しています。"));
  d.ErrorBox(Sj("エラー"));
  EXPECT_FALSE(d.AskYesNo(Sj("よろしいですか？")));
}

TEST(QtDesktopTray, TipIsCutTo63Characters) {
  QtDesktop d;
  d.SetTrayTip(SjisString(70, 'x'));
  EXPECT_EQ(d.trayIcon()->toolTip().size(), 63);
  d.SetTrayTip(Sj("開催日：2005年01月08日"));
  EXPECT_EQ(d.trayIcon()->toolTip(), QString::fromUtf8("開催日：2005年01月08日"));
}

TEST(QtDesktopSound, MissingFileOrDeviceIsSilentAndNeverBlocks) {
  const fs::path dir = testsupport::TestDir("shell/desktop");
  QtDesktop d;
  d.PlaySoundAsync(dir / "notify.wav");  // missing
  // A short silent wave file: 8 kHz, 8 bit, mono, 80 samples.
  std::string wav = "RIFF";
  auto le32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) wav += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto le16 = [&](uint16_t v) {
    wav += static_cast<char>(v & 0xFF);
    wav += static_cast<char>(v >> 8);
  };
  le32(36 + 80);
  wav += "WAVEfmt ";
  le32(16);
  le16(1);
  le16(1);
  le32(8000);
  le32(8000);
  le16(1);
  le16(8);
  wav += "data";
  le32(80);
  wav += std::string(80, '\x80');
  testsupport::WriteFileBytes(dir / "notify.wav", wav);
  d.PlaySoundAsync(dir / "notify.wav");
  d.PlaySoundAsync(dir / "notify.wav");
  SUCCEED();
}

}  // namespace
}  // namespace tavolen
