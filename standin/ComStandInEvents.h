// The COM stand-in's events: a connection point for the source interface "_IJVLinkEvents",
// class information (IProvideClassInfo) whose coclass names that interface as its [default,
// source] one, built as a type library at run time, and a timer of the object's thread that
// lets the stand-in raise what fell due; each event is fired to every connected sink through
// its IDispatch::Invoke.
#pragma once

#include <windows.h>
// windows.h first: the COM headers need it.
#include <ocidl.h>
#include <oleauto.h>

#include <vector>

#include "jvlink/JVLink.h"

namespace tavolen {

class StandInJVLink;

class ComStandInEvents final : public JVEventListener {
 public:
  // outer is the object these interfaces belong to (their AddRef and Release are its own).
  ComStandInEvents(IUnknown* outer, StandInJVLink& link);
  ~ComStandInEvents() override;
  ComStandInEvents(const ComStandInEvents&) = delete;
  ComStandInEvents& operator=(const ComStandInEvents&) = delete;

  // IConnectionPointContainer and IProvideClassInfo of the object; E_NOINTERFACE otherwise.
  HRESULT QueryInterface(REFIID iid, void** out);

  void JVLinkEvent(JVEvent event, const std::u16string& key) override;

 private:
  class Container;
  class Point;
  class ClassInfo;
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);

  IUnknown* outer_;
  StandInJVLink& link_;
  Container* container_;
  Point* point_;
  ClassInfo* classInfo_;
  UINT_PTR timer_ = 0;
  std::vector<IDispatch*> sinks_;  // index + 1 is the cookie; null once unadvised
};

}  // namespace tavolen
