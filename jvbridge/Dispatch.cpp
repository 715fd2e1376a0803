#include "jvbridge/Dispatch.h"

#include <cstdio>
#include <vector>

namespace tavolen::bridge {
namespace {

std::u16string U(const wchar_t* s, size_t n) {
  return std::u16string(s, s + n);
}

std::u16string FromBstr(BSTR b) {
  return b ? U(b, SysStringLen(b)) : std::u16string();
}

// An in-argument string; freed with the call.
struct Bstr {
  BSTR b = nullptr;
  explicit Bstr(const std::u16string& s)
      : b(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()),
                            static_cast<UINT>(s.size()))) {}
  ~Bstr() { SysFreeString(b); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
};

// An empty argument of this type; the caller sets its value.
VARIANT Typed(VARTYPE type) {
  VARIANT v;
  VariantInit(&v);
  v.vt = type;
  return v;
}

VARIANT InText(const Bstr& s) {
  VARIANT v = Typed(VT_BSTR);
  v.bstrVal = s.b;
  return v;
}

VARIANT InLong(LONG n) {
  VARIANT v = Typed(VT_I4);
  v.lVal = n;
  return v;
}

VARIANT OutLong(LONG* p) {
  VARIANT v = Typed(VT_BYREF | VT_I4);
  v.plVal = p;
  return v;
}

VARIANT OutText(BSTR* p) {
  VARIANT v = Typed(VT_BYREF | VT_BSTR);
  v.pbstrVal = p;
  return v;
}

// The method's name as the component knows it (the names are ASCII).
std::wstring WideName(Op op) {
  const std::string name = OpName(op);
  return std::wstring(name.begin(), name.end());
}

std::wstring TypeName(const TYPEDESC& t, ITypeInfo* info) {
  if (t.vt & VT_BYREF) {
    TYPEDESC base = t;
    base.vt = static_cast<VARTYPE>(t.vt & ~VT_BYREF);
    return TypeName(base, info) + L"*";
  }
  switch (t.vt) {
    case VT_EMPTY:
      return L"void";
    case VT_PTR:
      return t.lptdesc ? TypeName(*t.lptdesc, info) + L"*" : L"void*";
    case VT_I4:
      return L"long";
    case VT_INT:
      return L"int";
    case VT_I2:
      return L"short";
    case VT_BSTR:
      return L"BSTR";
    case VT_BOOL:
      return L"VARIANT_BOOL";
    case VT_VARIANT:
      return L"VARIANT";
    case VT_VOID:
      return L"void";
    case VT_HRESULT:
      return L"HRESULT";
    case VT_DISPATCH:
      return L"IDispatch*";
    case VT_UNKNOWN:
      return L"IUnknown*";
    default: {
      wchar_t buf[32];
      std::swprintf(buf, 32, L"vt%u", static_cast<unsigned>(t.vt));
      return buf;
    }
  }
}

}  // namespace

std::u16string StatusText(HRESULT hr, const EXCEPINFO* info) {
  wchar_t code[16];
  std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
  std::wstring text = code;
  if (info && info->bstrDescription) {
    text += L" ";
    text.append(info->bstrDescription, SysStringLen(info->bstrDescription));
  } else {
    wchar_t* msg = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&msg), 0, nullptr);
    if (n > 0 && msg) {
      std::wstring m(msg, n);
      while (!m.empty() && (m.back() == L'\r' || m.back() == L'\n' || m.back() == L' '))
        m.pop_back();
      text += L" " + m;
    }
    if (msg) LocalFree(msg);
  }
  return U(text.data(), text.size());
}

ComponentCaller::ComponentCaller(IDispatch* dispatch) : dispatch_(dispatch) {
  dispatch_->AddRef();
}

ComponentCaller::~ComponentCaller() {
  dispatch_->Release();
}

HRESULT ComponentCaller::IdOf(const wchar_t* name, DISPID& id) {
  auto it = ids_.find(name);
  if (it != ids_.end()) {
    id = it->second;
    return S_OK;
  }
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
  const HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (SUCCEEDED(hr)) ids_[name] = id;
  return hr;
}

Result ComponentCaller::Run(const Call& call) {
  Result r;
  r.op = call.op;
  DISPID id = 0;
  HRESULT hr = IdOf(WideName(call.op).c_str(), id);
  if (FAILED(hr)) {
    r.hresult = static_cast<std::int32_t>(hr);
    r.hresultText = StatusText(hr);
    return r;
  }

  Bstr text1(call.text1), text2(call.text2);
  LONG count1 = 0, count2 = 0;
  LONG size = call.number;
  BSTR out1 = nullptr, out2 = nullptr;
  // Arguments go into DISPPARAMS last first.
  std::vector<VARIANT> args;
  switch (call.op) {
    case Op::JVInit:
      args = {InText(text1)};
      break;
    case Op::JVOpen:
      args = {OutText(&out1),      OutLong(&count2), OutLong(&count1),
              InLong(call.number), InText(text2),    InText(text1)};
      break;
    case Op::JVRead:
      args = {OutText(&out2), OutLong(&size), OutText(&out1)};
      break;
    case Op::JVRTOpen:
      args = {InText(text2), InText(text1)};
      break;
    default:
      break;
  }
  DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()),
                    0};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO info{};
  UINT argErr = 0;
  hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                         &info, &argErr);
  if (hr == DISP_E_EXCEPTION && info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
  if (FAILED(hr)) {
    r.hresult = static_cast<std::int32_t>(hr);
    r.hresultText = StatusText(hr, hr == DISP_E_EXCEPTION ? &info : nullptr);
  } else if (call.op != Op::JVCancel) {
    VARIANT asLong;
    VariantInit(&asLong);
    const HRESULT conv = VariantChangeType(&asLong, &result, 0, VT_I4);
    if (FAILED(conv)) {
      r.hresult = static_cast<std::int32_t>(conv);
      r.hresultText = StatusText(conv);
    } else {
      r.result = asLong.lVal;
    }
    VariantClear(&asLong);
  }
  if (call.op == Op::JVOpen) {
    r.count1 = count1;
    r.count2 = count2;
    r.text = FromBstr(out1);
  } else if (call.op == Op::JVRead) {
    r.count1 = size;
    r.record = Utf16ToSjis(FromBstr(out1));
    r.text = FromBstr(out2);
  }
  SysFreeString(out1);
  SysFreeString(out2);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  VariantClear(&result);
  return r;
}

std::u16string ComponentVersion(IDispatch* dispatch) {
  // JV-Link states its own release in a property; its type library's number (1.12 for 5.0.0)
  // is not the release, so nothing else is taken for it.
  LPOLESTR name = const_cast<LPOLESTR>(L"m_JVLinkVersion");
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id))) return {};
  DISPPARAMS none{};
  VARIANT value, text;
  VariantInit(&value);
  VariantInit(&text);
  std::u16string out;
  if (SUCCEEDED(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                 &value, nullptr, nullptr)) &&
      SUCCEEDED(VariantChangeType(&text, &value, 0, VT_BSTR)))
    out = FromBstr(text.bstrVal);
  VariantClear(&text);
  VariantClear(&value);
  return out;
}

std::wstring DescribeComponent(IDispatch* dispatch) {
  std::wstring out;
  UINT count = 0;
  if (FAILED(dispatch->GetTypeInfoCount(&count)) || count == 0)
    return L"The component offers no type information.\n";
  ITypeInfo* info = nullptr;
  HRESULT hr = dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info);
  if (FAILED(hr) || !info) {
    const std::u16string t = StatusText(hr);
    return L"GetTypeInfo failed: " + std::wstring(t.begin(), t.end()) + L"\n";
  }
  TYPEATTR* attr = nullptr;
  // A class's type information names the interface that holds the functions.
  if (SUCCEEDED(info->GetTypeAttr(&attr)) && attr->cFuncs == 0 && attr->cImplTypes > 0) {
    HREFTYPE ref = 0;
    ITypeInfo* implemented = nullptr;
    if (SUCCEEDED(info->GetRefTypeOfImplType(0, &ref)) &&
        SUCCEEDED(info->GetRefTypeInfo(ref, &implemented)) && implemented) {
      info->ReleaseTypeAttr(attr);
      info->Release();
      info = implemented;
      attr = nullptr;
      if (FAILED(info->GetTypeAttr(&attr))) attr = nullptr;
    }
  }
  if (attr) {
    wchar_t* guid = nullptr;
    StringFromIID(attr->guid, &guid);
    out += L"interface " + std::wstring(guid ? guid : L"?") + L", " +
           std::to_wstring(attr->cFuncs) + L" functions\n";
    CoTaskMemFree(guid);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
      FUNCDESC* f = nullptr;
      if (FAILED(info->GetFuncDesc(i, &f))) continue;
      BSTR names[32] = {};
      UINT got = 0;
      info->GetNames(f->memid, names, 32, &got);
      out += L"  [id " + std::to_wstring(f->memid) + L"] " + TypeName(f->elemdescFunc.tdesc, info) +
             L" " + std::wstring(got > 0 && names[0] ? names[0] : L"?") + L"(";
      for (SHORT p = 0; p < f->cParams; ++p) {
        const ELEMDESC& e = f->lprgelemdescParam[p];
        const USHORT flags = e.paramdesc.wParamFlags;
        const bool byRef = e.tdesc.vt == VT_PTR || (e.tdesc.vt & VT_BYREF);
        std::wstring dir = (flags & PARAMFLAG_FIN) && (flags & PARAMFLAG_FOUT) ? L"in/out"
                           : (flags & PARAMFLAG_FOUT)                          ? L"out"
                           : (flags & PARAMFLAG_FRETVAL)                       ? L"retval"
                                                                               : L"in";
        if (byRef && !(flags & PARAMFLAG_FOUT)) dir += L", by reference";
        if (p > 0) out += L", ";
        out += L"[" + dir + L"] " + TypeName(e.tdesc, info) + L" " +
               std::wstring(static_cast<UINT>(p + 1) < got && names[p + 1] ? names[p + 1] : L"?");
      }
      out += L")\n";
      for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
      info->ReleaseFuncDesc(f);
    }
    info->ReleaseTypeAttr(attr);
  }
  info->Release();
  return out;
}

}  // namespace tavolen::bridge
