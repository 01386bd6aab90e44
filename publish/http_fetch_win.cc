#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <memory>

#include "base/http_answer.h"
#include "base/utf8.h"
#include "base/wide_string_win.h"
#include "publish/http_fetch.h"

namespace {

struct InternetHandleCloser {
  void operator()(void* handle) const { InternetCloseHandle(static_cast<HINTERNET>(handle)); }
};
using ScopedInternet = std::unique_ptr<void, InternetHandleCloser>;

std::string FailureText(const char* step) {
  return std::string(step) + " failed (WinINet error " + std::to_string(GetLastError()) + ")";
}

// A header value as text; empty when the answer has none.
std::u16string QueryText(HINTERNET request, DWORD what) {
  std::u16string text(4096, u'\0');
  DWORD size = static_cast<DWORD>(text.size() * sizeof(char16_t));
  if (!HttpQueryInfoW(request, what, text.data(), &size, nullptr)) return std::u16string();
  text.resize(size / sizeof(char16_t));
  return text;
}

std::optional<uint32_t> QueryNumber(HINTERNET request, DWORD what) {
  DWORD number = 0, size = sizeof number;
  if (!HttpQueryInfoW(request, what | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr)) {
    return std::nullopt;
  }
  return number;
}

// The parts of a URL WinINet connects with; empty host when it is no URL.
struct UrlParts {
  std::u16string host, path;
  INTERNET_PORT port = 0;
  bool secure = false;
};

UrlParts Crack(const std::u16string& url) {
  wchar_t host[256] = L"", path[4096] = L"";
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = 256;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = 4096;
  if (!InternetCrackUrlW(AsWide(url), 0, 0, &parts)) return UrlParts();
  return {FromWide(host), FromWide(path), parts.nPort, parts.nScheme == INTERNET_SCHEME_HTTPS};
}

class WinInetFetch : public HttpFetch {
 public:
  WinInetFetch()
      : session_(InternetOpenW(L"crv3publish-check", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                               nullptr, 0)) {}

  FetchAnswer Get(const std::u16string& url, const BodyBound& bound,
                  const BodyPiece& piece) override {
    FetchAnswer answer;
    const SentRequest sent = Send(url, u"", true, answer);
    const HINTERNET handle = static_cast<HINTERNET>(sent.request.get());
    if (!handle) return answer;
    HttpAnswer http;
    http.status = QueryNumber(handle, HTTP_QUERY_STATUS_CODE);
    http.headers = QueryText(handle, HTTP_QUERY_RAW_HEADERS_CRLF);
    uint64_t size = 0;
    char buffer[65536];
    DWORD read = 0;
    BOOL reading = TRUE;
    const auto start = std::chrono::steady_clock::now();
    while ((reading = InternetReadFile(handle, buffer, sizeof buffer, &read)) && read > 0) {
      size += read;
      answer.failure = BoundBreach(bound, size, std::chrono::duration_cast<std::chrono::seconds>(
                                                    std::chrono::steady_clock::now() - start));
      if (!answer.failure.empty()) return answer;
      piece(std::string_view(buffer, read));
    }
    if (!reading) {
      answer.failure = FailureText("reading the body");
    } else if (answer.status >= 200 && answer.status <= 299 && !IsWholeBody(http, size)) {
      answer.failure = "the body ended after " + std::to_string(size) + " bytes, short of its length";
    }
    return answer;
  }

  // Closing the request before its body is read drops the connection, which
  // is what a whole file sent in place of the range deserves.
  FetchAnswer GetRange(const std::u16string& url, uint64_t first, uint64_t last) override {
    FetchAnswer answer;
    const std::u16string range = u"Range: bytes=" + FromUtf8(std::to_string(first)).value() +
                                 u"-" + FromUtf8(std::to_string(last)).value() + u"\r\n";
    Send(url, range, false, answer);
    return answer;
  }

 private:
  // The connection must outlive its request: closing it closes the request.
  struct SentRequest {
    ScopedInternet connection;
    ScopedInternet request;
  };

  // Sends a GET with gzip and deflate accepted and `headers` besides,
  // decoding the body when `decode`; the answer's status and headers go to
  // `answer`, or why none came to its failure.
  SentRequest Send(const std::u16string& url, const std::u16string& headers, bool decode,
                   FetchAnswer& answer) {
    SentRequest sent;
    const UrlParts parts = Crack(url);
    if (parts.host.empty()) {
      answer.failure = "not an http or https URL";
      return sent;
    }
    sent.connection.reset(
        session_ ? InternetConnectW(static_cast<HINTERNET>(session_.get()), AsWide(parts.host),
                                    parts.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)
                 : nullptr);
    const ScopedInternet& connection = sent.connection;
    // Fresh from the server (or the CDN edge the clients see), never from
    // this machine's cache, and not kept in it.
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                        INTERNET_FLAG_KEEP_CONNECTION | (parts.secure ? INTERNET_FLAG_SECURE : 0);
    sent.request.reset(
        connection ? HttpOpenRequestW(static_cast<HINTERNET>(connection.get()), L"GET",
                                      AsWide(parts.path), nullptr, nullptr, nullptr, flags, 0)
                   : nullptr);
    const HINTERNET handle = static_cast<HINTERNET>(sent.request.get());
    if (!handle) {
      answer.failure = FailureText("opening the request");
      return sent;
    }
    BOOL decoding = decode ? TRUE : FALSE;
    InternetSetOptionW(handle, INTERNET_OPTION_HTTP_DECODING, &decoding, sizeof decoding);
    // A server that sends nothing for this long is taken as gone.
    DWORD silence = static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(kSpeedGrace).count());
    InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &silence, sizeof silence);
    const std::u16string sentHeaders = headers + u"Accept-Encoding: gzip, deflate\r\n";
    if (!HttpSendRequestW(handle, AsWide(sentHeaders), static_cast<DWORD>(sentHeaders.size()),
                          nullptr, 0)) {
      answer.failure = FailureText("sending the request");
      sent.request.reset();
      return sent;
    }
    answer.status = QueryNumber(handle, HTTP_QUERY_STATUS_CODE).value_or(0);
    answer.compressed = !QueryText(handle, HTTP_QUERY_CONTENT_ENCODING).empty();
    answer.contentRange = ToUtf8(QueryText(handle, HTTP_QUERY_CONTENT_RANGE));
    return sent;
  }

  ScopedInternet session_;
};

}  // namespace

std::unique_ptr<HttpFetch> MakeHttpFetch() { return std::make_unique<WinInetFetch>(); }
