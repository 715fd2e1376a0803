// A bridge for tests without Wine: answers each call frame with the bytes a script returns,
// so that a test can send good answers, garbage, cut frames or nothing at all.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "jvbridge/BridgeProcess.h"
#include "jvbridge/Protocol.h"

namespace tavolen::testing {

struct FakeBridgeScript {
  std::string hello = bridge::EncodeHello(bridge::Hello{bridge::kProtocolVersion, 32, 932, u"ja-JP",
                                                        true, 0, u"ok", bridge::kView32, u""});
  // When set, the hello of a bridge started with this launch (instead of hello).
  std::function<std::string(const bridge::BridgeLaunch&)> helloFor;
  std::vector<int> launchedBits;  // the bits of every launch started
  // Bytes that arrive only once the time has come (an answer after the user's reply).
  std::string delayed;
  std::chrono::steady_clock::time_point delayedAt;
  // The bytes answering one call; end = true closes the output after them.
  std::function<std::string(const bridge::Call&, bool& end)> answer;
  std::vector<bridge::Call> calls;  // every call received, over every started bridge
  int started = 0;
  bool refuseStart = false;
  // Bytes the bridge writes on its own (event frames between answers), read at the next read.
  std::string idle;
};

class FakeTransport final : public bridge::BridgeTransport {
 public:
  FakeTransport(FakeBridgeScript& s, const bridge::BridgeLaunch& launch) : s_(s) {
    out_ = s.helloFor ? s.helloFor(launch) : s.hello;
  }
  bool Write(std::string_view bytes) override {
    if (ended_) return false;
    in_.Feed(bytes);
    bridge::Frame f;
    while (in_.Next(f) == bridge::FrameReader::State::HaveFrame) {
      if (f.kind == bridge::Kind::Quit) {
        ended_ = true;
        return true;
      }
      bridge::Call c;
      SjisString error;
      if (!bridge::DecodeCall(f.payload, c, error)) return false;
      s_.calls.push_back(c);
      bool end = false;
      out_ += s_.answer(c, end);
      if (end) closing_ = true;
    }
    return true;
  }
  bool Read(int waitMs, std::string& out) override {
    out_ += s_.idle;
    s_.idle.clear();
    if (!s_.delayed.empty() && std::chrono::steady_clock::now() >= s_.delayedAt) {
      out_ += s_.delayed;
      s_.delayed.clear();
    }
    if (!out_.empty()) {
      out += out_;
      out_.clear();
      return true;
    }
    if (closing_ || ended_) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    return true;
  }
  void Kill() override { ended_ = true; }
  long ProcessId() const override { return 1; }

 private:
  FakeBridgeScript& s_;
  bridge::FrameReader in_;
  std::string out_;
  bool closing_ = false;
  bool ended_ = false;
};

inline bridge::TransportFactory FakeFactory(FakeBridgeScript& s) {
  return [&s](const bridge::BridgeLaunch& launch,
              SjisString& error) -> std::unique_ptr<bridge::BridgeTransport> {
    if (s.refuseStart) {
      error = Sj("起動できません");
      return nullptr;
    }
    ++s.started;
    s.launchedBits.push_back(launch.bits);
    return std::make_unique<FakeTransport>(s, launch);
  };
}

// The well-formed answer of a call with result r.
inline std::string Answer(const bridge::Call& c, int r, SjisString record = {},
                          std::u16string text = {}, int count1 = 0, int count2 = 0) {
  bridge::Result res;
  res.op = c.op;
  res.result = r;
  res.record = std::move(record);
  res.text = std::move(text);
  res.count1 = count1;
  res.count2 = count2;
  return bridge::EncodeResult(res);
}

// The one whole frame that bytes hold.
inline bridge::Frame OneFrame(const std::string& bytes) {
  bridge::FrameReader reader;
  reader.Feed(bytes);
  bridge::Frame f;
  EXPECT_EQ(reader.Next(f), bridge::FrameReader::State::HaveFrame);
  return f;
}

}  // namespace tavolen::testing
