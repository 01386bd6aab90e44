#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "base/utf8.h"
#include "publish/http_fetch.h"

namespace {

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};

// The receiver of one body, which keeps its size within the bound: a
// chunked or decoded body announces no size that libcurl could refuse.
struct BodyReceiver {
  const BodyBound& bound;
  const BodyPiece& piece;
  uint64_t bytes = 0;
  std::string breach;
};

size_t OnBody(char* data, size_t size, size_t count, void* receiverAddress) {
  auto& receiver = *static_cast<BodyReceiver*>(receiverAddress);
  receiver.bytes += size * count;
  receiver.breach = BoundBreach(receiver.bound, receiver.bytes, std::chrono::seconds(0));
  if (!receiver.breach.empty()) return 0;  // libcurl ends the transfer
  receiver.piece(std::string_view(data, size * count));
  return size * count;
}

// One handle for every request, so its connection is kept alive between
// them as the launcher's URL services keep theirs.
class CurlFetch : public HttpFetch {
 public:
  FetchAnswer Get(const std::u16string& url, const BodyBound& bound,
                  const BodyPiece& piece) override {
    return Perform(url, bound, piece);
  }

  FetchAnswer GetRange(const std::u16string& url, uint64_t first, uint64_t last) override {
    if (!easy_) return Perform(url, BodyBound(), [](std::string_view) {});
    CURL* easy = easy_.get();
    const std::string range = std::to_string(first) + "-" + std::to_string(last);
    curl_easy_setopt(easy, CURLOPT_RANGE, range.c_str());
    // The body is not looked at: a slice of a gzip body does not decode.
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    // Any byte past the range asked for ends the transfer.
    const BodyBound asked{last - first + 1, kSpeedGrace, 1};
    FetchAnswer answer = Perform(url, asked, [](std::string_view) {});
    curl_easy_setopt(easy, CURLOPT_RANGE, nullptr);
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 1L);
    if (answer.status != 0) answer.failure.clear();
    return answer;
  }

  CurlFetch() : easy_(curl_easy_init()) {
    CURL* easy = easy_.get();
    if (!easy) return;
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "crv3publish-check");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, 30L);
    // The authorities a test server's certificate comes from, named as the
    // curl program reads them.
    if (const char* authorities = std::getenv("CURL_CA_BUNDLE")) {
      curl_easy_setopt(easy, CURLOPT_CAINFO, authorities);
    }
  }

 private:
  FetchAnswer Perform(const std::u16string& url, const BodyBound& bound, const BodyPiece& piece) {
    FetchAnswer answer;
    if (!easy_) {
      answer.failure = "libcurl cannot be started";
      return answer;
    }
    char error[CURL_ERROR_SIZE] = "";
    CURL* easy = easy_.get();
    curl_easy_setopt(easy, CURLOPT_URL, ToUtf8(url).c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
    BodyReceiver receiver{bound, piece, 0, std::string()};
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &receiver);
    Bound(bound);
    const CURLcode result = curl_easy_perform(easy);
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &answer.status);
    if (!receiver.breach.empty()) {
      answer.failure = receiver.breach;
    } else if (result != CURLE_OK) {
      answer.failure = error[0] ? error : curl_easy_strerror(result);
    }
    curl_header* coding = nullptr;
    answer.compressed = curl_easy_header(easy, "Content-Encoding", 0, CURLH_HEADER, -1,
                                         &coding) == CURLHE_OK;
    curl_header* range = nullptr;
    if (curl_easy_header(easy, "Content-Range", 0, CURLH_HEADER, -1, &range) == CURLHE_OK) {
      answer.contentRange = range->value;
    }
    return answer;
  }

  // An announced length past the limit is refused before the body; a time
  // of 0 and a size of 0 are libcurl's "no limit" too.
  void Bound(const BodyBound& bound) {
    CURL* easy = easy_.get();
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(bound.maxBytes));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, static_cast<long>(bound.maxTime.count()));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(bound.minBytesPerSecond));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(kSpeedGrace.count()));
  }

  std::unique_ptr<CURL, EasyDeleter> easy_;
};

}  // namespace

std::unique_ptr<HttpFetch> MakeHttpFetch() {
  static const bool started = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  (void)started;
  return std::make_unique<CurlFetch>();
}
