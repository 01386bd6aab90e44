// ParseVersionNumber against two references on any bytes: a plain digit-string
// comparison with the range limits, and the C library's base-10 conversion
// (same white space, one sign, same clamping; it stops at a zero byte, where
// the parser's digits end as well).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "fuzz/fuzz_text.h"
#include "lists/version_list.h"

namespace {

static_assert(sizeof(long long) == sizeof(int64_t), "strtoll covers the signed 64-bit range");

int64_t ReferenceVersionNumber(std::string_view text) {
  size_t pos = text.find_first_not_of(" \t\n\v\f\r");
  if (pos == std::string_view::npos) return 0;
  const bool negative = text[pos] == '-';
  if (text[pos] == '-' || text[pos] == '+') ++pos;
  std::string digits;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    if (!digits.empty() || text[pos] != '0') digits += text[pos];
  }
  // Same length digit strings without leading zeros compare like numbers.
  const std::string limit = negative ? "9223372036854775808" : "9223372036854775807";
  if (digits.size() > limit.size() || (digits.size() == limit.size() && digits >= limit)) {
    return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  }
  int64_t value = 0;
  for (const char digit : digits) value = value * 10 + (digit - '0');
  return negative ? -value : value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(AsText(data, size));
  const int64_t parsed = ParseVersionNumber(text);
  Require(parsed == ReferenceVersionNumber(text), "matches the digit-string reference");
  Require(parsed == std::strtoll(text.c_str(), nullptr, 10), "matches strtoll");
  Require(ParseVersionNumber(std::to_string(parsed)) == parsed, "printed number reads back");
  return 0;
}
