// A Windows service that stands in for JV-Link's own service (JVLink64Agent for 5.0.0,
// JVLinkAgent before it) in the tests of the prefix check: it runs until told to stop. Its
// service name comes from the command line, as "sc create ... binpath=" gives it.
#include <windows.h>

#include <string>

namespace {

std::wstring serviceName = L"JVLink64Agent";
SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopEvent = nullptr;

void Report(DWORD state) {
  SERVICE_STATUS s{};
  s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  s.dwCurrentState = state;
  s.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  SetServiceStatus(statusHandle, &s);
}

DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID) {
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    Report(SERVICE_STOP_PENDING);
    SetEvent(stopEvent);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  statusHandle = RegisterServiceCtrlHandlerExW(serviceName.c_str(), Control, nullptr);
  if (!statusHandle) return;
  stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Report(SERVICE_RUNNING);
  WaitForSingleObject(stopEvent, INFINITE);
  Report(SERVICE_STOPPED);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1) serviceName = argv[1];
  SERVICE_TABLE_ENTRYW table[] = {{serviceName.data(), ServiceMain}, {nullptr, nullptr}};
  // Started by hand rather than by the service manager: nothing to serve.
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
