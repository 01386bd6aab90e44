// Numbers as the launcher shows them: plain decimal digits, no grouping.
#ifndef BASE_DECIMAL_TEXT_H_
#define BASE_DECIMAL_TEXT_H_

#include <cstddef>
#include <string>

template <typename Integer>
std::u16string DecimalText(Integer number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

// The line that ends a shortened list of names: "... 외 N개" for N more.
inline std::u16string MoreNamesText(size_t count) {
  return u"... 외 " + DecimalText(count) + u"개";
}

#endif  // BASE_DECIMAL_TEXT_H_
