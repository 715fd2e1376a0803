#include "jvbridge/EventSink.h"

#include <olectl.h>

#include "base/ComObject.h"
#include "jvbridge/Dispatch.h"

namespace tavolen::bridge {
namespace {

std::wstring Name(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
  BSTR name = nullptr;
  std::wstring out;
  if (SUCCEEDED(info->GetDocumentation(id, &name, nullptr, nullptr, nullptr)) && name)
    out.assign(name, SysStringLen(name));
  SysFreeString(name);
  return out;
}

std::wstring GuidText(const GUID& g) {
  wchar_t* text = nullptr;
  std::wstring out = L"?";
  if (SUCCEEDED(StringFromIID(g, &text)) && text) out = text;
  CoTaskMemFree(text);
  return out;
}

std::wstring Status(HRESULT hr) {
  const std::u16string t = StatusText(hr);
  return std::wstring(t.begin(), t.end());
}

// The [default, source] interface of a coclass, or null.
ITypeInfo* DefaultSource(ITypeInfo* coclass) {
  TYPEATTR* attr = nullptr;
  if (FAILED(coclass->GetTypeAttr(&attr))) return nullptr;
  ITypeInfo* found = nullptr;
  for (UINT i = 0; i < attr->cImplTypes && !found; ++i) {
    INT flags = 0;
    HREFTYPE ref = 0;
    if (FAILED(coclass->GetImplTypeFlags(i, &flags)) ||
        (flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) !=
            (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE) ||
        FAILED(coclass->GetRefTypeOfImplType(i, &ref)))
      continue;
    if (FAILED(coclass->GetRefTypeInfo(ref, &found))) found = nullptr;
  }
  coclass->ReleaseTypeAttr(attr);
  return found;
}

// The component's class from its own answer (IProvideClassInfo), or null.
ITypeInfo* ClassFromObject(IDispatch* component) {
  IProvideClassInfo* provide = nullptr;
  if (FAILED(
          component->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provide))) ||
      !provide)
    return nullptr;
  ITypeInfo* coclass = nullptr;
  if (FAILED(provide->GetClassInfo(&coclass))) coclass = nullptr;
  provide->Release();
  return coclass;
}

// The source interface from the type library that holds the component's interface: the
// default source of a class there, else the interface of that name.
ITypeInfo* SourceFromLibrary(IDispatch* component) {
  ITypeInfo* own = nullptr;
  if (FAILED(component->GetTypeInfo(0, LOCALE_USER_DEFAULT, &own)) || !own) return nullptr;
  ITypeLib* lib = nullptr;
  UINT index = 0;
  const HRESULT hr = own->GetContainingTypeLib(&lib, &index);
  own->Release();
  if (FAILED(hr) || !lib) return nullptr;
  ITypeInfo* found = nullptr;
  for (UINT i = 0; i < lib->GetTypeInfoCount() && !found; ++i) {
    TYPEKIND kind;
    ITypeInfo* info = nullptr;
    if (FAILED(lib->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS ||
        FAILED(lib->GetTypeInfo(i, &info)))
      continue;
    found = DefaultSource(info);
    info->Release();
  }
  if (!found) {
    wchar_t name[64];
    wcscpy(name, kEventInterfaceName);
    ITypeInfo* infos[1] = {};
    MEMBERID ids[1] = {};
    USHORT count = 1;
    if (SUCCEEDED(lib->FindName(name, 0, infos, ids, &count)) && count == 1) found = infos[0];
  }
  lib->Release();
  return found;
}

// The sink: an IDispatch whose Invoke names the event through the source's type information.
class Sink final : public ComCounted<IDispatch> {
 public:
  Sink(ITypeInfo* source, IID iid, EventHandler handler)
      : source_(source), iid_(iid), handler_(std::move(handler)) {
    source_->AddRef();
  }
  ~Sink() override { source_->Release(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return OfferInterfaces(this, {&IID_IDispatch, &iid_}, iid, out);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return TypeInfoCount(source_, n); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    return OfferTypeInfo(source_, index, out);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    return source_->GetIDsOfNames(names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    BSTR name = nullptr;
    UINT got = 0;
    if (FAILED(source_->GetNames(id, &name, 1, &got)) || got == 0) return DISP_E_MEMBERNOTFOUND;
    const std::u16string eventName(name, name + SysStringLen(name));
    SysFreeString(name);
    std::u16string key;
    if (params && params->cArgs >= 1) {
      // The first argument is the last in rgvarg.
      VARIANT text;
      VariantInit(&text);
      if (SUCCEEDED(VariantChangeType(&text, &params->rgvarg[params->cArgs - 1], 0, VT_BSTR)) &&
          text.bstrVal)
        key.assign(text.bstrVal, text.bstrVal + SysStringLen(text.bstrVal));
      VariantClear(&text);
    }
    if (handler_) handler_(eventName, key);
    return S_OK;
  }

 private:
  ITypeInfo* source_;
  IID iid_;
  EventHandler handler_;
};

}  // namespace

ITypeInfo* FindSourceInterface(IDispatch* component, std::wstring& why) {
  ITypeInfo* source = nullptr;
  if (ITypeInfo* coclass = ClassFromObject(component)) {
    source = DefaultSource(coclass);
    coclass->Release();
  }
  if (!source) source = SourceFromLibrary(component);
  if (!source) why = L"the component's type information names no source interface";
  return source;
}

ComponentEvents::ComponentEvents(IDispatch* component, EventHandler handler) {
  ITypeInfo* source = FindSourceInterface(component, text_);
  if (!source) return;
  TYPEATTR* attr = nullptr;
  if (FAILED(source->GetTypeAttr(&attr))) {
    text_ = L"the source interface has no attributes";
    source->Release();
    return;
  }
  const IID iid = attr->guid;
  source->ReleaseTypeAttr(attr);
  const std::wstring name = Name(source);
  IConnectionPointContainer* container = nullptr;
  HRESULT hr = component->QueryInterface(IID_IConnectionPointContainer,
                                         reinterpret_cast<void**>(&container));
  if (SUCCEEDED(hr) && container) {
    hr = container->FindConnectionPoint(iid, &point_);
    container->Release();
  }
  if (SUCCEEDED(hr) && point_) {
    sink_ = new Sink(source, iid, std::move(handler));
    hr = point_->Advise(sink_, &cookie_);
  }
  source->Release();
  if (FAILED(hr) || cookie_ == 0) {
    cookie_ = 0;
    text_ = name + L": no connection (" + Status(hr) + L")";
    return;
  }
  text_ = name + L" " + GuidText(iid);
}

ComponentEvents::~ComponentEvents() {
  if (point_ && cookie_) point_->Unadvise(cookie_);
  if (point_) point_->Release();
  if (sink_) sink_->Release();
}

std::wstring DescribeSourceInterface(IDispatch* component) {
  std::wstring why;
  ITypeInfo* source = FindSourceInterface(component, why);
  if (!source) return L"events: " + why + L"\n";
  TYPEATTR* attr = nullptr;
  std::wstring out;
  if (SUCCEEDED(source->GetTypeAttr(&attr))) {
    std::wstring list;
    int count = 0;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
      FUNCDESC* f = nullptr;
      if (FAILED(source->GetFuncDesc(i, &f))) continue;
      // The members a dispinterface inherits from IUnknown and IDispatch are no events.
      if (f->memid >= 0x60000000 && f->memid < 0x60020000) {
        source->ReleaseFuncDesc(f);
        continue;
      }
      ++count;
      std::wstring& out = list;
      BSTR names[8] = {};
      UINT got = 0;
      source->GetNames(f->memid, names, 8, &got);
      out += L"  [id " + std::to_wstring(f->memid) + L"] " +
             std::wstring(got > 0 && names[0] ? names[0] : L"?") + L"(";
      for (SHORT p = 0; p < f->cParams; ++p) {
        if (p > 0) out += L", ";
        out += f->lprgelemdescParam[p].tdesc.vt == VT_BSTR ? L"BSTR " : L"? ";
        out += static_cast<UINT>(p + 1) < got && names[p + 1] ? names[p + 1] : L"?";
      }
      out += L")\n";
      for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
      source->ReleaseFuncDesc(f);
    }
    out = L"source interface " + Name(source) + L" " + GuidText(attr->guid) + L", " +
          std::to_wstring(count) + L" events\n" + list;
    source->ReleaseTypeAttr(attr);
  }
  source->Release();
  return out;
}

}  // namespace tavolen::bridge
