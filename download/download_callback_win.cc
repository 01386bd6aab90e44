#include "download/download_callback_win.h"

#include "base/wide_string_win.h"
#include "download/download_status.h"
#include "ui/progress_window_win.h"

namespace {

// Moves the progress window while one file is transferred and keeps the
// thread's messages flowing, since URLDownloadToFileW blocks this thread.
// It also answers IHttpNegotiate, only to learn the HTTP status.
class DownloadCallback final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  DownloadCallback(const std::u16string& displayName, DownloadResponse* responseOut)
      : name(displayName), response(responseOut) {}
  DownloadCallback(const DownloadCallback&) = delete;
  DownloadCallback& operator=(const DownloadCallback&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback)) {
      *ppv = static_cast<IBindStatusCallback*>(this);
    } else if (IsEqualIID(riid, IID_IHttpNegotiate)) {
      *ppv = static_cast<IHttpNegotiate*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG remaining = --refCount;
    if (remaining == 0) delete this;
    return remaining;
  }

  // IBindStatusCallback
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG,
                                       LPCWSTR) override {
    if (progressMax != 0) response->lastAnnouncedSize = progressMax;
    if (progressMax == 0) return S_OK;
    if (!ShowDownloadProgress(name, DownloadPercentage(progress, progressMax))) return S_OK;
    PumpWaitingMessages();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  // IHttpNegotiate
  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                 LPWSTR* additionalHeaders) override {
    if (additionalHeaders != nullptr) *additionalHeaders = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD responseCode, LPCWSTR responseHeaders, LPCWSTR,
                                       LPWSTR* additionalRequestHeaders) override {
    response->httpStatus = responseCode;
    response->headers = FromWide(responseHeaders);
    if (additionalRequestHeaders != nullptr) *additionalRequestHeaders = nullptr;
    return S_OK;
  }

 private:
  // Only Release deletes the object, when the last reference goes.
  ~DownloadCallback() = default;

  // Takes every message waiting for this thread and returns as soon as the
  // queue is empty; it never waits for one.
  static void PumpWaitingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  const std::u16string name;
  LONG refCount = 1;
  DownloadResponse* const response;
};

}  // namespace

IBindStatusCallback* NewDownloadCallback(const std::u16string& displayName,
                                         DownloadResponse* response) {
  return new DownloadCallback(displayName, response);
}
