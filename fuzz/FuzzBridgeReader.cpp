// Fuzzes the program's reader of the JV-Link bridge's output: frames cut from any bytes fed in
// any chunks never crash it; a payload that decodes is exactly one well-formed message (its
// encoding gives the same bytes back); an accepted record fits the offered buffer and is
// valid code page 932, and so does every read made ahead, in a batch no longer than asked
// for that ends at its first non-record; nothing after a broken frame is taken.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "jvbridge/Protocol.h"

namespace tavolen::bridge {
namespace {

void Run(std::string_view input) {
  if (input.empty()) return;
  // The first byte: the chunk size of the feeding and the operation of the awaited answer.
  const size_t chunk = 1 + static_cast<unsigned char>(input[0]) % 64;
  Call call;
  call.op = static_cast<Op>(1 + static_cast<unsigned char>(input[0]) % 8);
  call.number = 60000;
  call.count = 8;
  input.remove_prefix(1);

  FrameReader reader;
  bool broken = false;
  for (size_t at = 0; at < input.size(); at += chunk) {
    reader.Feed(input.substr(at, chunk));
    Frame f;
    for (;;) {
      const FrameReader::State s = reader.Next(f);
      if (s == FrameReader::State::NeedMore) break;
      if (s == FrameReader::State::Broken) {
        FUZZ_CHECK(!reader.error().empty());
        broken = true;
        break;
      }
      FUZZ_CHECK(!broken);
      FUZZ_CHECK(f.payload.size() <= kMaxPayload);
      SjisString error;
      Hello h;
      if (DecodeHello(f.payload, h, error))
        FUZZ_CHECK(EncodeHello(h).substr(kHeaderSize) == f.payload);
      bool waiting = false;
      std::u16string title;
      if (DecodeWindow(f.payload, waiting, title, error))
        FUZZ_CHECK(EncodeWindow(waiting, title).substr(kHeaderSize) == f.payload);
      Event ev;
      if (DecodeEvent(f.payload, ev, error))
        FUZZ_CHECK(EncodeEvent(ev).substr(kHeaderSize) == f.payload);
      Call c;
      if (DecodeCall(f.payload, c, error))
        FUZZ_CHECK(EncodeCall(c).substr(kHeaderSize) == f.payload);
      Result r;
      if (DecodeResult(f.payload, call, r, error)) {
        // A later read that failed its checks is left out of what was decoded.
        FUZZ_CHECK(!r.laterError.empty() || EncodeResult(r).substr(kHeaderSize) == f.payload);
        FUZZ_CHECK(r.op == call.op);
        FUZZ_CHECK(r.record.size() < 60000);
        FUZZ_CHECK(IsWellFormedSjis(r.record));
        FUZZ_CHECK(r.more.size() < static_cast<size_t>(call.count));
        std::int32_t offered = r.count1, last = r.result;
        for (const ReadEntry& e : r.more) {
          FUZZ_CHECK(last > 0 && r.hresult >= 0);
          FUZZ_CHECK(offered <= 0 || e.record.size() < static_cast<size_t>(offered));
          FUZZ_CHECK(IsWellFormedSjis(e.record));
          offered = e.size;
          last = e.result;
        }
        FUZZ_CHECK(r.laterHresult >= 0 || last > 0);
      } else {
        FUZZ_CHECK(!error.empty());
      }
    }
    if (broken) {
      Frame f2;
      FUZZ_CHECK(reader.Next(f2) == FrameReader::State::Broken);
      break;
    }
  }
}

}  // namespace
}  // namespace tavolen::bridge

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tavolen::bridge::Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
