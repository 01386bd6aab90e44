// Whether the body the platform stored for an HTTP answer is the whole of a
// successful answer. One rule for the version list and for every file.
#ifndef BASE_HTTP_ANSWER_H_
#define BASE_HTTP_ANSWER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct HttpAnswer {
  std::optional<uint32_t> status;  // unset when the platform did not tell
  std::u16string headers;          // the header lines as received, each ended by "\r\n"
  // A body length the platform reported apart from the headers, if any.
  std::optional<uint64_t> reportedLength;
};

// The stored body is measured after the platform's decoding of a content
// coding (gzip, deflate), which the announced length does not describe. So:
// - a status outside 2xx is refused (error pages arrive like bodies);
// - a named content coding other than "identity": the length says nothing,
//   the body is taken;
// - otherwise the announced length (Content-Length, else reportedLength)
//   refuses only a shorter body: a plain body is never stored longer than
//   announced, so a longer one is a decoded body whose coding header the
//   platform removed;
// - nothing announced: taken as it came.
[[nodiscard]] bool IsWholeBody(const HttpAnswer& answer, uint64_t storedSize);

// The Content-Length of headers that name no content coding: the size of the
// body as it will be stored. Nothing when they name a coding or no length.
[[nodiscard]] std::optional<uint64_t> PlainBodyLength(const std::u16string& headers);

// The value of the first header line of that name (in any case), its blanks
// trimmed; nothing when no line has the name.
[[nodiscard]] std::optional<std::u16string_view> HeaderValue(std::u16string_view headers,
                                                             std::u16string_view name);

// Plain decimal digits of a header value, at most 18 so that they never
// overflow; nothing for anything else (signs, blanks, an empty text).
[[nodiscard]] std::optional<uint64_t> ParseDecimalDigits(std::u16string_view digits);

#endif  // BASE_HTTP_ANSWER_H_
