// The answer-header reader on any headers a server can send: a refused status
// is never a whole body; a plain length found in the headers is exactly the
// shortest body taken; a body taken stays taken when it is longer. Input: two
// bytes of status and eight of stored size (low byte first), then the header
// text as UTF-16 units.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/http_answer.h"
#include "fuzz/fuzz_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 10) return 0;
  HttpAnswer answer;
  answer.status = data[0] | (data[1] << 8);
  uint64_t stored = 0;
  for (size_t i = 9; i >= 2; --i) stored = (stored << 8) | data[i];
  answer.headers = AsUtf16(data + 10, size - 10);
  if (stored % 3 == 0) answer.reportedLength = stored / 3;

  const bool whole = IsWholeBody(answer, stored);
  if (*answer.status < 200 || *answer.status > 299) Require(!whole, "a refused status is no body");
  if (whole && stored < UINT64_MAX) {
    Require(IsWholeBody(answer, stored + 1), "a longer body is taken too");
  }

  const std::optional<uint64_t> length = PlainBodyLength(answer.headers);
  const HttpAnswer success{200, answer.headers, std::nullopt};
  if (length) {
    Require(IsWholeBody(success, *length), "a body of the announced length is taken");
    Require(*length == 0 || !IsWholeBody(success, *length - 1),
            "a body shorter than announced is refused");
  }
  return 0;
}
