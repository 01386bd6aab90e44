// The always-on-top window that shows the downloads' progress. The window and
// its controls are this file's own: other folders act on them only through
// these functions, each of which does nothing while no window is shown.
#ifndef UI_PROGRESS_WINDOW_WIN_H_
#define UI_PROGRESS_WINDOW_WIN_H_

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr int IDC_FILE_LIST = 1001;
constexpr int IDC_OVERALL_PROGRESS = 1002;

// Creates and shows the window; false when it could not be created.
bool CreateProgressWindow(HINSTANCE instance);
void DestroyProgressWindow();

void SetFileListText(const std::vector<std::u16string>& names);
void SetOverallProgressText(int current, int total);
void ResetProgressBar();
// Moves the bar to percentage and shows it with the file's name in the
// status line; false (and nothing shown) while there is no bar.
[[nodiscard]] bool ShowDownloadProgress(const std::u16string& name, uint64_t percentage);

#endif  // UI_PROGRESS_WINDOW_WIN_H_
