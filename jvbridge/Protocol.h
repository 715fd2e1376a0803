// The protocol between the program and the JV-Link bridge, over the bridge's standard input
// and output. Pure C++, the same on both sides. Described in jvbridge/README.md.
//
// Every message is one frame: "TVB", a kind byte, the payload length (32-bit little endian,
// at most kMaxPayload) and the payload. Integers in a payload are 32-bit little endian; a text
// is a count of UTF-16 units and the units (little endian), exactly as the component gave or
// takes them; a record is a byte count and the record's code page 932 bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/Sjis.h"

namespace tavolen::bridge {

inline constexpr std::uint32_t kProtocolVersion = 4;
inline constexpr std::uint32_t kMaxPayload = 256 * 1024;
inline constexpr std::size_t kHeaderSize = 8;
// A read-ahead asks for at most this many reads, and the bridge starts no further read once
// the batch's entries, with room for one more record of the offered size, would pass
// kReadAheadBytes (well under kMaxPayload).
inline constexpr std::int32_t kMaxReadAhead = 64;
inline constexpr std::size_t kReadAheadBytes = 128 * 1024;

enum class Kind : char {
  Hello = 'H',   // bridge -> program, once at start
  Call = 'C',    // program -> bridge
  Result = 'R',  // bridge -> program, one per call
  Quit = 'Q',    // program -> bridge: release the component and end
  Event = 'E',   // bridge -> program, between answers: an event of the component (version 4)
  Window = 'W',  // bridge -> program, during a call: a window of the component waits or is gone
};

// The operations of the component, in the order of its interface.
enum class Op : std::uint32_t {
  JVInit = 1,
  JVClose = 2,
  JVSetUIProperties = 3,
  JVOpen = 4,
  JVStatus = 5,
  JVRead = 6,
  JVRTOpen = 7,
  JVCancel = 8,
  JVWatchEvent = 9,  // the event mechanism (version 4)
  JVWatchEventClose = 10,
};
const char* OpName(Op op);

// The release a component's stated version names: four digits "MMmp" read as M.m.p ("0500"
// is 5.0.0, "0492" 4.9.2); other words as given, trimmed and cut to 32 characters; empty
// when there are none.
std::u16string ReleaseName(std::u16string_view stated);
bool IsOp(std::uint32_t value);

// Where the registry holds the component's class (Hello::views): its 32-bit view, its 64-bit
// view; kViewsUnread when the registry could not be read.
inline constexpr std::uint32_t kView32 = 1;
inline constexpr std::uint32_t kView64 = 2;
inline constexpr std::uint32_t kViewsUnread = 4;

// What the bridge says on start.
struct Hello {
  std::uint32_t version = kProtocolVersion;
  std::uint32_t bits = 0;      // 32 or 64
  std::uint32_t codePage = 0;  // the process's ANSI code page
  std::u16string locale;       // the user's locale name, e.g. "ja-JP"
  bool created = false;        // the component could be created
  std::int32_t hresult = 0;    // its creation's status
  std::u16string message;      // the status in words
  std::uint32_t views = 0;     // kView32 | kView64, or kViewsUnread
  // The component's release as it states it (m_JVLinkVersion: "0500" ...), empty when it does
  // not; ReleaseName makes "5.0.0" of it.
  std::u16string componentVersion;
  // A sink is connected to the component's source interface, so its events come as event
  // frames; and what was found (the interface's name, or why there is none).
  bool events = false;
  std::u16string eventsText = {};
};

// One event of the component: its name on the source interface and its string argument.
struct Event {
  std::u16string name;
  std::u16string key;
};

// One call: the operation and its in-arguments (the others stay empty).
struct Call {
  Op op = Op::JVInit;
  std::u16string text1;     // JVInit sid; JVOpen, JVRTOpen dataspec
  std::u16string text2;     // JVOpen fromtime; JVRTOpen key
  std::int32_t number = 0;  // JVOpen option; JVRead size
  std::int32_t count = 0;   // JVRead: the most reads to make, up to kMaxReadAhead (0: one)
  // JVRead: 1 when every read is offered number (the program passes the same size on every
  // call); 0 when each read after the first is offered the size the read before gave back (the
  // program passes back the variable the component wrote).
  std::int32_t fixedSize = 0;
  // Not on the wire: JVRead's records must be shorter than the larger of this and the size
  // each read was offered. The size is in/out, so a component that gives back each record's
  // length shrinks the size the program passes next; the buffer the program set up stays.
  std::int32_t recordLimit = 0;
};

// The out-values of one JVRead.
struct ReadEntry {
  std::int32_t result = 0;
  std::int32_t size = 0;
  SjisString record;  // code page 932 bytes
  std::u16string filename;
  bool operator==(const ReadEntry&) const = default;
};

// One answer: a failing COM status (hresult < 0) or the result and the out-values.
struct Result {
  Op op = Op::JVInit;
  std::int32_t hresult = 0;
  std::u16string hresultText;
  std::int32_t result = 0;
  std::int32_t count1 = 0;  // JVOpen readcount; JVRead size
  std::int32_t count2 = 0;  // JVOpen downloadcount
  SjisString record;        // JVRead buffer, code page 932 bytes
  std::u16string text;      // JVOpen lastfiletimestamp; JVRead file name
  // JVRead: the reads made ahead after the first one (above), in their order. Every read but
  // the last is a record (result > 0). A failing laterHresult is the COM status of the read
  // after the last; the reads before it stand.
  std::vector<ReadEntry> more;
  std::int32_t laterHresult = 0;
  std::u16string laterHresultText;
  // Not on the wire: a later read failed the checks of its record (why, in Japanese); the
  // decoder keeps only the reads before it.
  SjisString laterError;
};

std::string EncodeHello(const Hello& h);
std::string EncodeCall(const Call& c);
std::string EncodeResult(const Result& r);
std::string EncodeQuit();
std::string EncodeEvent(const Event& e);
// During a call: a visible window of the component appeared (waiting true, with its title) or
// every such window is gone again.
std::string EncodeWindow(bool waiting, std::u16string_view title);
bool DecodeWindow(std::string_view payload, bool& waiting, std::u16string& title,
                  SjisString& error);

// A frame cut from the stream.
struct Frame {
  Kind kind = Kind::Hello;
  std::string payload;
};

// Cuts frames from the bytes of a stream. A broken stream (not a frame, a length beyond
// kMaxPayload) is a lasting error: nothing after it is trusted.
class FrameReader {
 public:
  void Feed(std::string_view bytes);
  enum class State { NeedMore, HaveFrame, Broken };
  // The next whole frame into frame, or why there is none.
  State Next(Frame& frame);
  // The error of a Broken stream, in Japanese (code page 932).
  const SjisString& error() const { return error_; }
  // Bytes of an unfinished frame are waiting (a stream that ends now was cut mid-frame).
  bool Partial() const { return !buffer_.empty(); }

 private:
  std::string buffer_;
  SjisString error_;
};

// Payload decoders: false with a Japanese message when the payload is not exactly one
// well-formed message. A Result is also checked against the call it answers: the same
// operation, a record no longer than the size the call offered, every record byte valid
// code page 932. A JVRead answer's later read that fails these record checks ends the reads
// kept and is told in laterError, as its own call would have failed.
bool DecodeHello(std::string_view payload, Hello& h, SjisString& error);
bool DecodeCall(std::string_view payload, Call& c, SjisString& error);
bool DecodeResult(std::string_view payload, const Call& call, Result& r, SjisString& error);
bool DecodeEvent(std::string_view payload, Event& e, SjisString& error);

// The bridge's side of a JVRead call: runs read (one JVRead of the component) until a result
// is not a record (it ends the batch as its last read), the call's count is reached, one more
// record could pass kReadAheadBytes, or a read fails in COM (the first one: the answer's
// status; a later one: laterHresult). Each read is offered what the program would pass on its
// own call: the call's size again (fixedSize), or the size the read before gave back.
Result ReadBatch(const Call& call, const std::function<Result(const Call&)>& read);

// True when every byte of s is a defined code page 932 character (single bytes and pairs).
bool IsWellFormedSjis(std::string_view s);

}  // namespace tavolen::bridge
