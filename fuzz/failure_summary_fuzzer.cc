// FormatFailureSummary for any k failed names taken from the input (k up to
// 150, names of any units, LF included): the text is the fixed heading, then
// the first min(k, 10) names each followed by LF, then "... 외 N개" with
// N = k - 10 in plain decimal exactly when k > 10, and nothing else.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/update_pass.h"
#include "fuzz/fuzz_text.h"

namespace {

constexpr std::u16string_view kHeading = u"다음 파일 다운로드에 실패했습니다:\n\n";
constexpr std::u16string_view kMorePrefix = u"... 외 ";
constexpr std::u16string_view kMoreSuffix = u"개";
constexpr size_t kListed = 10;

// Removes prefix from the front of text; false when text does not start with it.
bool Consume(std::u16string_view& text, std::u16string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// The count in "... 외 N개", when text is exactly that with N in decimal
// without leading zeros.
std::optional<size_t> MoreCount(std::u16string_view text) {
  if (!Consume(text, kMorePrefix) || text.size() <= kMoreSuffix.size() ||
      text.substr(text.size() - kMoreSuffix.size()) != kMoreSuffix) {
    return std::nullopt;
  }
  const std::u16string_view digits = text.substr(0, text.size() - kMoreSuffix.size());
  if (digits.front() == u'0' || digits.size() > 6) return std::nullopt;
  size_t count = 0;
  for (const char16_t digit : digits) {
    if (digit < u'0' || digit > u'9') return std::nullopt;
    count = count * 10 + (digit - u'0');
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const size_t count = input.ConsumeIntegralInRange<size_t>(0, 150);
  std::vector<std::u16string> names;
  for (size_t i = 0; i < count; ++i) {
    const std::string bytes = input.ConsumeRandomLengthString(64);
    names.push_back(AsUtf16(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  }

  const std::u16string summary = FormatFailureSummary(names);
  std::u16string_view rest = summary;
  Require(Consume(rest, kHeading), "starts with the heading");
  for (size_t i = 0; i < std::min(count, kListed); ++i) {
    Require(Consume(rest, names[i]) && Consume(rest, u"\n"), "lists the first ten names, one a line");
  }
  if (count <= kListed) {
    Require(rest.empty(), "nothing follows ten names or fewer");
  } else {
    Require(MoreCount(rest) == count - kListed, "ends in \"... 외 N개\" with the unlisted count");
  }
  return 0;
}
