#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "base/IniFile.h"
#include "changes/OzGetTimeUnit.h"
#include "tests/support/Files.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/Records.h"

namespace tavolen {
namespace {

using testsupport::Q;

using namespace tavolen::testsupport;

class IntervalDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication("tavolen_changes_ui_tests");
    dir_ = TempDir("interval-dialog");
  }
  int Stored() { return ini_.ReadInteger("Time", "AutoRdataGet", -1); }

  fs::path dir_;
  IniFile ini_{TempRoot() / "interval-dialog" / "Tavolen.ini"};
  RecordingDesktop desktop_;
};

TEST_F(IntervalDialog, LooksAsDesigned) {
  TOzGetTimeForm form(ini_, desktop_);
  form.show();
  EXPECT_EQ(Utf16ToSjis(form.windowTitle().toStdU16String()), Sj("データﾞ自動取得時刻指定"));
  EXPECT_EQ(form.frameGeometry().size(), QSize(319, 136));
  EXPECT_EQ(form.Heading->text(), Q("開催速報(変更情報)自動取得時刻指定"));
  EXPECT_TRUE(form.Heading->font().bold());
  EXPECT_TRUE(form.Heading->font().underline());
  EXPECT_EQ(form.Heading->palette().color(QPalette::WindowText), QColor(Qt::blue));
  EXPECT_EQ(form.Description->text(),
            Q("開催速報(変更情報)を何分おきに自動取得するか指定します。"));
  EXPECT_TRUE(form.Description->wordWrap());
  EXPECT_EQ(form.UnitLabel->text(), Q("分間隔"));
  EXPECT_EQ(form.SpinEdit1->minimum(), 2);
  EXPECT_EQ(form.SpinEdit1->maximum(), 59);
  EXPECT_TRUE(form.BitBtn1->isDefault());
}

TEST_F(IntervalDialog, OnlyDigitsAndSignsAreTypedOtherKeysBeep) {
  TOzGetTimeForm form(ini_, desktop_);
  form.show();
  QLineEdit* edit = form.SpinEdit1->lineEdit();
  form.SpinEdit1->setFocus();
  edit->selectAll();
  QTest::keyClicks(form.SpinEdit1, "a");
  EXPECT_EQ(desktop_.Count("beep"), 1);
  EXPECT_EQ(edit->text(), "5");
  QTest::keyClick(form.SpinEdit1, Qt::Key_Period, Qt::NoModifier);
  EXPECT_EQ(desktop_.Count("beep"), 2);
  edit->selectAll();
  QTest::keyClicks(form.SpinEdit1, "123");
  EXPECT_EQ(desktop_.Count("beep"), 2);
  EXPECT_LE(edit->text().size(), 2);
  QTest::keyClick(form.SpinEdit1, Qt::Key_Backspace);
  QTest::keyClick(form.SpinEdit1, Qt::Key_Left);
  EXPECT_EQ(desktop_.Count("beep"), 2);
}

TEST_F(IntervalDialog, OkStoresTheFieldBroughtIntoTwoToFiftyNine) {
  struct Case {
    const char* text;
    int stored;
  };
  for (Case c :
       {Case{"45", 45}, Case{"1", 2}, Case{"", 2}, Case{"-7", 2}, Case{"99", 59}, Case{"+", 2}}) {
    TOzGetTimeForm form(ini_, desktop_);
    form.SetInterval(5);
    form.SpinEdit1->lineEdit()->setText(c.text);
    form.BitBtn1Click();
    EXPECT_EQ(Stored(), c.stored) << c.text;
    EXPECT_EQ(form.result(), QDialog::Accepted);
  }
}

TEST_F(IntervalDialog, EnterConfirmsWithTheDefaultButton) {
  TOzGetTimeForm form(ini_, desktop_);
  form.SetInterval(80);  // a hand-edited setting shows as the nearer limit
  EXPECT_EQ(form.SpinEdit1->value(), 59);
  form.show();
  form.SpinEdit1->setFocus();
  form.SpinEdit1->lineEdit()->selectAll();
  QTest::keyClicks(form.SpinEdit1, "12");
  QTest::keyClick(form.SpinEdit1, Qt::Key_Return);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(Stored(), 12);
}

TEST_F(IntervalDialog, ATypedValueOutsideTheRangeGoesToTheNearerLimit) {
  struct Case {
    const char* typed;
    int stored;
    int beeps;
  };
  // "60" is kept as typed (not cut to "6") and stored as 59; a sign is typed as the field
  // would take it; a sign after a digit is refused with a beep.
  for (Case c : {Case{"60", 59, 0}, Case{"99", 59, 0}, Case{"1", 2, 0}, Case{"-5", 2, 0},
                 Case{"-", 2, 0}, Case{"+7", 7, 0}, Case{"5-", 5, 1}}) {
    desktop_.Clear();
    TOzGetTimeForm form(ini_, desktop_);
    form.SetInterval(10);
    form.show();
    form.SpinEdit1->setFocus();
    form.SpinEdit1->lineEdit()->selectAll();
    QTest::keyClicks(form.SpinEdit1, c.typed);
    EXPECT_EQ(desktop_.Count("beep"), c.beeps) << c.typed;
    if (c.beeps == 0) {
      EXPECT_EQ(form.SpinEdit1->lineEdit()->text(), QString::fromLatin1(c.typed));
    }
    QTest::keyClick(form.SpinEdit1, Qt::Key_Return);
    EXPECT_EQ(form.result(), QDialog::Accepted) << c.typed;
    EXPECT_EQ(Stored(), c.stored) << c.typed;
  }
  // Leaving the field brings it into the range too.
  TOzGetTimeForm form(ini_, desktop_);
  form.show();
  form.SpinEdit1->setFocus();
  form.SpinEdit1->lineEdit()->selectAll();
  QTest::keyClicks(form.SpinEdit1, "75");
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(form.SpinEdit1, &out);
  EXPECT_EQ(form.SpinEdit1->value(), 59);
  EXPECT_EQ(form.SpinEdit1->lineEdit()->text(), QStringLiteral("59"));
}

TEST(NotifySound, IsAValidShortPcmWave) {
  std::string w = ReadFileBytes(TAVOLEN_NOTIFY_WAV);
  ASSERT_GE(w.size(), 44u);
  auto u16 = [&](size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(w[at])) |
           static_cast<unsigned>(static_cast<unsigned char>(w[at + 1])) << 8;
  };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  EXPECT_EQ(w.substr(0, 4), "RIFF");
  EXPECT_EQ(u32(4), w.size() - 8);
  EXPECT_EQ(w.substr(8, 4), "WAVE");
  EXPECT_EQ(w.substr(12, 4), "fmt ");
  EXPECT_EQ(u32(16), 16u);
  EXPECT_EQ(u16(20), 1u);  // PCM
  EXPECT_EQ(u16(22), 1u);  // mono
  const unsigned rate = u32(24);
  EXPECT_EQ(u32(28), rate * 2);
  EXPECT_EQ(u16(32), 2u);
  EXPECT_EQ(u16(34), 16u);
  EXPECT_EQ(w.substr(36, 4), "data");
  const unsigned data = u32(40);
  ASSERT_EQ(data, w.size() - 44);
  const double seconds = data / 2.0 / rate;
  EXPECT_GT(seconds, 0.3);
  EXPECT_LT(seconds, 0.5);
  // Audible, not clipped, and silent at both ends (no click).
  int peak = 0;
  for (size_t i = 44; i + 1 < w.size(); i += 2)
    peak = std::max(peak, std::abs(static_cast<int>(static_cast<int16_t>(u16(i)))));
  EXPECT_GT(peak, 8000);
  EXPECT_LT(peak, 32767);
  EXPECT_EQ(static_cast<int16_t>(u16(44)), 0);
  EXPECT_LT(std::abs(static_cast<int>(static_cast<int16_t>(u16(w.size() - 2)))), 64);
}

// The favourites' sound beside it: a wave of the same form, longer, and not the same chime.
TEST(NotifySound, TheFavouritesSoundIsAnotherValidWave) {
  const std::string notify = ReadFileBytes(TAVOLEN_NOTIFY_WAV);
  const std::string w = ReadFileBytes(TAVOLEN_FAVOURITE_WAV);
  ASSERT_GE(w.size(), 44u);
  auto u32 = [&](size_t at) {
    unsigned v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(w[at + i]);
    return v;
  };
  EXPECT_EQ(w.substr(0, 4), "RIFF");
  EXPECT_EQ(u32(4), w.size() - 8);
  EXPECT_EQ(w.substr(8, 28), notify.substr(8, 28));  // the same format chunk
  EXPECT_EQ(w.substr(36, 4), "data");
  ASSERT_EQ(u32(40), w.size() - 44);
  const double seconds = u32(40) / 2.0 / u32(24);
  EXPECT_GT(seconds, 0.5);
  EXPECT_LT(seconds, 0.7);
  EXPECT_NE(w, notify);
}

}  // namespace
}  // namespace tavolen
