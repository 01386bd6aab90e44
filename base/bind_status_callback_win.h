// The COM plumbing shared by the launcher's status callbacks for urlmon
// transfers: one reference count, QueryInterface over IBindStatusCallback and
// the further interfaces named, and IBindStatusCallback methods that take no
// part in the transfer. A callback overrides only the methods it needs.
#ifndef BASE_BIND_STATUS_CALLBACK_WIN_H_
#define BASE_BIND_STATUS_CALLBACK_WIN_H_

#include <windows.h>

#include <urlmon.h>

#include <initializer_list>

template <typename... OtherInterfaces>
class BindStatusCallbackBase : public IBindStatusCallback, public OtherInterfaces... {
 public:
  BindStatusCallbackBase(const BindStatusCallbackBase&) = delete;
  BindStatusCallbackBase& operator=(const BindStatusCallbackBase&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = InterfaceFor(riid);
    if (*ppv == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG remaining = --refCount_;
    if (remaining == 0) delete this;
    return remaining;
  }

  // IBindStatusCallback
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

 protected:
  // The object starts with one reference, its creator's.
  BindStatusCallbackBase() = default;
  // Only Release deletes the object, when the last reference goes.
  virtual ~BindStatusCallbackBase() = default;

 private:
  // IUnknown and IBindStatusCallback first, then the others in their order;
  // null for an interface the object does not have.
  void* InterfaceFor(REFIID riid) {
    if (IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(IBindStatusCallback))) {
      return static_cast<IBindStatusCallback*>(this);
    }
    for (void* candidate : {static_cast<void*>(nullptr), IfInterface<OtherInterfaces>(riid)...}) {
      if (candidate != nullptr) return candidate;
    }
    return nullptr;
  }

  template <typename Interface>
  void* IfInterface(REFIID riid) {
    return IsEqualIID(riid, __uuidof(Interface)) ? static_cast<Interface*>(this) : nullptr;
  }

  LONG refCount_ = 1;
};

#endif  // BASE_BIND_STATUS_CALLBACK_WIN_H_
