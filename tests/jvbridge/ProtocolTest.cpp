#include <gtest/gtest.h>

#include "jvbridge/Protocol.h"
#include "tests/jvbridge/FakeBridge.h"

namespace tavolen::bridge {
namespace {

// Characters that exist only in code page 932 (NEC and IBM extensions, Microsoft's mappings).
const SjisString kOnly932 = Sj("①Ⅱ～－髙∥￢");

Call Just(Op op) {
  Call c;
  c.op = op;
  return c;
}

using testing::OneFrame;

// The release shown is the one the component states, never a type library's number.
TEST(BridgeProtocol, TheStatedVersionNamesTheRelease) {
  EXPECT_EQ(ReleaseName(u"0500"), u"5.0.0");
  EXPECT_EQ(ReleaseName(u"0492"), u"4.9.2");
  EXPECT_EQ(ReleaseName(u"1012"), u"10.1.2");
  EXPECT_EQ(ReleaseName(u" 0500\u3000"), u"5.0.0");
  // Other words are the component's own, shown as given.
  EXPECT_EQ(ReleaseName(u"5.0.1"), u"5.0.1");
  EXPECT_EQ(ReleaseName(u"050"), u"050");
  EXPECT_EQ(ReleaseName(u"Ver\n5"), u"Ver 5");
  EXPECT_EQ(ReleaseName(std::u16string(40, u'9')), std::u16string(32, u'9'));
  EXPECT_EQ(ReleaseName(u""), u"");
  EXPECT_EQ(ReleaseName(u"  "), u"");
}

TEST(BridgeProtocol, EveryMessageSurvivesEncodingExactly) {
  Hello h{kProtocolVersion, 32, 932, u"ja-JP", true, 0, u"作成しました", kView32 | kView64, u"5.0"};
  Hello h2;
  SjisString error;
  ASSERT_TRUE(DecodeHello(OneFrame(EncodeHello(h)).payload, h2, error)) << error;
  EXPECT_EQ(h2.bits, 32u);
  EXPECT_EQ(h2.codePage, 932u);
  EXPECT_EQ(h2.locale, u"ja-JP");
  EXPECT_TRUE(h2.created);
  EXPECT_EQ(h2.message, u"作成しました");
  EXPECT_EQ(h2.views, kView32 | kView64);
  EXPECT_EQ(h2.componentVersion, u"5.0");

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
  EXPECT_STREQ(OpName(Op::JVWatchEvent), "JVWatchEvent");
  EXPECT_STREQ(OpName(Op::JVWatchEventClose), "JVWatchEventClose");
  EXPECT_STREQ(OpName(static_cast<Op>(11)), "?");
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
  h.version = 1;  // a bridge of the version before
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

ReadEntry Read(std::int32_t result, SjisString record = {}, std::int32_t size = 60000) {
  return ReadEntry{result, size, std::move(record), u"RAVM2024.jvd"};
}

// The answer of a JVRead call whose first read is first and whose later reads are more.
Result Batch(const ReadEntry& first, std::vector<ReadEntry> more = {}) {
  Result r;
  r.op = Op::JVRead;
  r.result = first.result;
  r.count1 = first.size;
  r.record = first.record;
  r.text = first.filename;
  r.more = std::move(more);
  return r;
}

Call ReadCall(std::int32_t count) {
  return Call{Op::JVRead, {}, {}, 60000, count};
}

TEST(BridgeProtocol, ReadsMadeAheadSurviveEncodingExactly) {
  const Call call = ReadCall(8);
  Call c2;
  SjisString error;
  ASSERT_TRUE(DecodeCall(OneFrame(EncodeCall(call)).payload, c2, error)) << error;
  EXPECT_EQ(c2.number, 60000);
  EXPECT_EQ(c2.count, 8);

  Result r = Batch(Read(4, "RA\r\n"),
                   {Read(6, "SE" + kOnly932.substr(0, 2) + "\r\n", 3000), Read(-1, {}, 3000)});
  Result out;
  ASSERT_TRUE(DecodeResult(OneFrame(EncodeResult(r)).payload, call, out, error)) << error;
  EXPECT_EQ(out.record, "RA\r\n");
  ASSERT_EQ(out.more.size(), 2u);
  EXPECT_EQ(out.more[0].record, r.more[0].record);
  EXPECT_EQ(out.more[0].size, 3000);
  EXPECT_EQ(out.more[0].filename, u"RAVM2024.jvd");
  EXPECT_EQ(out.more[1].result, -1);
  EXPECT_EQ(out.laterHresult, 0);

  // Records, then the COM failure of the read after them.
  r.more = {Read(5, "SE\r\n")};
  r.laterHresult = static_cast<std::int32_t>(0x80020009u);
  r.laterHresultText = u"0x80020009 例外が発生しました";
  ASSERT_TRUE(DecodeResult(OneFrame(EncodeResult(r)).payload, call, out, error)) << error;
  EXPECT_EQ(out.more.size(), 1u);
  EXPECT_EQ(out.laterHresult, r.laterHresult);
  EXPECT_EQ(out.laterHresultText, r.laterHresultText);
}

TEST(BridgeProtocol, ReadAheadAnswersThatCannotBelongToTheCallAreRefused) {
  SjisString error;
  Result out;
  const auto refused = [&](const Result& r, const Call& call) {
    return !DecodeResult(OneFrame(EncodeResult(r)).payload, call, out, error);
  };
  EXPECT_TRUE(refused(Batch(Read(4, "RA\r\n"), {Read(4, "RA\r\n"), Read(4, "RA\r\n")}),
                      ReadCall(2)));  // more reads than asked for
  EXPECT_TRUE(refused(Batch(Read(4, "RA\r\n"), {Read(4, "RA\r\n")}), ReadCall(0)));
  EXPECT_EQ(error, Sj("JV-Linkブリッジの先読みの応答が不正です。"));
  EXPECT_TRUE(refused(Batch(Read(-1), {Read(4, "RA\r\n")}), ReadCall(8)));  // after a file end
  EXPECT_TRUE(refused(Batch(Read(4, "RA\r\n"), {Read(-3), Read(4, "RA\r\n")}), ReadCall(8)));
  Result failedLater = Batch(Read(4, "RA\r\n"), {Read(0)});
  failedLater.laterHresult = static_cast<std::int32_t>(0x80004005u);
  EXPECT_TRUE(refused(failedLater, ReadCall(8)));  // no read after the end
  Result failedFirst = Batch(Read(0), {Read(4, "RA\r\n")});
  failedFirst.hresult = static_cast<std::int32_t>(0x80004005u);
  EXPECT_TRUE(refused(failedFirst, ReadCall(8)));  // no read after a failed first one

  // Each later read was offered the size the read before gave back. A later record that fails
  // its checks ends the reads kept, and why is told for the call that reaches it.
  EXPECT_FALSE(refused(Batch(Read(4, "RA\r\n", 5), {Read(4, "SE\r\n", 5)}), ReadCall(8)));
  EXPECT_TRUE(out.laterError.empty());
  EXPECT_FALSE(refused(Batch(Read(4, "RA\r\n", 5), {Read(4, "SE\r\n", 4), Read(4, "WE\r\n", 4)}),
                       ReadCall(8)));
  EXPECT_EQ(out.more.size(), 1u);
  EXPECT_EQ(out.laterError, Sj("JV-Linkブリッジから長すぎるレコードを受け取りました（4バイト）。"));
  EXPECT_FALSE(
      refused(Batch(Read(4, "RA\r\n"), {Read(4, std::string("RA\x85\x40", 4))}), ReadCall(8)));
  EXPECT_TRUE(out.more.empty());
  EXPECT_EQ(out.laterError,
            Sj("JV-Linkブリッジから受け取ったレコードにShift-JISでない文字があります。"));

  // Cut anywhere, with a byte left over, or claiming more reads than are allowed.
  const std::string payload =
      OneFrame(EncodeResult(Batch(Read(4, "RA\r\n"), {Read(4, "SE\r\n"), Read(0)}))).payload;
  ASSERT_FALSE(refused(Batch(Read(4, "RA\r\n"), {Read(4, "SE\r\n"), Read(0)}), ReadCall(8)));
  for (size_t n = 0; n < payload.size(); ++n)
    EXPECT_FALSE(DecodeResult(payload.substr(0, n), ReadCall(8), out, error)) << n;
  EXPECT_FALSE(DecodeResult(payload + "x", ReadCall(8), out, error));
  std::string huge = OneFrame(EncodeResult(Batch(Read(4, "RA\r\n")))).payload;
  const size_t countAt = huge.size() - 4 - 4 - 4;  // before laterHresult and its text
  huge[countAt + 3] = '\x7F';
  EXPECT_FALSE(DecodeResult(huge, ReadCall(64), out, error));

  Call c;
  for (std::int32_t count : {-1, kMaxReadAhead + 1})
    EXPECT_FALSE(DecodeCall(OneFrame(EncodeCall(ReadCall(count))).payload, c, error)) << count;
  EXPECT_TRUE(DecodeCall(OneFrame(EncodeCall(ReadCall(kMaxReadAhead))).payload, c, error));
}

// The bridge's loop over the component: what it reads, with which size, and where it stops.
class ReadBatchLoop : public ::testing::Test {
 protected:
  struct Step {
    std::int32_t result;
    std::int32_t hresult = 0;
    std::size_t bytes = 4;
  };
  Result Run(const Call& call) {
    return ReadBatch(call, [this](const Call& one) {
      EXPECT_EQ(one.op, Op::JVRead);
      offered.push_back(one.number);
      Result r;
      r.op = Op::JVRead;
      const Step s = at < steps.size() ? steps[at] : Step{0};
      ++at;
      r.hresult = s.hresult;
      if (s.hresult < 0) {
        r.hresultText = u"0x80004005 エラー";
        return r;
      }
      r.result = s.result;
      r.count1 = sizeOut ? sizeOut : one.number;
      if (s.result > 0) r.record = std::string(s.bytes, 'A');
      r.text = u"RAVM2024.jvd";
      return r;
    });
  }
  std::vector<Step> steps;
  std::size_t at = 0;
  std::int32_t sizeOut = 0;
  std::vector<std::int32_t> offered;
};

// Where the loop stops is seen through the client's tests; here: the sizes it offers and the
// failures of COM.
TEST_F(ReadBatchLoop, PassesOnTheSizeEachReadGaveBackAndStopsAtAComFailure) {
  constexpr auto kFailed = static_cast<std::int32_t>(0x80004005u);
  steps = {{4}, {4}, {4, kFailed}, {4}};
  sizeOut = 3000;
  Result r = Run(ReadCall(64));
  EXPECT_EQ(offered, (std::vector<std::int32_t>{60000, 3000, 3000}));
  EXPECT_EQ(r.hresult, 0);
  EXPECT_EQ(r.more.size(), 1u);
  EXPECT_EQ(r.laterHresult, kFailed);
  EXPECT_EQ(r.laterHresultText, u"0x80004005 エラー");
  EXPECT_EQ(at, 3u);            // nothing is read after the failure
  steps = {{4, kFailed}, {4}};  // the failure of a first read is the answer's own, alone
  at = 0;
  r = Run(ReadCall(64));
  EXPECT_EQ(r.hresult, kFailed);
  EXPECT_TRUE(r.more.empty());
  EXPECT_EQ(at, 1u);
  sizeOut = -5;  // a size of nothing leaves no room for a record: no read ahead
  steps = {{4}, {4}};
  at = 0;
  EXPECT_TRUE(Run(ReadCall(64)).more.empty());
  EXPECT_EQ(at, 1u);
}

TEST_F(ReadBatchLoop, StaysUnderTheByteCapWithRoomForTheLargestRecord) {
  steps.assign(64, Step{50000, 0, 50000});
  Result r = Run(ReadCall(64));
  EXPECT_EQ(r.more.size(), 1u);  // a third record of up to 60000 bytes could pass the cap
  EXPECT_LE(EncodeResult(r).size(), kHeaderSize + kReadAheadBytes);
  steps.assign(200, Step{1272, 0, 1272});
  at = 0;
  r = Run(ReadCall(64));
  EXPECT_EQ(r.more.size(), 54u);  // 55 race records and room for one of 60000 bytes
  EXPECT_LE(EncodeResult(r).size(), kHeaderSize + kReadAheadBytes);
  EXPECT_LE(kReadAheadBytes, kMaxPayload / 2);
}

// A program that passes its full size on every call gets every read ahead offered that size,
// whatever size the read before gave back; the call says so on the wire.
TEST_F(ReadBatchLoop, AFixedSizeCallOffersEveryReadTheCallsSize) {
  Call call = ReadCall(64);
  call.fixedSize = 1;
  Call decoded;
  SjisString error;
  ASSERT_TRUE(DecodeCall(OneFrame(EncodeCall(call)).payload, decoded, error)) << error;
  EXPECT_EQ(decoded.fixedSize, 1);
  steps = {{555, 0, 555}, {1272, 0, 1272}, {-1}};
  sizeOut = 555;  // the component writes the runner record's length back
  const Result r = Run(call);
  EXPECT_EQ(offered, (std::vector<std::int32_t>{60000, 60000, 60000}));
  ASSERT_EQ(r.more.size(), 2u);
  // The race record after the runner record is longer than the size that read gave back, and
  // belongs to the call all the same.
  Result back;
  ASSERT_TRUE(DecodeResult(OneFrame(EncodeResult(r)).payload, call, back, error)) << error;
  EXPECT_EQ(back.more.size(), 2u);
  EXPECT_TRUE(back.laterError.empty()) << SjisToUtf8(back.laterError);
  call.fixedSize = 2;
  EXPECT_FALSE(DecodeCall(OneFrame(EncodeCall(call)).payload, decoded, error));
}

}  // namespace
}  // namespace tavolen::bridge
