// One HTTP GET as the launcher's URL services make it: redirects followed,
// gzip and deflate accepted and decoded, no header examined but the status;
// a body that breaks its bound (publish/body_bound.h) is a failure. libcurl
// natively, WinINet (a Windows system DLL) in crv3publish.exe.
#ifndef PUBLISH_HTTP_FETCH_H_
#define PUBLISH_HTTP_FETCH_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "publish/body_bound.h"

struct FetchAnswer {
  std::string failure;      // why no whole answer came; empty when one did
  long status = 0;          // the final answer's HTTP status
  bool compressed = false;  // the body came with a content coding, now decoded
  std::string contentRange;  // the final answer's Content-Range header, if any
};

// Receives the decoded body piece by piece.
using BodyPiece = std::function<void(std::string_view piece)>;

class HttpFetch {
 public:
  virtual ~HttpFetch() = default;
  virtual FetchAnswer Get(const std::u16string& url, const BodyBound& bound,
                          const BodyPiece& piece) = 0;
  // Asks for bytes first..last as the launcher's ranged requests do (gzip
  // and deflate accepted); only the status and headers are taken, the body
  // is left unread, so a server that answers with the whole file costs
  // nothing. `failure` is empty whenever an answer came.
  virtual FetchAnswer GetRange(const std::u16string& url, uint64_t first, uint64_t last) = 0;
};

// The platform's transport.
std::unique_ptr<HttpFetch> MakeHttpFetch();

#endif  // PUBLISH_HTTP_FETCH_H_
