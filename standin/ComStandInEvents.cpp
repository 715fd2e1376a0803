#include "standin/ComStandInEvents.h"

#include <olectl.h>

#include <map>

#include "base/ComObject.h"
#include "jvlink/JVEvents.h"
#include "standin/StandIn.h"

namespace tavolen {
namespace {

// The stand-in's own identifiers of its type library and source interface. The component's
// class is the one ComStandIn.cpp registers.
const GUID kLibId = {0x7c1d3b52, 0x5f0e, 0x4a8e, {0x9c, 0x41, 0x2b, 0x6e, 0x1a, 0x70, 0x33, 0x11}};
const IID kEventsIid = {
    0x7c1d3b53, 0x5f0e, 0x4a8e, {0x9c, 0x41, 0x2b, 0x6e, 0x1a, 0x70, 0x33, 0x11}};
const CLSID kClsid = {0x2AB1774D, 0x0C41, 0x11D7, {0x91, 0x6F, 0x00, 0x03, 0x47, 0x9B, 0xEB, 0x3F}};

// The events and their dispatch ids on the source interface (not in enum order, so that a sink
// that names them by id alone would be caught).
constexpr JVEvent kEvents[] = {JVEvent::Pay,          JVEvent::JockeyChange, JVEvent::Weather,
                               JVEvent::CourseChange, JVEvent::Avoid,        JVEvent::TimeChange,
                               JVEvent::Weight};
DISPID IdOf(JVEvent e) {
  for (size_t i = 0; i < std::size(kEvents); ++i)
    if (kEvents[i] == e)
      return static_cast<DISPID>(1 + i);  // the component's own: JVEvtPay 1 ... JVEvtWeight 7
  return DISPID_UNKNOWN;
}

std::wstring WideAscii(const char* s) {
  return std::wstring(s, s + strlen(s));
}

// The class's type information, built once per process: the source interface and the coclass.
ITypeInfo* ClassTypeInfo() {
  static ITypeInfo* info = []() -> ITypeInfo* {
    ICreateTypeLib2* lib = nullptr;
    if (FAILED(CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32,
                              L"tavolen-jvlink-standin.tlb", &lib)))
      return nullptr;
    lib->SetGuid(kLibId);
    lib->SetName(const_cast<LPOLESTR>(L"JVDTLabLib"));
    // The real component's type library is numbered 1.12, which is not its release: a
    // version read from here instead of from m_JVLinkVersion would show as "1.12".
    lib->SetVersion(1, 12);
    ICreateTypeInfo* events = nullptr;
    if (FAILED(
            lib->CreateTypeInfo(const_cast<LPOLESTR>(L"_IJVLinkEvents"), TKIND_DISPATCH, &events)))
      return nullptr;
    events->SetGuid(kEventsIid);
    ITypeLib* stdole = nullptr;
    if (SUCCEEDED(LoadRegTypeLib(IID_StdOle, 2, 0, LOCALE_NEUTRAL, &stdole))) {
      ITypeInfo* dispatch = nullptr;
      HREFTYPE ref = 0;
      if (SUCCEEDED(stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatch)) &&
          SUCCEEDED(events->AddRefTypeInfo(dispatch, &ref)))
        events->AddImplType(0, ref);
      if (dispatch) dispatch->Release();
      stdole->Release();
    }
    UINT index = 0;
    for (JVEvent e : kEvents) {
      ELEMDESC param{};
      param.tdesc.vt = VT_BSTR;
      param.paramdesc.wParamFlags = PARAMFLAG_FIN;
      FUNCDESC f{};
      f.memid = IdOf(e);
      f.funckind = FUNC_DISPATCH;
      f.invkind = INVOKE_FUNC;
      f.callconv = CC_STDCALL;
      f.cParams = 1;
      f.lprgelemdescParam = &param;
      f.elemdescFunc.tdesc.vt = VT_VOID;
      if (FAILED(events->AddFuncDesc(index, &f))) return nullptr;
      std::wstring name = WideAscii(JVEventName(e));
      LPOLESTR names[] = {name.data(), const_cast<LPOLESTR>(L"key")};
      events->SetFuncAndParamNames(index, names, 2);
      ++index;
    }
    if (FAILED(events->LayOut())) return nullptr;
    ITypeInfo* eventsInfo = nullptr;
    if (FAILED(events->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&eventsInfo))))
      return nullptr;
    ICreateTypeInfo* coclass = nullptr;
    if (FAILED(lib->CreateTypeInfo(const_cast<LPOLESTR>(L"JVLink"), TKIND_COCLASS, &coclass)))
      return nullptr;
    coclass->SetGuid(kClsid);
    coclass->SetTypeFlags(TYPEFLAG_FCANCREATE);
    HREFTYPE ref = 0;
    if (FAILED(coclass->AddRefTypeInfo(eventsInfo, &ref)) || FAILED(coclass->AddImplType(0, ref)) ||
        FAILED(coclass->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) ||
        FAILED(coclass->LayOut()))
      return nullptr;
    ITypeInfo* out = nullptr;
    if (FAILED(coclass->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&out))))
      return nullptr;
    return out;  // the library stays alive with it for the process
  }();
  return info;
}

std::map<UINT_PTR, ComStandInEvents*>& Timers() {
  static std::map<UINT_PTR, ComStandInEvents*> timers;
  return timers;
}

// How often the object's thread lets the stand-in raise what fell due.
constexpr UINT kTickMs = 100;

}  // namespace

class ComStandInEvents::Container final : public ComPart<IConnectionPointContainer> {
 public:
  explicit Container(ComStandInEvents& e) : ComPart(e.outer_), e_(e) {}
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

 private:
  ComStandInEvents& e_;
};

// The point is not the object: it answers for itself and counts on the object.
class ComStandInEvents::Point final : public ComPart<IConnectionPoint> {
 public:
  explicit Point(ComStandInEvents& e) : ComPart(e.outer_), e_(e) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return OfferInterfaces(this, {&IID_IConnectionPoint}, iid, out);
  }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    if (!iid) return E_POINTER;
    *iid = kEventsIid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
    if (!out) return E_POINTER;
    *out = e_.container_;
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (!sink || !cookie) return E_POINTER;
    IDispatch* dispatch = nullptr;
    if (FAILED(sink->QueryInterface(kEventsIid, reinterpret_cast<void**>(&dispatch))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
      return CONNECT_E_CANNOTCONNECT;
    e_.sinks_.push_back(dispatch);
    *cookie = static_cast<DWORD>(e_.sinks_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    if (cookie == 0 || cookie > e_.sinks_.size() || !e_.sinks_[cookie - 1])
      return CONNECT_E_NOCONNECTION;
    e_.sinks_[cookie - 1]->Release();
    e_.sinks_[cookie - 1] = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  ComStandInEvents& e_;
};

class ComStandInEvents::ClassInfo final : public ComPart<IProvideClassInfo> {
 public:
  explicit ClassInfo(ComStandInEvents& e) : ComPart(e.outer_) {}
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override {
    if (!out) return E_POINTER;
    *out = ClassTypeInfo();
    if (!*out) return E_NOTIMPL;
    (*out)->AddRef();
    return S_OK;
  }
};

HRESULT STDMETHODCALLTYPE ComStandInEvents::Container::FindConnectionPoint(REFIID iid,
                                                                           IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != kEventsIid) return CONNECT_E_NOCONNECTION;
  *out = e_.point_;
  (*out)->AddRef();
  return S_OK;
}

ComStandInEvents::ComStandInEvents(IUnknown* outer, StandInJVLink& link)
    : outer_(outer),
      link_(link),
      container_(new Container(*this)),
      point_(new Point(*this)),
      classInfo_(new ClassInfo(*this)) {
  link_.SetEventListener(this);
  timer_ = SetTimer(nullptr, 0, kTickMs, &ComStandInEvents::Tick);
  if (timer_) Timers()[timer_] = this;
}

ComStandInEvents::~ComStandInEvents() {
  if (timer_) {
    KillTimer(nullptr, timer_);
    Timers().erase(timer_);
  }
  link_.SetEventListener(nullptr);
  for (IDispatch* sink : sinks_)
    if (sink) sink->Release();
  delete container_;
  delete point_;
  delete classInfo_;
}

void CALLBACK ComStandInEvents::Tick(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = Timers().find(id);
  if (it != Timers().end()) it->second->link_.DeliverEvents();
}

HRESULT ComStandInEvents::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IConnectionPointContainer) {
    *out = static_cast<IConnectionPointContainer*>(container_);
  } else if (iid == IID_IProvideClassInfo) {
    *out = static_cast<IProvideClassInfo*>(classInfo_);
  } else {
    return E_NOINTERFACE;
  }
  outer_->AddRef();
  return S_OK;
}

void ComStandInEvents::JVLinkEvent(JVEvent event, const std::u16string& key) {
  const DISPID id = IdOf(event);
  // A sink may unadvise while it is called: walk a copy, each held for its call.
  std::vector<IDispatch*> sinks;
  for (IDispatch* s : sinks_)
    if (s) {
      s->AddRef();
      sinks.push_back(s);
    }
  for (IDispatch* sink : sinks) {
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(key.data()),
                                    static_cast<UINT>(key.size()));
    DISPPARAMS params{&arg, nullptr, 1, 0};
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
    VariantClear(&arg);
    sink->Release();
  }
}

}  // namespace tavolen
