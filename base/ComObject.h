// The common parts of the project's small COM objects (Windows only): a QueryInterface that
// offers IUnknown and a list of interfaces the object is, an object counted by itself, a part of
// another object that counts and answers through its outer object, and an IDispatch's type
// information.
#pragma once

#include <oaidl.h>
#include <objbase.h>
#include <winerror.h>

#include <atomic>
#include <initializer_list>

namespace tavolen {

// QueryInterface of self, which is IUnknown and every interface in offered.
inline HRESULT OfferInterfaces(IUnknown* self, std::initializer_list<const IID*> offered,
                               REFIID iid, void** out) {
  if (!out) return E_POINTER;
  bool found = iid == IID_IUnknown;
  for (const IID* one : offered) found = found || iid == *one;
  *out = found ? self : nullptr;
  if (!found) return E_NOINTERFACE;
  self->AddRef();
  return S_OK;
}

// An object that counts its references and deletes itself at the last Release; it is made
// holding one.
template <class Interface>
class ComCounted : public Interface {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long n = --refs_;
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

 protected:
  virtual ~ComCounted() = default;

 private:
  std::atomic<long> refs_{1};
};

// A part of an outer object: its references and its other interfaces are the outer object's.
template <class Interface>
class ComPart : public Interface {
 public:
  explicit ComPart(IUnknown* outer) : outer_(outer) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return outer_->QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

 private:
  IUnknown* outer_;
};

// GetTypeInfoCount and GetTypeInfo of an IDispatch whose type information is info (none: null).
inline HRESULT TypeInfoCount(ITypeInfo* info, UINT* n) {
  if (!n) return E_POINTER;
  *n = info ? 1 : 0;
  return S_OK;
}
inline HRESULT OfferTypeInfo(ITypeInfo* info, UINT index, ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  if (!info) return E_NOTIMPL;
  info->AddRef();
  *out = info;
  return S_OK;
}

}  // namespace tavolen
