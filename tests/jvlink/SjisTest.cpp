#include <gtest/gtest.h>

#include "jvlink/Sjis.h"
#include "tests/support/Files.h"

namespace tavolen {
namespace {

constexpr auto B = &testsupport::Bytes;

TEST(Sjis, MicrosoftTableSpecialPoints) {
  EXPECT_EQ(Utf8ToSjis("①"), B({0x87, 0x40}));
  EXPECT_EQ(Utf8ToSjis("⑱"), B({0x87, 0x51}));
  EXPECT_EQ(Utf8ToSjis("ｾﾝ"), B({0xBE, 0xDD}));
  EXPECT_EQ(Utf8ToSjis("ﾌﾞﾘﾝｶ"), B({0xCC, 0xDE, 0xD8, 0xDD, 0xB6}));
  EXPECT_EQ(Utf8ToSjis("\\~"), B({0x5C, 0x7E}));
  EXPECT_EQ(Utf8ToSjis("－"), B({0x81, 0x7C}));
  EXPECT_EQ(Utf8ToSjis("表ソ"), B({0x95, 0x5C, 0x83, 0x5C}));
  EXPECT_EQ(SjisToUtf8(B({0x5C, 0x7E})), "\\~");
  EXPECT_EQ(SjisToUtf8(B({0x81, 0x7C})), "－");
  EXPECT_EQ(SjisToUtf8(B({0x87, 0x40, 0x87, 0x51})), "①⑱");
}

TEST(Sjis, RoundTripOfJapaneseText) {
  const std::string text = "2024年01月06日中山 東京11R 競争除外[疾病] ﾀﾞ左 天候馬場 ⇒ 【エラー】";
  EXPECT_EQ(SjisToUtf8(Utf8ToSjis(text)), text);
  EXPECT_EQ(Utf16ToSjis(SjisToUtf16(Utf8ToSjis(text))), Utf8ToSjis(text));
  EXPECT_EQ(Utf8ToSjis("年").size(), 2u);
}

TEST(Sjis, BadInputBecomesStatedReplacement) {
  // A lead byte cut off at the end, or followed by a non-trail byte, is dropped.
  EXPECT_EQ(SjisToUtf8(B({'A', 0x83})), "A");
  EXPECT_EQ(SjisToUtf8(B({0x83, ' ', 'B'})), " B");
  // Undefined single bytes and undefined pairs become U+FFFD.
  EXPECT_EQ(SjisToUtf16(B({0xFD})), std::u16string(1, u'\xFFFD'));
  EXPECT_EQ(SjisToUtf16(B({0x85, 0x40})), std::u16string(1, u'\xFFFD'));
  // Characters the code page cannot hold, and broken UTF-8, become '?'.
  EXPECT_EQ(Utf8ToSjis("é😀"), "??");
  EXPECT_EQ(Utf8ToSjis(B({0xE3, 0x81})), "??");
  EXPECT_EQ(Utf16ToSjis(std::u16string(1, u'\xD800')), "?");
  // NUL survives both ways (records are byte strings).
  EXPECT_EQ(Utf8ToSjis(std::string(1, '\0')), std::string(1, '\0'));
}

// Records are converted eight ASCII characters at a time: whatever else stands at whatever place
// (a full-width character, a pair beyond the code page, a lone surrogate, NUL, DEL) converts
// as it does alone, and so does every ASCII character around it.
TEST(Sjis, RecordConversionAroundEveryKindOfCharacterAtEveryPlace) {
  const struct {
    std::u16string unit;
    std::string bytes;
  } odd[] = {{u"年", Utf8ToSjis("年")},
             {u"ｾ", Utf8ToSjis("ｾ")},
             {u"😀", "?"},
             {std::u16string(1, u'\xDC00'), "?"},
             {std::u16string(1, u'\0'), std::string(1, '\0')},
             {u"\x7F", "\x7F"},
             {u"\x80", "?"}};
  for (const auto& o : odd)
    for (size_t length = 0; length <= 40; ++length)
      for (size_t at = 0; at <= length; ++at) {
        std::u16string text;
        std::string expected;
        for (size_t i = 0; i <= length; ++i) {
          if (i == at) {
            text += o.unit;
            expected += o.bytes;
          } else {
            const char c = static_cast<char>('0' + i % 75);
            text += static_cast<char16_t>(c);
            expected += c;
          }
        }
        ASSERT_EQ(Utf16ToSjis(text), expected) << SjisToUtf8(o.bytes) << " " << length << " " << at;
      }
  EXPECT_EQ(Utf16ToSjis(u""), "");
}

TEST(Sjis, DropCutLeadByteKnowsLeadFromTrail) {
  std::string name = Utf8ToSjis("ソ");  // 0x83 0x5C: its trail byte is not a lead byte
  EXPECT_EQ(DropCutLeadByte(name + B({0x83})), name);
  EXPECT_EQ(DropCutLeadByte(name), name);
  // 0x95 0x81: the trail byte 0x81 is also a lead-byte value; a walk must not drop it.
  std::string pair = B({0x95, 0x81});
  EXPECT_EQ(DropCutLeadByte(pair), pair);
  EXPECT_EQ(DropCutLeadByte(""), "");
}

}  // namespace
}  // namespace tavolen
