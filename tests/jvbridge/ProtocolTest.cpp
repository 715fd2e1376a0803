#include <gtest/gtest.h>

#include "jvbridge/Protocol.h"

namespace tavolen::bridge {
namespace {

// Characters that exist only in code page 932 (NEC and IBM extensions, Microsoft's mappings).
const SjisString kOnly932 = Sj("①Ⅱ～－髙∥￢");

Call Just(Op op) {
  Call c;
  c.op = op;
  return c;
}

Frame OneFrame(const std::string& bytes) {
  FrameReader r;
  r.Feed(bytes);
  Frame f;
  EXPECT_EQ(r.Next(f), FrameReader::State::HaveFrame);
  return f;
}

TEST(BridgeProtocol, EveryMessageSurvivesEncodingExactly) {
  Hello h{kProtocolVersion, 32, 932, u"ja-JP", true, 0, u"作成しました"};
  Hello h2;
  SjisString error;
  ASSERT_TRUE(DecodeHello(OneFrame(EncodeHello(h)).payload, h2, error)) << error;
  EXPECT_EQ(h2.bits, 32u);
  EXPECT_EQ(h2.codePage, 932u);
  EXPECT_EQ(h2.locale, u"ja-JP");
  EXPECT_TRUE(h2.created);
  EXPECT_EQ(h2.message, u"作成しました");

  Call open{Op::JVOpen, u"RACE", u"20240101000000", 2};
  Call c2;
  ASSERT_TRUE(DecodeCall(OneFrame(EncodeCall(open)).payload, c2, error));
  EXPECT_EQ(c2.op, Op::JVOpen);
  EXPECT_EQ(c2.text1, u"RACE");
  EXPECT_EQ(c2.text2, u"20240101000000");
  EXPECT_EQ(c2.number, 2);

  Call read{Op::JVRead, {}, {}, 60000};
  Result r;
  r.op = Op::JVRead;
  r.result = static_cast<int>(kOnly932.size() + 2);
  r.count1 = 60000;
  r.record = "RA" + kOnly932 + "\r\n";
  r.text = u"RAVM2024.jvd";
  Result r2;
  ASSERT_TRUE(DecodeResult(OneFrame(EncodeResult(r)).payload, read, r2, error)) << error;
  EXPECT_EQ(r2.record, r.record);  // byte for byte
  EXPECT_EQ(r2.text, r.text);
  EXPECT_EQ(r2.result, r.result);

  Result failed;
  failed.op = Op::JVStatus;
  failed.hresult = static_cast<std::int32_t>(0x80004005u);
  failed.hresultText = u"0x80004005 エラー";
  ASSERT_TRUE(DecodeResult(OneFrame(EncodeResult(failed)).payload, Just(Op::JVStatus), r2, error));
  EXPECT_EQ(r2.hresult, failed.hresult);
  EXPECT_EQ(r2.hresultText, failed.hresultText);
}

TEST(BridgeProtocol, EveryOperationIsNamedAsTheComponentsMethodAndNothingElseIs) {
  EXPECT_STREQ(OpName(Op::JVInit), "JVInit");
  EXPECT_STREQ(OpName(Op::JVClose), "JVClose");
  EXPECT_STREQ(OpName(Op::JVSetUIProperties), "JVSetUIProperties");
  EXPECT_STREQ(OpName(Op::JVOpen), "JVOpen");
  EXPECT_STREQ(OpName(Op::JVStatus), "JVStatus");
  EXPECT_STREQ(OpName(Op::JVRead), "JVRead");
  EXPECT_STREQ(OpName(Op::JVRTOpen), "JVRTOpen");
  EXPECT_STREQ(OpName(Op::JVCancel), "JVCancel");
  EXPECT_STREQ(OpName(static_cast<Op>(0)), "?");
  EXPECT_STREQ(OpName(static_cast<Op>(9)), "?");
}

TEST(BridgeProtocol, FramesArriveWhateverTheChunking) {
  Result r;
  r.op = Op::JVRead;
  r.result = 5;
  r.record = "WE\r\n";
  const std::string stream = EncodeResult(r) + EncodeResult(r) + EncodeQuit();
  FrameReader reader;
  int frames = 0;
  Frame f;
  for (char c : stream) {
    reader.Feed(std::string_view(&c, 1));
    while (reader.Next(f) == FrameReader::State::HaveFrame) ++frames;
  }
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(f.kind, Kind::Quit);
  EXPECT_FALSE(reader.Partial());
}

TEST(BridgeProtocol, BrokenStreamsAreRefusedForGood) {
  Frame f;
  {
    FrameReader r;  // garbage is seen at its first byte
    r.Feed("X");
    EXPECT_EQ(r.Next(f), FrameReader::State::Broken);
    EXPECT_EQ(r.error(), Sj("JV-Linkブリッジから不正なデータを受け取りました。"));
    r.Feed(EncodeQuit());  // nothing after a break is trusted
    EXPECT_EQ(r.Next(f), FrameReader::State::Broken);
  }
  {
    FrameReader r;  // an unknown kind
    r.Feed(std::string("TVBZ\0\0\0\0", 8));
    EXPECT_EQ(r.Next(f), FrameReader::State::Broken);
  }
  {
    FrameReader r;  // a length beyond the limit is not waited for
    std::string header = "TVBR";
    const std::uint32_t n = kMaxPayload + 1;
    for (int i = 0; i < 4; ++i) header.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    r.Feed(header);
    EXPECT_EQ(r.Next(f), FrameReader::State::Broken);
    EXPECT_EQ(r.error(), Sj("JV-Linkブリッジの応答の長さが不正です。"));
  }
  {
    FrameReader r;  // half a frame is neither a frame nor an error yet
    const std::string whole = EncodeQuit() + EncodeCall(Just(Op::JVStatus));
    r.Feed(whole.substr(0, whole.size() - 2));
    EXPECT_EQ(r.Next(f), FrameReader::State::HaveFrame);
    EXPECT_EQ(r.Next(f), FrameReader::State::NeedMore);
    EXPECT_TRUE(r.Partial());
  }
}

// A payload cut short or with bytes left over never decodes, at any cut.
TEST(BridgeProtocol, PayloadsOfTheWrongLengthNeverDecode) {
  Result r;
  r.op = Op::JVOpen;
  r.result = 0;
  r.count1 = 3;
  r.count2 = 1;
  r.text = u"20240105153000";
  const std::string payload = OneFrame(EncodeResult(r)).payload;
  const Call call = Just(Op::JVOpen);
  Result out;
  SjisString error;
  ASSERT_TRUE(DecodeResult(payload, call, out, error));
  for (size_t n = 0; n < payload.size(); ++n)
    EXPECT_FALSE(DecodeResult(payload.substr(0, n), call, out, error)) << n;
  EXPECT_FALSE(DecodeResult(payload + "x", call, out, error));
  EXPECT_EQ(error, Sj("JV-Linkブリッジの応答の長さが不正です。"));

  const std::string hello = OneFrame(EncodeHello(Hello{})).payload;
  Hello h;
  for (size_t n = 0; n < hello.size(); ++n) EXPECT_FALSE(DecodeHello(hello.substr(0, n), h, error));
  const std::string callPayload =
      OneFrame(EncodeCall(Call{Op::JVRTOpen, u"0B14", u"20240106"})).payload;
  Call c;
  for (size_t n = 0; n < callPayload.size(); ++n)
    EXPECT_FALSE(DecodeCall(callPayload.substr(0, n), c, error));
}

TEST(BridgeProtocol, AnswersThatCannotBelongToTheCallAreRefused) {
  SjisString error;
  Result out;
  Result r;
  r.op = Op::JVRead;
  r.result = 59999;
  r.record = std::string(59999, 'A');
  const Call read{Op::JVRead, {}, {}, 60000};
  EXPECT_TRUE(DecodeResult(OneFrame(EncodeResult(r)).payload, read, out, error));
  r.record = std::string(60000, 'A');  // does not fit the offered buffer
  EXPECT_FALSE(DecodeResult(OneFrame(EncodeResult(r)).payload, read, out, error));
  EXPECT_EQ(error, Sj("JV-Linkブリッジから長すぎるレコードを受け取りました（60000バイト）。"));

  for (const std::string& bad : {std::string("RA\x85\x40"), std::string("RA\xFD"),
                                 std::string("RA\x82"), std::string("RA\x82\x20")}) {
    r.record = bad;
    EXPECT_FALSE(DecodeResult(OneFrame(EncodeResult(r)).payload, read, out, error));
    EXPECT_EQ(error, Sj("JV-Linkブリッジから受け取ったレコードにShift-JISでない文字があります。"));
  }
  r.record = "RA";
  EXPECT_FALSE(DecodeResult(OneFrame(EncodeResult(r)).payload, Just(Op::JVStatus), out, error));

  Hello h;
  h.version = 2;
  EXPECT_FALSE(DecodeHello(OneFrame(EncodeHello(h)).payload, h, error));
  EXPECT_NE(error.find(Sj("版が合いません")), std::string::npos);
}

TEST(BridgeProtocol, WellFormedSjisAcceptsEveryDefinedCharacterOnly) {
  EXPECT_TRUE(IsWellFormedSjis(""));
  EXPECT_TRUE(IsWellFormedSjis(kOnly932 + Sj("ｱｲｳ表ソ") + "\r\n"));
  EXPECT_FALSE(IsWellFormedSjis("\x80"));
  EXPECT_FALSE(IsWellFormedSjis("\xA0"));
  EXPECT_FALSE(IsWellFormedSjis(Sj("髙") + "\x81"));
}

}  // namespace
}  // namespace tavolen::bridge
