// The texts of the progress window's labels.
#ifndef UI_PROGRESS_TEXTS_H_
#define UI_PROGRESS_TEXTS_H_

#include <string>
#include <vector>

std::u16string FileListText(const std::vector<std::u16string>& names);
std::u16string OverallProgressText(int current, int total);

#endif  // UI_PROGRESS_TEXTS_H_
