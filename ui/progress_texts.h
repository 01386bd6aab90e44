// Every text the progress window shows: its title, the fixed labels and the
// labels that follow the downloads; the failure summary ends its list of
// names as the window does.
#ifndef UI_PROGRESS_TEXTS_H_
#define UI_PROGRESS_TEXTS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr char16_t kProgressWindowTitle[] = u"코르바네소프트(주) Corvane3 업데이트 중...";
inline constexpr char16_t kFileListHeading[] = u"다운로드 파일 목록:";
// The status label until the first progress report.
inline constexpr char16_t kPreparingStatus[] = u"준비 중...";

// The line that ends a shortened list of names, in the progress window and
// in the failure summary alike: "... 외 N개" for N more.
std::u16string MoreNamesText(size_t count);

std::u16string FileListText(const std::vector<std::u16string>& names);
std::u16string OverallProgressText(int current, int total);
// The status label's text while a file is fetched, "다운로드 중: name (42%)".
std::u16string DownloadStatusText(const std::u16string& name, uint64_t percentage);

#endif  // UI_PROGRESS_TEXTS_H_
