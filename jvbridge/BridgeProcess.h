// A running bridge program: its standard input and output, one process for the program's
// life. StartBridgeProcess is the platform's way to start it (BridgeProcessPosix.cpp); tests
// pass other transports to the client.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jvlink/Sjis.h"

namespace tavolen::bridge {

// How the bridge is started.
struct BridgeLaunch {
  std::vector<std::string> command;      // the program and its arguments (UTF-8)
  std::vector<std::string> environment;  // added to the program's own, "NAME=value"
  int bits = 0;  // the bridge's bitness when its name says it (32 or 64), else 0
};

class BridgeTransport {
 public:
  virtual ~BridgeTransport() = default;
  // Writes all of bytes; false when the bridge no longer reads.
  virtual bool Write(std::string_view bytes) = 0;
  // Waits at most waitMs for output and appends what there is to out; false once the
  // bridge's output has ended (it exited or closed it).
  virtual bool Read(int waitMs, std::string& out) = 0;
  // Ends the bridge at once.
  virtual void Kill() = 0;
  // The process id, or 0.
  virtual long ProcessId() const = 0;
};

using TransportFactory =
    std::function<std::unique_ptr<BridgeTransport>(const BridgeLaunch&, SjisString& error)>;

// Starts launch.command with pipes for its standard input and output (its error output is
// the program's). nullptr with a Japanese error when it cannot be started.
std::unique_ptr<BridgeTransport> StartBridgeProcess(const BridgeLaunch& launch, SjisString& error);

}  // namespace tavolen::bridge
