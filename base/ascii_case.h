// Comparisons that ignore the case of the ASCII letters A to Z only, whatever
// the locale: file endings, process names and HTTP header names.
#ifndef BASE_ASCII_CASE_H_
#define BASE_ASCII_CASE_H_

#include <algorithm>
#include <string_view>

template <typename Unit>
constexpr Unit FoldAsciiCase(Unit unit) {
  return unit >= Unit('A') && unit <= Unit('Z') ? static_cast<Unit>(unit - Unit('A') + Unit('a'))
                                                : unit;
}

template <typename Unit>
bool EqualsIgnoringAsciiCase(std::basic_string_view<Unit> a, std::basic_string_view<Unit> b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](Unit x, Unit y) {
           return FoldAsciiCase(x) == FoldAsciiCase(y);
         });
}

template <typename Unit>
bool EndsWithIgnoringAsciiCase(std::basic_string_view<Unit> text,
                               std::basic_string_view<Unit> ending) {
  return text.size() >= ending.size() &&
         EqualsIgnoringAsciiCase(text.substr(text.size() - ending.size()), ending);
}

#endif  // BASE_ASCII_CASE_H_
