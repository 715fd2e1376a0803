#include "jvbridge/Protocol.h"

#include <algorithm>

namespace tavolen::bridge {
namespace {

constexpr char kMagic[3] = {'T', 'V', 'B'};

class Writer {
 public:
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  }
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void Text(std::u16string_view t) {
    U32(static_cast<std::uint32_t>(t.size()));
    for (char16_t c : t) {
      out_.push_back(static_cast<char>(c & 0xFF));
      out_.push_back(static_cast<char>(c >> 8));
    }
  }
  void Bytes(std::string_view b) {
    U32(static_cast<std::uint32_t>(b.size()));
    out_.append(b);
  }
  std::string Frame(Kind kind) const {
    std::string f(kMagic, sizeof kMagic);
    f.push_back(static_cast<char>(kind));
    const auto n = static_cast<std::uint32_t>(out_.size());
    for (int i = 0; i < 4; ++i) f.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    return f + out_;
  }

 private:
  std::string out_;
};

// Reads fields from a payload; any read past its end makes the whole payload bad.
class Reader {
 public:
  explicit Reader(std::string_view p) : p_(p) {}
  bool U32(std::uint32_t& v) {
    if (p_.size() - pos_ < 4) return ok_ = false;
    v = 0;
    for (int i = 0; i < 4; ++i)
      v |= static_cast<std::uint32_t>(static_cast<unsigned char>(p_[pos_ + i])) << (8 * i);
    pos_ += 4;
    return true;
  }
  bool I32(std::int32_t& v) {
    std::uint32_t u = 0;
    if (!U32(u)) return false;
    v = static_cast<std::int32_t>(u);
    return true;
  }
  bool Text(std::u16string& t) {
    std::uint32_t n = 0;
    if (!U32(n)) return false;
    if (n > (p_.size() - pos_) / 2) return ok_ = false;
    t.resize(n);
    for (std::uint32_t i = 0; i < n; ++i) {
      t[i] = static_cast<char16_t>(static_cast<unsigned char>(p_[pos_]) |
                                   (static_cast<unsigned char>(p_[pos_ + 1]) << 8));
      pos_ += 2;
    }
    return true;
  }
  bool Bytes(std::string& b) {
    std::uint32_t n = 0;
    if (!U32(n)) return false;
    if (n > p_.size() - pos_) return ok_ = false;
    b.assign(p_.substr(pos_, n));
    pos_ += n;
    return true;
  }
  // Every field was there and nothing is left over.
  bool Complete() const { return ok_ && pos_ == p_.size(); }

 private:
  std::string_view p_;
  size_t pos_ = 0;
  bool ok_ = true;
};

// The arguments a call of the operation carries, in their order on the wire.
struct CallArguments {
  bool text1 = false, text2 = false, number = false, count = false, fixedSize = false;
};

CallArguments ArgumentsOf(Op op) {
  switch (op) {
    case Op::JVInit:
      return {true, false, false};
    case Op::JVOpen:
      return {true, true, true};
    case Op::JVRead:
      return {false, false, true, true, true};
    case Op::JVRTOpen:
      return {true, true, false};
    default:
      return {};
  }
}

SjisString LengthError() {
  return Sj("JV-Linkブリッジの応答の長さが不正です。");
}

// The checks of one JVRead's out-values against the size the read was offered.
bool CheckRecord(const SjisString& record, std::int32_t offered, SjisString& error) {
  // A record must fit the buffer the call offered (its size counts the closing NUL).
  if (offered > 0 && record.size() >= static_cast<size_t>(offered)) {
    error = Sj("JV-Linkブリッジから長すぎるレコードを受け取りました（") +
            std::to_string(record.size()) + Sj("バイト）。");
    return false;
  }
  if (!IsWellFormedSjis(record)) {
    error = Sj("JV-Linkブリッジから受け取ったレコードにShift-JISでない文字があります。");
    return false;
  }
  return true;
}

// The bytes of one read-ahead entry on the wire.
size_t EntryBytes(const ReadEntry& e) {
  return 16 + e.record.size() + 2 * e.filename.size();
}

}  // namespace

std::u16string ReleaseName(std::u16string_view stated) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\u3000' || c == 0; };
  while (!stated.empty() && blank(stated.front())) stated.remove_prefix(1);
  while (!stated.empty() && blank(stated.back())) stated.remove_suffix(1);
  const auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  if (stated.size() == 4 && std::all_of(stated.begin(), stated.end(), digit)) {
    const int major = (stated[0] - u'0') * 10 + (stated[1] - u'0');
    std::u16string out;
    for (char c : std::to_string(major)) out += static_cast<char16_t>(c);
    return out + u'.' + stated[2] + u'.' + stated[3];
  }
  std::u16string out(stated.substr(0, 32));
  // Control characters would break the one-line texts it is shown in.
  for (char16_t& c : out)
    if (c < 0x20) c = u' ';
  return out;
}

const char* OpName(Op op) {
  // By the operation's number, from Op::JVInit on.
  static constexpr const char* kNames[] = {
      "JVInit", "JVClose",  "JVSetUIProperties", "JVOpen",       "JVStatus",
      "JVRead", "JVRTOpen", "JVCancel",          "JVWatchEvent", "JVWatchEventClose"};
  const auto v = static_cast<std::uint32_t>(op);
  return IsOp(v) ? kNames[v - static_cast<std::uint32_t>(Op::JVInit)] : "?";
}

bool IsOp(std::uint32_t v) {
  return v >= static_cast<std::uint32_t>(Op::JVInit) &&
         v <= static_cast<std::uint32_t>(Op::JVWatchEventClose);
}

std::string EncodeHello(const Hello& h) {
  Writer w;
  w.U32(h.version);
  w.U32(h.bits);
  w.U32(h.codePage);
  w.Text(h.locale);
  w.U32(h.created ? 1 : 0);
  w.I32(h.hresult);
  w.Text(h.message);
  w.U32(h.views);
  w.Text(h.componentVersion);
  w.U32(h.events ? 1 : 0);
  w.Text(h.eventsText);
  return w.Frame(Kind::Hello);
}

std::string EncodeCall(const Call& c) {
  Writer w;
  w.U32(static_cast<std::uint32_t>(c.op));
  const CallArguments a = ArgumentsOf(c.op);
  if (a.text1) w.Text(c.text1);
  if (a.text2) w.Text(c.text2);
  if (a.number) w.I32(c.number);
  if (a.count) w.I32(c.count);
  if (a.fixedSize) w.I32(c.fixedSize);
  return w.Frame(Kind::Call);
}

std::string EncodeResult(const Result& r) {
  Writer w;
  w.U32(static_cast<std::uint32_t>(r.op));
  w.I32(r.hresult);
  w.Text(r.hresultText);
  w.I32(r.result);
  if (r.op == Op::JVOpen) {
    w.I32(r.count1);
    w.I32(r.count2);
    w.Text(r.text);
  } else if (r.op == Op::JVRead) {
    w.I32(r.count1);
    w.Bytes(r.record);
    w.Text(r.text);
    w.U32(static_cast<std::uint32_t>(r.more.size()));
    for (const ReadEntry& e : r.more) {
      w.I32(e.result);
      w.I32(e.size);
      w.Bytes(e.record);
      w.Text(e.filename);
    }
    w.I32(r.laterHresult);
    w.Text(r.laterHresultText);
  }
  return w.Frame(Kind::Result);
}

std::string EncodeQuit() {
  return Writer().Frame(Kind::Quit);
}

std::string EncodeEvent(const Event& e) {
  Writer w;
  w.Text(e.name);
  w.Text(e.key);
  return w.Frame(Kind::Event);
}

bool DecodeEvent(std::string_view payload, Event& e, SjisString& error) {
  Reader r(payload);
  r.Text(e.name) && r.Text(e.key);
  if (!r.Complete()) {
    error = LengthError();
    return false;
  }
  return true;
}

std::string EncodeWindow(bool waiting, std::u16string_view title) {
  Writer w;
  w.U32(waiting ? 1 : 0);
  w.Text(title);
  return w.Frame(Kind::Window);
}

bool DecodeWindow(std::string_view payload, bool& waiting, std::u16string& title,
                  SjisString& error) {
  Reader r(payload);
  std::uint32_t state = 0;
  r.U32(state) && r.Text(title);
  if (!r.Complete() || state > 1) {
    error = Sj("JV-Linkブリッジから不正なデータを受け取りました。");
    return false;
  }
  waiting = state == 1;
  return true;
}

void FrameReader::Feed(std::string_view bytes) {
  if (error_.empty()) buffer_.append(bytes);
}

FrameReader::State FrameReader::Next(Frame& frame) {
  if (!error_.empty()) return State::Broken;
  // The magic is checked as soon as its bytes are here: garbage is found without waiting.
  const size_t have = std::min(buffer_.size(), sizeof kMagic);
  if (!std::equal(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(have), kMagic)) {
    error_ = Sj("JV-Linkブリッジから不正なデータを受け取りました。");
    buffer_.clear();
    return State::Broken;
  }
  if (buffer_.size() < kHeaderSize) return State::NeedMore;
  const char kind = buffer_[3];
  if (kind != static_cast<char>(Kind::Hello) && kind != static_cast<char>(Kind::Call) &&
      kind != static_cast<char>(Kind::Result) && kind != static_cast<char>(Kind::Quit) &&
      kind != static_cast<char>(Kind::Event) && kind != static_cast<char>(Kind::Window)) {
    error_ = Sj("JV-Linkブリッジから不正なデータを受け取りました。");
    buffer_.clear();
    return State::Broken;
  }
  std::uint32_t n = 0;
  for (int i = 0; i < 4; ++i)
    n |= static_cast<std::uint32_t>(static_cast<unsigned char>(buffer_[4 + i])) << (8 * i);
  if (n > kMaxPayload) {
    error_ = LengthError();
    buffer_.clear();
    return State::Broken;
  }
  if (buffer_.size() - kHeaderSize < n) return State::NeedMore;
  frame.kind = static_cast<Kind>(kind);
  frame.payload.assign(buffer_, kHeaderSize, n);
  buffer_.erase(0, kHeaderSize + n);
  return State::HaveFrame;
}

bool DecodeHello(std::string_view payload, Hello& h, SjisString& error) {
  Reader r(payload);
  // The version comes first, so that a bridge of another version is named as such.
  if (!r.U32(h.version)) {
    error = LengthError();
    return false;
  }
  if (h.version != kProtocolVersion) {
    error = Sj("JV-Linkブリッジの版が合いません（プロトコル ") + std::to_string(h.version) +
            Sj("、必要なのは ") + std::to_string(kProtocolVersion) + Sj("）。");
    return false;
  }
  std::uint32_t created = 0, events = 0;
  r.U32(h.bits) && r.U32(h.codePage) && r.Text(h.locale) && r.U32(created) && r.I32(h.hresult) &&
      r.Text(h.message) && r.U32(h.views) && r.Text(h.componentVersion) && r.U32(events) &&
      r.Text(h.eventsText);
  if (!r.Complete()) {
    error = LengthError();
    return false;
  }
  if (created > 1 || events > 1 || h.views > (kView32 | kView64 | kViewsUnread)) {
    error = Sj("JV-Linkブリッジから不正なデータを受け取りました。");
    return false;
  }
  h.created = created != 0;
  h.events = events != 0;
  return true;
}

bool DecodeCall(std::string_view payload, Call& c, SjisString& error) {
  Reader r(payload);
  std::uint32_t op = 0;
  if (!r.U32(op) || !IsOp(op)) {
    error = Sj("不正な呼び出しです。");
    return false;
  }
  c = Call{};
  c.op = static_cast<Op>(op);
  const CallArguments a = ArgumentsOf(c.op);
  (!a.text1 || r.Text(c.text1)) && (!a.text2 || r.Text(c.text2)) &&
      (!a.number || r.I32(c.number)) && (!a.count || r.I32(c.count)) &&
      (!a.fixedSize || r.I32(c.fixedSize));
  if (!r.Complete()) {
    error = Sj("呼び出しの長さが不正です。");
    return false;
  }
  if (a.count && (c.count < 0 || c.count > kMaxReadAhead || c.fixedSize < 0 || c.fixedSize > 1)) {
    error = Sj("先読みの件数が不正です。");
    return false;
  }
  return true;
}

bool DecodeResult(std::string_view payload, const Call& call, Result& out, SjisString& error) {
  Reader r(payload);
  Result res;
  std::uint32_t op = 0;
  if (!r.U32(op) || !IsOp(op)) {
    error = LengthError();
    return false;
  }
  res.op = static_cast<Op>(op);
  r.I32(res.hresult) && r.Text(res.hresultText) && r.I32(res.result);
  if (res.op == Op::JVOpen) {
    r.I32(res.count1) && r.I32(res.count2) && r.Text(res.text);
  } else if (res.op == Op::JVRead) {
    std::uint32_t more = 0;
    if (r.I32(res.count1) && r.Bytes(res.record) && r.Text(res.text) && r.U32(more)) {
      if (more >= static_cast<std::uint32_t>(kMaxReadAhead)) {
        error = Sj("JV-Linkブリッジの先読みの応答が不正です。");
        return false;
      }
      res.more.resize(more);
      for (ReadEntry& e : res.more)
        r.I32(e.result) && r.I32(e.size) && r.Bytes(e.record) && r.Text(e.filename);
      r.I32(res.laterHresult) && r.Text(res.laterHresultText);
    }
  }
  if (!r.Complete()) {
    error = LengthError();
    return false;
  }
  if (res.op != call.op) {
    error = Sj("JV-Linkブリッジが別の呼び出しに応答しました（") + OpName(call.op) + Sj("に対して") +
            OpName(res.op) + Sj("）。");
    return false;
  }
  if (res.op == Op::JVRead) {
    if (!CheckRecord(res.record, std::max(call.number, call.recordLimit), error)) return false;
    // No more reads than asked for and none after a failed first read; every read but the
    // last is a record, and the last one too when a later read failed.
    const size_t n = res.more.size() + 1;
    const bool laterFailed = res.laterHresult < 0;
    bool ordered = n <= static_cast<size_t>(std::max(call.count, 1)) &&
                   (res.hresult >= 0 || (n == 1 && !laterFailed));
    for (size_t i = 0; ordered && i < n; ++i) {
      const std::int32_t result = i == 0 ? res.result : res.more[i - 1].result;
      ordered = result > 0 || (i + 1 == n && !laterFailed) || res.hresult < 0;
    }
    if (!ordered) {
      error = Sj("JV-Linkブリッジの先読みの応答が不正です。");
      return false;
    }
    // Each read was offered the call's size again, or the size the one before gave back.
    std::int32_t offered = call.fixedSize ? call.number : res.count1;
    for (size_t i = 0; i < res.more.size(); ++i) {
      if (!CheckRecord(res.more[i].record, std::max(offered, call.recordLimit), res.laterError)) {
        res.more.resize(i);
        break;
      }
      if (!call.fixedSize) offered = res.more[i].size;
    }
  }
  out = std::move(res);
  return true;
}

Result ReadBatch(const Call& call, const std::function<Result(const Call&)>& read) {
  Call one;
  one.op = Op::JVRead;
  one.number = call.number;
  Result batch = read(one);
  batch.op = Op::JVRead;
  batch.more.clear();
  batch.laterHresult = 0;
  batch.laterHresultText.clear();
  if (batch.hresult < 0 || batch.result <= 0) return batch;
  size_t bytes = EntryBytes(ReadEntry{batch.result, batch.count1, batch.record, batch.text});
  std::int32_t offered = call.fixedSize ? call.number : batch.count1;
  size_t nameUnits = batch.text.size();
  for (std::int32_t i = 1; i < call.count; ++i) {
    // The next record may be as long as the size offered to it, or as the call's.
    const std::int32_t longest = std::max(offered, call.number);
    if (offered <= 0 || bytes + 16 + static_cast<size_t>(longest) + 2 * nameUnits > kReadAheadBytes)
      break;
    one.number = offered;
    Result r = read(one);
    if (r.hresult < 0) {
      batch.laterHresult = r.hresult;
      batch.laterHresultText = std::move(r.hresultText);
      break;
    }
    batch.more.push_back(ReadEntry{r.result, r.count1, std::move(r.record), std::move(r.text)});
    const ReadEntry& e = batch.more.back();
    if (e.result <= 0) break;
    bytes += EntryBytes(e);
    offered = call.fixedSize ? call.number : e.size;
    nameUnits = e.filename.size();
  }
  return batch;
}

bool IsWellFormedSjis(std::string_view s) {
  size_t units = 0;
  for (size_t i = 0; i < s.size(); ++units) {
    if (IsSjisLeadByte(static_cast<unsigned char>(s[i]))) {
      if (i + 1 >= s.size() || !IsSjisTrailByte(static_cast<unsigned char>(s[i + 1]))) return false;
      i += 2;
    } else {
      ++i;
    }
  }
  const std::u16string decoded = SjisToUtf16(s);
  return decoded.size() == units &&
         std::find(decoded.begin(), decoded.end(), u'\xFFFD') == decoded.end();
}

}  // namespace tavolen::bridge
