#include "lists/server_list.h"

#include <windows.h>

#include <urlmon.h>
#include <wininet.h>

#include <algorithm>
#include <optional>

#include "base/bind_status_callback_win.h"
#include "base/http_answer.h"
#include "base/scoped_win.h"
#include "base/wide_string_win.h"

namespace {

constexpr ULONG kReadSize = 1024;

// Learns the HTTP status and the headers of the list's answer from the
// binding, since the platform opens an error page or a cut-off body with S_OK
// like a list. It takes no other part in the transfer.
class ListAnswerCallback final : public BindStatusCallbackBase<> {
 public:
  const HttpAnswer& answer() const { return answer_; }

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
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override {
    if (!answer_.status) LearnAnswer();
    return S_OK;
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

  ScopedComPtr<IBinding> binding_;
  HttpAnswer answer_;
};

// Appends the stream's bytes until a read is not S_OK or delivers nothing;
// the bytes of such a last read are not kept.
std::string ReadWholeStream(IStream& stream) {
  std::string text;
  char buffer[kReadSize];
  for (;;) {
    ULONG delivered = 0;
    if (stream.Read(buffer, kReadSize, &delivered) != S_OK || delivered == 0) break;
    text.append(buffer, std::min(delivered, kReadSize));
  }
  return text;
}

std::string OpenAndRead(const std::u16string& url, ListAnswerCallback& callback) {
  ScopedComPtr<IStream> stream;
  if (URLOpenBlockingStreamW(nullptr, AsWide(url), stream.Receive(), 0, &callback) != S_OK ||
      !stream) {
    return std::string();
  }
  return ReadWholeStream(*stream.Get());
}

}  // namespace

std::string FetchServerList(const std::u16string& url) {
  // A cached copy must never stand in for the server's current list.
  DeleteUrlCacheEntryW(AsWide(url));

  ScopedComPtr<ListAnswerCallback> callback;
  *callback.Receive() = new ListAnswerCallback();
  std::string text = OpenAndRead(url, *callback.Get());
  callback->ForgetBinding();
  // An error page or a list cut short counts as no list at all.
  if (!IsWholeBody(callback->answer(), text.size())) return std::string();
  return text;
}
