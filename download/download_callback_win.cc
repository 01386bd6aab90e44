#include "download/download_callback_win.h"

#include <optional>
#include <utility>

#include "base/bind_status_callback_win.h"
#include "base/http_answer.h"
#include "base/message_pump_win.h"
#include "base/scoped_win.h"
#include "base/wide_string_win.h"
#include "download/disk_room_win.h"
#include "download/download_status.h"

namespace {

// Shows the progress of one file's transfer and, while it is shown, keeps the
// thread's messages flowing, since URLDownloadToFileW blocks this thread.
// It also answers IHttpNegotiate, to learn the HTTP status and headers.
class DownloadCallback final : public BindStatusCallbackBase<IHttpNegotiate> {
 public:
  DownloadCallback(const std::u16string& displayName, ProgressDisplay progressDisplay,
                   const std::u16string& stagingPath, const std::u16string& requestHeaders,
                   DownloadResponse* responseOut)
      : name(displayName),
        showProgress(std::move(progressDisplay)),
        staging(stagingPath),
        extraHeaders(requestHeaders),
        response(responseOut) {}

  // IBindStatusCallback
  // The binding is kept only to stop the transfer, and let go when it ends
  // (it holds this object too).
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* started) override {
    if (started != nullptr) started->AddRef();
    *binding.Receive() = started;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override {
    binding.Reset();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR statusText) override {
    if (progressMax != 0) response->lastAnnouncedSize = progressMax;
    if (statusCode == BINDSTATUS_CACHEFILENAMEAVAILABLE && statusText != nullptr) {
      response->cacheFile = FromWide(statusText);
    }
    if (!response->lackedDiskRoom && !DrivesHoldBody(progress)) {
      response->lackedDiskRoom = true;
      // Wine's urlmon ignores E_ABORT from a progress report; an aborted
      // binding ends the call, though the platform may read on for a while.
      // The flag fails the file should the transfer still end well.
      if (binding) binding->Abort();
    }
    if (response->lackedDiskRoom) return E_ABORT;
    const std::optional<uint64_t> percentage =
        shown.Percentage(progress, progressMax, statusCode == BINDSTATUS_ENDDOWNLOADDATA);
    if (!percentage || !showProgress(name, *percentage)) return S_OK;
    if (MayPumpDuring(statusCode)) PumpWaitingMessages();
    return S_OK;
  }

  // IHttpNegotiate
  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                 LPWSTR* additionalHeaders) override {
    if (additionalHeaders == nullptr) return S_OK;
    *additionalHeaders = nullptr;
    if (extraHeaders.empty()) return S_OK;
    // The platform frees the text with CoTaskMemFree.
    const size_t bytes = (extraHeaders.size() + 1) * sizeof(char16_t);
    void* text = CoTaskMemAlloc(bytes);
    if (text == nullptr) return E_OUTOFMEMORY;
    memcpy(text, extraHeaders.c_str(), bytes);
    *additionalHeaders = static_cast<LPWSTR>(text);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD responseCode, LPCWSTR responseHeaders, LPCWSTR,
                                       LPWSTR* additionalRequestHeaders) override {
    response->httpStatus = responseCode;
    response->headers = FromWide(responseHeaders);
    bodyLength = PlainBodyLength(response->headers);
    shown.SetAnnouncedLength(bodyLength);
    if (additionalRequestHeaders != nullptr) *additionalRequestHeaders = nullptr;
    return S_OK;
  }

 private:
  ~DownloadCallback() override = default;

  // False only when the drives of the cache file and of the staging file
  // clearly cannot hold the body: when the room cannot be read, the transfer
  // goes on (a full disk still fails it safely). A body of known length is
  // judged once, when the platform names its cache file; any other while it
  // arrives, so that an endless one cannot fill the drive.
  bool DrivesHoldBody(ULONG progress) {
    if (response->cacheFile.empty()) return true;
    if (bodyLength) {
      const bool named = !lengthChecked;
      lengthChecked = true;
      return !named || DrivesHold(CanHoldBody, *bodyLength);
    }
    // The count is 32 bits and wraps at 4 GB; a step is measured modulo it.
    if (static_cast<ULONG>(progress - progressAtRoomCheck) < kGrowingBodyCheckStep) return true;
    progressAtRoomCheck = progress;
    WIN32_FILE_ATTRIBUTE_DATA cached;
    if (!GetFileAttributesExW(AsWide(response->cacheFile), GetFileExInfoStandard, &cached)) {
      return true;
    }
    return DrivesHold(CanHoldGrowingBody,
                      (uint64_t{cached.nFileSizeHigh} << 32) | cached.nFileSizeLow);
  }

  bool DrivesHold(bool (*canHold)(uint64_t, const DriveRoom&, const DriveRoom&),
                  uint64_t bytes) const {
    const std::optional<DriveRoom> cacheDrive = DriveRoomOf(response->cacheFile);
    const std::optional<DriveRoom> stagingDrive = DriveRoomOf(staging);
    return !cacheDrive || !stagingDrive || canHold(bytes, *cacheDrive, *stagingDrive);
  }

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

  const std::u16string name;
  const ProgressDisplay showProgress;
  const std::u16string staging;
  const std::u16string extraHeaders;
  DownloadResponse* const response;
  ScopedComPtr<IBinding> binding;
  std::optional<uint64_t> bodyLength;  // from the answer's headers, for a plain body
  bool lengthChecked = false;          // once the cache file is named
  ULONG progressAtRoomCheck = 0;
  DownloadProgress shown;
};

}  // namespace

IBindStatusCallback* NewDownloadCallback(const std::u16string& displayName,
                                         ProgressDisplay showProgress,
                                         const std::u16string& stagingPath,
                                         const std::u16string& requestHeaders,
                                         DownloadResponse* response) {
  return new DownloadCallback(displayName, std::move(showProgress), stagingPath, requestHeaders,
                              response);
}
