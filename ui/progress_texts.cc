#include "ui/progress_texts.h"

#include <algorithm>
#include <string>

namespace {

// The label has room for this many names; the rest are only counted.
constexpr size_t kListedNames = 3;

std::u16string DecimalText(long long number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string FileListText(const std::vector<std::u16string>& names) {
  const size_t shown = std::min(names.size(), kListedNames);
  std::u16string text;
  for (size_t i = 0; i < shown; ++i) {
    if (i > 0) text += u"\r\n";
    text += names[i];
  }
  if (names.size() > kListedNames) {
    text += u"\r\n... 외 " + DecimalText(static_cast<long long>(names.size() - kListedNames)) + u"개";
  }
  return text;
}

std::u16string OverallProgressText(int current, int total) {
  return u"전체 진행: " + DecimalText(current) + u" / " + DecimalText(total);
}
