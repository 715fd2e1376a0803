// The component's events in the bridge: its source interface found from its type information
// (the coclass's [default, source] interface, by name where a name is needed), a sink connected
// through IConnectionPointContainer and IConnectionPoint::Advise, and each event handed on with
// its name (mapped from the dispatch id through the type information) and its string.
#pragma once

#include <windows.h>
// windows.h first: the COM headers need it.
#include <ocidl.h>
#include <oleauto.h>

#include <functional>
#include <memory>
#include <string>

namespace tavolen::bridge {

// The name the component's source interface has in its type library.
inline constexpr wchar_t kEventInterfaceName[] = L"_IJVLinkEvents";

using EventHandler = std::function<void(const std::u16string& name, const std::u16string& key)>;

class ComponentEvents {
 public:
  // Finds the source interface and connects a sink that calls handler for every event, on the
  // thread that pumps the component's messages.
  ComponentEvents(IDispatch* component, EventHandler handler);
  ~ComponentEvents();
  ComponentEvents(const ComponentEvents&) = delete;
  ComponentEvents& operator=(const ComponentEvents&) = delete;

  bool connected() const { return cookie_ != 0; }
  // What was found: "_IJVLinkEvents {iid}" when connected, otherwise why not.
  const std::wstring& text() const { return text_; }

 private:
  IConnectionPoint* point_ = nullptr;
  IDispatch* sink_ = nullptr;
  DWORD cookie_ = 0;
  std::wstring text_;
};

// The source interface's type information (the caller releases it), or null with why.
ITypeInfo* FindSourceInterface(IDispatch* component, std::wstring& why);

// The source interface for --describe: its name, identifier and every event with its
// dispatch id and parameters; or why there is none.
std::wstring DescribeSourceInterface(IDispatch* component);

}  // namespace tavolen::bridge
