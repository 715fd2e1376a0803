// The running copy's socket on Windows: the instance lock is a named mutex of the log-on
// session with no file beside it, so the copy listens on a named pipe (QLocalServer) whose name
// holds the instance name and the session's number. Pipe names are seen by the whole machine;
// the session number keeps the copies of two log-ons apart, and the server admits only its own
// user. Windows brings a window to the front only for a program the foreground program allows,
// so the second copy, which the user has just started, allows the listening one.
#include <windows.h>

#include <QLocalSocket>
#include <string>

#include "app/InstanceActivation.h"

namespace tavolen {

std::filesystem::path SessionSocketName(const std::string& instanceName) {
  DWORD session = 0;
  if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) session = 0;
  return std::filesystem::path("tavolen-" + instanceName + "-" + std::to_string(session) + ".show");
}

void AllowListenerToComeForward(QLocalSocket& socket) {
  ULONG server = 0;
  const auto pipe = reinterpret_cast<HANDLE>(socket.socketDescriptor());
  if (pipe && pipe != INVALID_HANDLE_VALUE && GetNamedPipeServerProcessId(pipe, &server))
    AllowSetForegroundWindow(server);
}

}  // namespace tavolen
