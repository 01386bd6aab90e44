#include "lists/server_list.h"

#include <windows.h>

#include <urlmon.h>
#include <wininet.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "base/bind_status_callback_win.h"
#include "base/http_answer.h"
#include "base/scoped_win.h"
#include "base/url_cache_win.h"
#include "base/wide_string_win.h"

namespace {

constexpr ULONG kReadSize = 1024;

// Learns the HTTP status and the headers of the list's answer from the
// binding, since the platform opens an error page or a cut-off body with S_OK
// like a list. It stops a body that passes the size limit while it arrives:
// the platform's open call returns only once the body has ended, so a limit
// applied to the stream alone would come too late for an endless body.
class ListAnswerCallback final : public BindStatusCallbackBase<> {
 public:
  explicit ListAnswerCallback(uint64_t sizeLimit) : sizeLimit_(sizeLimit) {}

  const HttpAnswer& answer() const { return answer_; }
  bool passedLimit() const { return passedLimit_; }
  // The file the platform caches the body in; empty when it named none.
  const std::u16string& cacheFile() const { return cacheFile_; }

  // Drops the binding, which holds a reference to this object in turn.
  void ForgetBinding() { binding_.Reset(); }

  // IBindStatusCallback
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override {
    if (binding != nullptr) {
      binding->AddRef();
      *binding_.Receive() = binding;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR statusText) override {
    if (!answer_.status) LearnAnswer();
    if (statusCode == BINDSTATUS_CACHEFILENAMEAVAILABLE && statusText != nullptr) {
      cacheFile_ = FromWide(statusText);
    }
    if (!passedLimit_ && (progress > sizeLimit_ || progressMax > sizeLimit_)) {
      passedLimit_ = true;
      // Wine's urlmon ignores E_ABORT from a progress report; an aborted
      // binding ends the transfer, though the platform may read on a while.
      if (binding_) binding_->Abort();
    }
    return passedLimit_ ? E_ABORT : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override {
    LearnAnswer();
    ForgetBinding();
    return S_OK;
  }

 private:
  ~ListAnswerCallback() override = default;

  // Asks the binding's HTTP layer while the answer is still at hand. The
  // headers of an answer are kept from the first time they are seen: the
  // platform may strip the content coding header once it has decoded the
  // body. A new status (after a redirect) is a new answer.
  void LearnAnswer() {
    if (!binding_) return;
    ScopedComPtr<IWinInetHttpInfo> httpInfo;
    if (FAILED(binding_->QueryInterface(IID_IWinInetHttpInfo, httpInfo.ReceiveVoid())) ||
        !httpInfo) {
      return;
    }
    const auto status = QueryNumber(*httpInfo.Get(), HTTP_QUERY_STATUS_CODE);
    if (status && status != answer_.status) {
      answer_.status = *status;
      answer_.headers = QueryText(*httpInfo.Get(), HTTP_QUERY_RAW_HEADERS_CRLF);
    }
  }

  static std::optional<DWORD> QueryNumber(IWinInetHttpInfo& httpInfo, DWORD query) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (httpInfo.QueryInfo(query | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr, nullptr) !=
        S_OK) {
      return std::nullopt;
    }
    return value;
  }

  // Empty when the platform does not tell. IWinInetHttpInfo answers in
  // single bytes (as HttpQueryInfoA does); header lines are ASCII.
  static std::u16string QueryText(IWinInetHttpInfo& httpInfo, DWORD query) {
    DWORD size = 0;
    if (httpInfo.QueryInfo(query, nullptr, &size, nullptr, nullptr) != S_OK && size == 0) {
      return std::u16string();
    }
    std::string text(size + 1, '\0');
    size = static_cast<DWORD>(text.size());
    if (httpInfo.QueryInfo(query, text.data(), &size, nullptr, nullptr) != S_OK) {
      return std::u16string();
    }
    text.resize(std::min<size_t>(size, text.size()));
    return std::u16string(text.begin(), text.end());
  }

  const uint64_t sizeLimit_;
  ScopedComPtr<IBinding> binding_;
  HttpAnswer answer_;
  bool passedLimit_ = false;
  std::u16string cacheFile_;
};

// Appends the stream's bytes until a read is not S_OK or delivers nothing;
// the bytes of such a last read are not kept. Nothing once the text passes
// sizeLimit.
std::optional<std::string> ReadWholeStream(IStream& stream, uint64_t sizeLimit) {
  std::string text;
  char buffer[kReadSize];
  for (;;) {
    ULONG delivered = 0;
    if (stream.Read(buffer, kReadSize, &delivered) != S_OK || delivered == 0) break;
    text.append(buffer, std::min(delivered, kReadSize));
    if (text.size() > sizeLimit) return std::nullopt;
  }
  return text;
}

std::optional<std::string> OpenAndRead(const std::u16string& url, uint64_t sizeLimit,
                                       ListAnswerCallback& callback) {
  ScopedComPtr<IStream> stream;
  if (URLOpenBlockingStreamW(nullptr, AsWide(url), stream.Receive(), 0, &callback) != S_OK ||
      !stream) {
    return std::nullopt;
  }
  return ReadWholeStream(*stream.Get(), sizeLimit);
}

}  // namespace

std::string FetchServerList(const std::u16string& url, uint64_t sizeLimit) {
  // A cached copy must never stand in for the server's current list.
  DeleteUrlCacheEntryW(AsWide(url));

  ScopedComPtr<ListAnswerCallback> callback;
  *callback.Receive() = new ListAnswerCallback(sizeLimit);
  std::optional<std::string> text = OpenAndRead(url, sizeLimit, *callback.Get());
  callback->ForgetBinding();
  // An error page, a list cut short or one past its limit counts as no list
  // at all.
  if (text && !callback->passedLimit() && IsWholeBody(callback->answer(), text->size())) {
    return *std::move(text);
  }
  DropCachedCopy(url, callback->cacheFile());
  return std::string();
}
