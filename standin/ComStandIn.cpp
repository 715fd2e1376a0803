// The COM stand-in for tests: an in-process COM server registered as "JVDTLab.JVLink" that
// answers the eight operations of the JV-Link contract through IDispatch (late binding by
// name, BSTR strings, by-reference out-parameters) by delegating to the project's own
// stand-in. So the demo race day, feed folders and faults.txt all work through real COM.
//
// Set by environment (read when an object is created):
//   TAVOLEN_STANDIN_FOLDER          the stand-in's folder (default: its usual folder)
//   TAVOLEN_STANDIN_CALLS_PER_FILE  the download pace (default 25)
//   TAVOLEN_STANDIN_CLOCK           a file holding "yyyymmddhhnnss", read at every use of the
//                                   clock (default: the system clock)
// A file "traits.txt" in the stand-in's folder switches behaviours of the real component
// (standin/Traits.h); its "update box N" is shown here: JVOpen and JVRTOpen first show
// JV-Link's modal update question, which a timer standing in for the user answers いいえ
// after N seconds.
// A file "trip.txt" in the stand-in's folder holding "<operation> <n> hang" or
// "<operation> <n> exit" makes the n-th call of that operation (counted per object) never
// return or end the process; the file is removed as it trips.
#include <windows.h>
// windows.h first: the COM headers need it.
#include <objbase.h>
#include <oleauto.h>
#include <olectl.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "base/ComObject.h"
#include "jvlink/Clock.h"
#include "jvlink/FileIO.h"
#include "standin/ComStandInEvents.h"
#include "standin/StandIn.h"
#include "standin/Traits.h"

namespace {

using tavolen::fs::path;

// {2AB1774D-0C41-11D7-916F-0003479BEB3F}, the component's class.
const CLSID kClsid = {0x2AB1774D, 0x0C41, 0x11D7, {0x91, 0x6F, 0x00, 0x03, 0x47, 0x9B, 0xEB, 0x3F}};
constexpr wchar_t kClsidText[] = L"{2AB1774D-0C41-11D7-916F-0003479BEB3F}";
constexpr wchar_t kProgId[] = L"JVDTLab.JVLink";

HMODULE module = nullptr;
std::atomic<long> liveObjects{0};
std::atomic<long> locks{0};

enum Id : DISPID {
  kJVInit = 1,
  kJVClose,
  kJVSetUIProperties,
  kJVOpen,
  kJVStatus,
  kJVRead,
  kJVRTOpen,
  kJVCancel,
  kJVWatchEvent,
  kJVWatchEventClose,
  kVersionProperty
};

const std::map<std::wstring, DISPID>& Names() {
  static const std::map<std::wstring, DISPID> names = {{L"jvinit", kJVInit},
                                                       {L"jvclose", kJVClose},
                                                       {L"jvsetuiproperties", kJVSetUIProperties},
                                                       {L"jvopen", kJVOpen},
                                                       {L"jvstatus", kJVStatus},
                                                       {L"jvread", kJVRead},
                                                       {L"jvrtopen", kJVRTOpen},
                                                       {L"jvcancel", kJVCancel},
                                                       {L"jvwatchevent", kJVWatchEvent},
                                                       {L"jvwatcheventclose", kJVWatchEventClose},
                                                       {L"m_jvlinkversion", kVersionProperty}};
  return names;
}

const wchar_t* NameOf(DISPID id) {
  for (const auto& [name, i] : Names())
    if (i == id) return name.c_str();
  return L"";
}

std::wstring Env(const wchar_t* name) {
  const wchar_t* v = _wgetenv(name);
  return v ? v : L"";
}

// The clock of a test: the time in a file, or the system's.
class FileClock final : public tavolen::Clock {
 public:
  explicit FileClock(path file) : file_(std::move(file)) {}
  tavolen::LocalDateTime Now() const override {
    if (!file_.empty()) {
      std::ifstream in(file_);
      std::string text;
      tavolen::LocalDateTime t;
      if (in >> text && tavolen::ParseCompactDateTime(text, t)) return t;
    }
    return system_.Now();
  }

 private:
  path file_;
  tavolen::SystemClock system_;
};

std::u16string FromBstr(BSTR b) {
  return b ? std::u16string(b, b + SysStringLen(b)) : std::u16string();
}

BSTR ToBstr(const std::u16string& s) {
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()), static_cast<UINT>(s.size()));
}

constexpr wchar_t kUpdateTitle[] = L"JV-Link";
constexpr wchar_t kUpdateText[] = L"新しいバージョン(5.0.0)が存在します。ダウンロードしますか？";

BOOL CALLBACK AnswerNo(HWND w, LPARAM) {
  wchar_t title[64] = L"";
  GetWindowTextW(w, title, 64);
  if (std::wstring(title) != kUpdateTitle) return TRUE;
  PostMessageW(w, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
  return FALSE;
}

// The timer standing in for the user: answers the update box of this thread with いいえ.
void CALLBACK AnswerUpdateBox(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  EnumThreadWindows(GetCurrentThreadId(), AnswerNo, 0);
}

// JV-Link's question inside JVOpen and JVRTOpen since version 5.0.0 exists, held until the
// user answers it.
void AskForUpdate(int seconds) {
  const UINT_PTR timer = SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, AnswerUpdateBox);
  MessageBoxW(nullptr, kUpdateText, kUpdateTitle, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND);
  if (timer) KillTimer(nullptr, timer);
}

class JVLinkObject final : public tavolen::ComCounted<IDispatch> {
 public:
  JVLinkObject() {
    ++liveObjects;
    tavolen::StandInOptions options;
    if (const std::wstring f = Env(L"TAVOLEN_STANDIN_FOLDER"); !f.empty()) options.folder = f;
    if (const std::wstring n = Env(L"TAVOLEN_STANDIN_CALLS_PER_FILE"); !n.empty())
      options.callsPerFile = std::stoi(n);
    clock_ = std::make_unique<FileClock>(path(Env(L"TAVOLEN_STANDIN_CLOCK")));
    link_ = std::make_unique<tavolen::StandInJVLink>(*clock_, options);
    events_ = std::make_unique<tavolen::ComStandInEvents>(static_cast<IDispatch*>(this), *link_);
  }
  ~JVLinkObject() override { --liveObjects; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (events_ && events_->QueryInterface(iid, out) == S_OK) return S_OK;
    return tavolen::OfferInterfaces(this, {&IID_IDispatch}, iid, out);
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    return tavolen::TypeInfoCount(TypeInfo(), n);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    return tavolen::OfferTypeInfo(TypeInfo(), index, out);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      std::wstring n = names[i];
      for (wchar_t& c : n) c = static_cast<wchar_t>(towlower(c));
      auto it = i == 0 ? Names().find(n) : Names().end();
      ids[i] = it == Names().end() ? DISPID_UNKNOWN : it->second;
      if (ids[i] == kVersionProperty && VersionText().empty()) ids[i] = DISPID_UNKNOWN;
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT* argErr) override;

 private:
  // The argument at position i counted from the first, as the caller wrote it.
  static VARIANT* Arg(DISPPARAMS* p, UINT i) { return &p->rgvarg[p->cArgs - 1 - i]; }
  static bool InText(DISPPARAMS* p, UINT i, std::u16string& out) {
    VARIANT* v = Arg(p, i);
    if (v->vt == VT_BSTR)
      out = FromBstr(v->bstrVal);
    else if (v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal)
      out = FromBstr(*v->pbstrVal);
    else
      return false;
    return true;
  }
  static bool InLong(DISPPARAMS* p, UINT i, LONG& out) {
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, Arg(p, i), 0, VT_I4))) return false;
    out = converted.lVal;
    return true;
  }
  static bool OutLong(DISPPARAMS* p, UINT i) {
    VARIANT* v = Arg(p, i);
    return v->vt == (VT_BYREF | VT_I4) && v->plVal;
  }
  static bool OutText(DISPPARAMS* p, UINT i) {
    VARIANT* v = Arg(p, i);
    return v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal;
  }
  static void SetText(DISPPARAMS* p, UINT i, const std::u16string& s) {
    VARIANT* v = Arg(p, i);
    SysFreeString(*v->pbstrVal);
    *v->pbstrVal = ToBstr(s);
  }

  void Trip(DISPID id);
  ITypeInfo* TypeInfo();
  // What m_JVLinkVersion gives: JV-Link 5.0.0 states "0500", a 4.x release its four digits;
  // empty when the traits take the property away.
  std::wstring VersionText() const {
    const tavolen::StandInTraits t = tavolen::LoadTraits(link_->Folder());
    if (t.noVersion) return {};
    if (t.version.empty()) return sizeof(void*) == 8 ? L"0500" : L"0490";
    return std::wstring(t.version.begin(), t.version.end());
  }

  std::unique_ptr<FileClock> clock_;
  std::unique_ptr<tavolen::StandInJVLink> link_;
  std::unique_ptr<tavolen::ComStandInEvents> events_;  // connection point, class information
  std::map<DISPID, int> calls_;
  ITypeInfo* typeInfo_ = nullptr;
  bool typeInfoTried_ = false;
};

void JVLinkObject::Trip(DISPID id) {
  const int n = ++calls_[id];
  const path file = link_->Folder() / "trip.txt";
  std::ifstream in(file);
  std::string op, action;
  int at = 0;
  if (!(in >> op >> at >> action)) return;
  const std::wstring name = NameOf(id);
  std::string lower = op;
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  if (std::wstring(lower.begin(), lower.end()) != name || n != at) return;
  in.close();
  std::error_code ec;
  tavolen::fs::remove(file, ec);
  if (action == "exit") ExitProcess(9);
  if (action == "hang") Sleep(INFINITE);
}

ITypeInfo* JVLinkObject::TypeInfo() {
  if (typeInfoTried_) return typeInfo_;
  typeInfoTried_ = true;
  static PARAMDATA sid[] = {{const_cast<OLECHAR*>(L"sid"), VT_BSTR}};
  static PARAMDATA open[] = {{const_cast<OLECHAR*>(L"dataspec"), VT_BSTR},
                             {const_cast<OLECHAR*>(L"fromtime"), VT_BSTR},
                             {const_cast<OLECHAR*>(L"option"), VT_I4},
                             {const_cast<OLECHAR*>(L"readcount"), VT_I4 | VT_BYREF},
                             {const_cast<OLECHAR*>(L"downloadcount"), VT_I4 | VT_BYREF},
                             {const_cast<OLECHAR*>(L"lastfiletimestamp"), VT_BSTR | VT_BYREF}};
  static PARAMDATA read[] = {{const_cast<OLECHAR*>(L"buff"), VT_BSTR | VT_BYREF},
                             {const_cast<OLECHAR*>(L"size"), VT_I4 | VT_BYREF},
                             {const_cast<OLECHAR*>(L"filename"), VT_BSTR | VT_BYREF}};
  static PARAMDATA rtopen[] = {{const_cast<OLECHAR*>(L"dataspec"), VT_BSTR},
                               {const_cast<OLECHAR*>(L"key"), VT_BSTR}};
  static METHODDATA methods[] = {
      {const_cast<OLECHAR*>(L"JVInit"), sid, kJVInit, 7, CC_STDCALL, 1, DISPATCH_METHOD, VT_I4},
      {const_cast<OLECHAR*>(L"JVClose"), nullptr, kJVClose, 8, CC_STDCALL, 0, DISPATCH_METHOD,
       VT_I4},
      {const_cast<OLECHAR*>(L"JVSetUIProperties"), nullptr, kJVSetUIProperties, 9, CC_STDCALL, 0,
       DISPATCH_METHOD, VT_I4},
      {const_cast<OLECHAR*>(L"JVOpen"), open, kJVOpen, 10, CC_STDCALL, 6, DISPATCH_METHOD, VT_I4},
      {const_cast<OLECHAR*>(L"JVStatus"), nullptr, kJVStatus, 11, CC_STDCALL, 0, DISPATCH_METHOD,
       VT_I4},
      {const_cast<OLECHAR*>(L"JVRead"), read, kJVRead, 12, CC_STDCALL, 3, DISPATCH_METHOD, VT_I4},
      {const_cast<OLECHAR*>(L"JVRTOpen"), rtopen, kJVRTOpen, 13, CC_STDCALL, 2, DISPATCH_METHOD,
       VT_I4},
      {const_cast<OLECHAR*>(L"JVCancel"), nullptr, kJVCancel, 14, CC_STDCALL, 0, DISPATCH_METHOD,
       VT_EMPTY},
  };
  static INTERFACEDATA data = {methods, sizeof methods / sizeof methods[0]};
  if (FAILED(CreateDispTypeInfo(&data, LOCALE_SYSTEM_DEFAULT, &typeInfo_))) typeInfo_ = nullptr;
  return typeInfo_;
}

HRESULT JVLinkObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result,
                             EXCEPINFO*, UINT* argErr) {
  if (id == kVersionProperty) {
    const std::wstring v = VersionText();
    if (!(flags & DISPATCH_PROPERTYGET) || v.empty()) return DISP_E_MEMBERNOTFOUND;
    if (!result) return E_POINTER;
    VariantInit(result);
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocString(v.c_str());
    return S_OK;
  }
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (!p) return E_INVALIDARG;
  if (p->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  static const std::map<DISPID, UINT> counts = {
      {kJVInit, 1},       {kJVClose, 0},          {kJVSetUIProperties, 0}, {kJVOpen, 6},
      {kJVStatus, 0},     {kJVRead, 3},           {kJVRTOpen, 2},          {kJVCancel, 0},
      {kJVWatchEvent, 0}, {kJVWatchEventClose, 0}};
  auto count = counts.find(id);
  if (count == counts.end()) return DISP_E_MEMBERNOTFOUND;
  if (p->cArgs != count->second) return DISP_E_BADPARAMCOUNT;
  auto mismatch = [&](UINT i) {
    if (argErr) *argErr = p->cArgs - 1 - i;
    return DISP_E_TYPEMISMATCH;
  };
  Trip(id);
  if (id == kJVOpen || id == kJVRTOpen) {
    const tavolen::StandInTraits traits = tavolen::LoadTraits(link_->Folder());
    if (traits.updateBoxSeconds >= 0) AskForUpdate(traits.updateBoxSeconds);
  }

  int r = 0;
  switch (id) {
    case kJVInit: {
      std::u16string sid;
      if (!InText(p, 0, sid)) return mismatch(0);
      r = link_->JVInit(sid);
      break;
    }
    case kJVClose:
      r = link_->JVClose();
      break;
    case kJVSetUIProperties:
      r = link_->JVSetUIProperties();
      break;
    case kJVOpen: {
      std::u16string spec, from;
      LONG option = 0;
      if (!InText(p, 0, spec)) return mismatch(0);
      if (!InText(p, 1, from)) return mismatch(1);
      if (!InLong(p, 2, option)) return mismatch(2);
      if (!OutLong(p, 3)) return mismatch(3);
      if (!OutLong(p, 4)) return mismatch(4);
      if (!OutText(p, 5)) return mismatch(5);
      int readCount = 0, downloadCount = 0;
      std::u16string stamp;
      r = link_->JVOpen(spec, from, option, readCount, downloadCount, stamp);
      *Arg(p, 3)->plVal = readCount;
      *Arg(p, 4)->plVal = downloadCount;
      SetText(p, 5, stamp);
      break;
    }
    case kJVStatus:
      r = link_->JVStatus();
      break;
    case kJVRead: {
      if (!OutText(p, 0)) return mismatch(0);
      if (!OutLong(p, 1)) return mismatch(1);
      if (!OutText(p, 2)) return mismatch(2);
      int size = *Arg(p, 1)->plVal;
      std::u16string buff, name;
      r = link_->JVRead(buff, size, name);
      *Arg(p, 1)->plVal = size;
      SetText(p, 0, buff);
      SetText(p, 2, name);
      break;
    }
    case kJVRTOpen: {
      std::u16string spec, key;
      if (!InText(p, 0, spec)) return mismatch(0);
      if (!InText(p, 1, key)) return mismatch(1);
      r = link_->JVRTOpen(spec, key);
      break;
    }
    case kJVWatchEvent:
      r = link_->JVWatchEvent();
      break;
    case kJVWatchEventClose:
      r = link_->JVWatchEventClose();
      break;
    case kJVCancel:
      link_->JVCancel();
      if (result) VariantInit(result);
      return S_OK;
  }
  if (result) {
    VariantInit(result);
    result->vt = VT_I4;
    result->lVal = r;
  }
  return S_OK;
}

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return tavolen::OfferInterfaces(this, {&IID_IClassFactory}, iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    JVLinkObject* object = nullptr;
    try {
      object = new JVLinkObject();
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++locks : --locks;
    return S_OK;
  }
};

Factory factory;

LSTATUS SetValue(HKEY root, const std::wstring& key, const wchar_t* name,
                 const std::wstring& value) {
  HKEY k = nullptr;
  LSTATUS s = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr);
  if (s != ERROR_SUCCESS) return s;
  s = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
  return s;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != kClsid) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, out);
}

HRESULT WINAPI DllCanUnloadNow() {
  return liveObjects == 0 && locks == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI DllRegisterServer() {
  wchar_t file[MAX_PATH];
  if (!GetModuleFileNameW(module, file, MAX_PATH)) return SELFREG_E_CLASS;
  const std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsidText;
  if (SetValue(HKEY_CLASSES_ROOT, kProgId, nullptr, L"JV-Link stand-in") ||
      SetValue(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID", nullptr, kClsidText) ||
      SetValue(HKEY_CLASSES_ROOT, clsidKey, nullptr, L"JV-Link stand-in") ||
      SetValue(HKEY_CLASSES_ROOT, clsidKey + L"\\ProgID", nullptr, kProgId) ||
      SetValue(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", nullptr, file) ||
      SetValue(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"))
    return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT WINAPI DllUnregisterServer() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsidText).c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  return S_OK;
}

}  // extern "C"
