// The JV-Link contract: the operations of the data service's client component that the program
// calls, with their argument directions. Strings cross it as UTF-16, as they cross the real
// component; callers turn a delivered record into code page 932 bytes with RecordToSjis.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "jvlink/Sjis.h"

namespace tavolen {

// A failing COM status of a call, or a component that can no longer be reached (the bridge
// died or stopped answering). The caller shows the general error box with message and ends
// only the running action; result codes stay the ordinary outcome of a call.
class JVLinkFailure : public std::runtime_error {
 public:
  explicit JVLinkFailure(SjisString message)
      : std::runtime_error(SjisToUtf8(message)), message_(std::move(message)) {}
  const SjisString& message() const { return message_; }

 private:
  SjisString message_;
};

class JVLink {
 public:
  virtual ~JVLink() = default;

  // True while a call waits for its answer and lets window messages run: a timer tick that
  // would make another call is skipped then.
  virtual bool Busy() const { return false; }
  // Which JV-Link this is, for the version box and the status line (code page 932).
  virtual SjisString Description() const { return {}; }
  // Told true when a call waits on a window of the component that the user answers there (its
  // setup dialog, a notice, its update question), false once that is over. Observers are
  // called while the call waits and must not call the JV-Link; the id removes one again.
  using WindowWaitObserver = std::function<void(bool waiting)>;
  virtual int AddWindowWaitObserver(WindowWaitObserver observer) { return 0; }
  virtual void RemoveWindowWaitObserver(int id) {}

  virtual int JVInit(const std::u16string& sid) = 0;
  virtual int JVClose() = 0;
  virtual int JVSetUIProperties() = 0;
  virtual int JVOpen(const std::u16string& dataspec, const std::u16string& fromtime, int option,
                     int& readcount, int& downloadcount, std::u16string& lastfiletimestamp) = 0;
  virtual int JVStatus() = 0;
  // buff receives one record; size is the buffer size (in/out); filename receives the name of
  // the file being read.
  virtual int JVRead(std::u16string& buff, int& size, std::u16string& filename) = 0;
  virtual int JVRTOpen(const std::u16string& dataspec, const std::u16string& key) = 0;
  virtual void JVCancel() = 0;
};

// A delivered record as the code page 932 bytes whose positions the record layouts give.
inline SjisString RecordToSjis(const std::u16string& record) {
  return Utf16ToSjis(record);
}

// UTF-16 from ASCII or code page 932 text, for the arguments the program passes.
inline std::u16string Wide(std::string_view sjis) {
  return SjisToUtf16(sjis);
}

// Creation of a JV-Link object by ProgID, as COM creates the installed component.
class JVLinkRegistry {
 public:
  using Factory = std::function<std::unique_ptr<JVLink>()>;

  static JVLinkRegistry& Instance();

  void Register(const std::string& progId, Factory factory);
  void Unregister(const std::string& progId);
  // nullptr when nothing is installed under progId or its creation fails.
  std::unique_ptr<JVLink> Create(const std::string& progId) const;

 private:
  std::map<std::string, Factory> factories_;
};

inline constexpr const char* kJVLinkProgId = "JVDTLab.JVLink";

}  // namespace tavolen
