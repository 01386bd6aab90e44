// Numbers as the launcher shows them: plain decimal digits, no grouping.
#ifndef BASE_DECIMAL_TEXT_H_
#define BASE_DECIMAL_TEXT_H_

#include <string>

template <typename Integer>
std::u16string DecimalText(Integer number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

#endif  // BASE_DECIMAL_TEXT_H_
