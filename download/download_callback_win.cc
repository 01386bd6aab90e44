#include "download/download_callback_win.h"

#include <utility>

#include "base/bind_status_callback_win.h"
#include "base/wide_string_win.h"
#include "download/download_status.h"

namespace {

// Shows the progress of one file's transfer and, while it is shown, keeps the
// thread's messages flowing, since URLDownloadToFileW blocks this thread.
// It also answers IHttpNegotiate, only to learn the HTTP status.
class DownloadCallback final : public BindStatusCallbackBase<IHttpNegotiate> {
 public:
  DownloadCallback(const std::u16string& displayName, ProgressDisplay progressDisplay,
                   DownloadResponse* responseOut)
      : name(displayName), showProgress(std::move(progressDisplay)), response(responseOut) {}

  // IBindStatusCallback
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR) override {
    if (progressMax != 0) response->lastAnnouncedSize = progressMax;
    if (progressMax == 0) return S_OK;
    if (!showProgress(name, DownloadPercentage(progress, progressMax))) return S_OK;
    if (MayPumpDuring(statusCode)) PumpWaitingMessages();
    return S_OK;
  }

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
  ~DownloadCallback() override = default;

  // Wine's urlmon announces the start of the data and then the cache file
  // that URLDownloadToFileW copies to the target, which it records only
  // after that report returns. A message dispatched during either report
  // can run the rest of the transfer to its end first: the call then
  // returns S_OK with no file stored. Those two reports update the window
  // without pumping; the next report pumps.
  static bool MayPumpDuring(ULONG statusCode) {
    return statusCode != BINDSTATUS_BEGINDOWNLOADDATA &&
           statusCode != BINDSTATUS_CACHEFILENAMEAVAILABLE;
  }

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
  const ProgressDisplay showProgress;
  DownloadResponse* const response;
};

}  // namespace

IBindStatusCallback* NewDownloadCallback(const std::u16string& displayName,
                                         ProgressDisplay showProgress,
                                         DownloadResponse* response) {
  return new DownloadCallback(displayName, std::move(showProgress), response);
}
