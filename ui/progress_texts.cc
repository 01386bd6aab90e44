#include "ui/progress_texts.h"

#include <algorithm>
#include <string>

#include "base/decimal_text.h"

namespace {

// The label has room for this many names; the rest are only counted.
constexpr size_t kListedNames = 3;

}  // namespace

std::u16string MoreNamesText(size_t count) { return u"... 외 " + DecimalText(count) + u"개"; }

std::u16string FileListText(const std::vector<std::u16string>& names) {
  const size_t shown = std::min(names.size(), kListedNames);
  std::u16string text;
  for (size_t i = 0; i < shown; ++i) {
    if (i > 0) text += u"\r\n";
    text += names[i];
  }
  if (names.size() > kListedNames) {
    text += u"\r\n" + MoreNamesText(names.size() - kListedNames);
  }
  return text;
}

std::u16string OverallProgressText(int current, int total) {
  return u"전체 진행: " + DecimalText(current) + u" / " + DecimalText(total);
}

std::u16string DownloadStatusText(const std::u16string& name, uint64_t percentage) {
  return u"다운로드 중: " + name + u" (" + DecimalText(percentage) + u"%)";
}
