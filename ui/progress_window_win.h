// The always-on-top window that shows the downloads' progress.
#ifndef UI_PROGRESS_WINDOW_WIN_H_
#define UI_PROGRESS_WINDOW_WIN_H_

#include <windows.h>

#include <string>
#include <vector>

constexpr int IDC_FILE_LIST = 1001;
constexpr int IDC_OVERALL_PROGRESS = 1002;

// The process-wide handles: the update pass owns window; the download
// callback reads progressBar and statusLabel.
struct ProgressWindow {
  static HWND window;
  static HWND progressBar;
  static HWND statusLabel;
};

// The shown top-level window, or null; fills progressBar and statusLabel.
HWND CreateProgressWindow(HINSTANCE instance);
void SetFileListText(const std::vector<std::u16string>& names);
void SetOverallProgressText(int current, int total);

#endif  // UI_PROGRESS_WINDOW_WIN_H_
