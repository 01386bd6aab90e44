#include "base/http_answer.h"

#include <string_view>

#include "base/ascii_case.h"

namespace {

std::u16string_view TrimSpaces(std::u16string_view text) {
  const size_t first = text.find_first_not_of(u" \t");
  if (first == std::u16string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(u" \t") - first + 1);
}

bool IsContentCoded(std::u16string_view headers) {
  const auto coding = HeaderValue(headers, u"Content-Encoding");
  return coding && !EqualsIgnoringAsciiCase<char16_t>(*coding, u"identity");
}

std::optional<uint64_t> ContentLength(std::u16string_view headers) {
  const auto length = HeaderValue(headers, u"Content-Length");
  return length ? ParseDecimalDigits(*length) : std::nullopt;
}

std::optional<uint64_t> AnnouncedLength(const HttpAnswer& answer) {
  if (HeaderValue(answer.headers, u"Content-Length")) return ContentLength(answer.headers);
  return answer.reportedLength;
}

}  // namespace

std::optional<std::u16string_view> HeaderValue(std::u16string_view headers,
                                               std::u16string_view name) {
  while (!headers.empty()) {
    const size_t end = headers.find(u"\r\n");
    const std::u16string_view line = headers.substr(0, end);
    headers = end == std::u16string_view::npos ? std::u16string_view() : headers.substr(end + 2);
    const size_t colon = line.find(u':');
    if (colon != std::u16string_view::npos &&
        EqualsIgnoringAsciiCase(TrimSpaces(line.substr(0, colon)), name)) {
      return TrimSpaces(line.substr(colon + 1));
    }
  }
  return std::nullopt;
}

bool IsWholeBody(const HttpAnswer& answer, uint64_t storedSize) {
  if (answer.status && (*answer.status < 200 || *answer.status > 299)) return false;
  if (IsContentCoded(answer.headers)) return true;
  const std::optional<uint64_t> announced = AnnouncedLength(answer);
  return !announced || storedSize >= *announced;
}

std::optional<uint64_t> PlainBodyLength(const std::u16string& headers) {
  if (IsContentCoded(headers)) return std::nullopt;
  return ContentLength(headers);
}

std::optional<uint64_t> ParseDecimalDigits(std::u16string_view digits) {
  if (digits.empty() || digits.size() > 18) return std::nullopt;
  uint64_t value = 0;
  for (const char16_t digit : digits) {
    if (digit < u'0' || digit > u'9') return std::nullopt;
    value = value * 10 + (digit - u'0');
  }
  return value;
}
