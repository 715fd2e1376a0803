// The component reached by name through IDispatch: GetIDsOfNames once per operation, then
// Invoke with BSTR strings and by-reference out-parameters, as its interface declares them.
#pragma once

#include <windows.h>
// windows.h first: the COM headers need it.
#include <oleauto.h>

#include <map>
#include <string>

#include "jvbridge/Protocol.h"

namespace tavolen::bridge {

class ComponentCaller {
 public:
  // Takes a reference of dispatch.
  explicit ComponentCaller(IDispatch* dispatch);
  ~ComponentCaller();
  ComponentCaller(const ComponentCaller&) = delete;
  ComponentCaller& operator=(const ComponentCaller&) = delete;

  // Runs one call on the component and fills its answer; a failing COM status is returned in
  // the answer's hresult and hresultText.
  Result Run(const Call& call);

 private:
  HRESULT IdOf(const wchar_t* name, DISPID& id);

  IDispatch* dispatch_;
  std::map<std::wstring, DISPID> ids_;
};

// The text of a COM status ("0x80040154 クラスが登録されていません" or the system's own words).
std::u16string StatusText(HRESULT hr, const EXCEPINFO* info = nullptr);

// The component's release as its property m_JVLinkVersion states it ("0500" for 5.0.0), as
// given; empty when it has no such property.
std::u16string ComponentVersion(IDispatch* dispatch);

// The component's type information as text: every function with its dispatch id, parameter
// names, types and directions.
std::wstring DescribeComponent(IDispatch* dispatch);

}  // namespace tavolen::bridge
