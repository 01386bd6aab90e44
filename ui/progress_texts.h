// The texts of the progress window's labels.
#ifndef UI_PROGRESS_TEXTS_H_
#define UI_PROGRESS_TEXTS_H_

#include <cstdint>
#include <string>
#include <vector>

std::u16string FileListText(const std::vector<std::u16string>& names);
std::u16string OverallProgressText(int current, int total);
// The status label's text while a file is fetched, "다운로드 중: name (42%)".
std::u16string DownloadStatusText(const std::u16string& name, uint64_t percentage);

#endif  // UI_PROGRESS_TEXTS_H_
