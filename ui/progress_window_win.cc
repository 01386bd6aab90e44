#include "ui/progress_window_win.h"

#include <commctrl.h>

#include "base/wide_string_win.h"
#include "ui/progress_texts.h"

namespace {

// The process-wide handles of the one progress window.
struct ProgressWindow {
  static HWND window;
  static HWND progressBar;
  static HWND statusLabel;
};
HWND ProgressWindow::window = nullptr;
HWND ProgressWindow::progressBar = nullptr;
HWND ProgressWindow::statusLabel = nullptr;

constexpr wchar_t kClassName[] = L"DownloadProgressClass";
constexpr int kWindowWidth = 500;
constexpr int kWindowHeight = 250;

// The window has no procedure of its own: it only shows, and closing it goes
// through the default procedure without stopping the update.
void RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassW(&windowClass);
}

HWND CreateTopLevelWindow(HINSTANCE instance) {
  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
  return CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClassName,
                         AsWide(kProgressWindowTitle),
                         WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y, kWindowWidth, kWindowHeight,
                         nullptr, nullptr, instance, nullptr);
}

// Every control spans the same column of the client area.
HWND CreateControl(HWND parent, HINSTANCE instance, const wchar_t* className,
                   const wchar_t* text, DWORD extraStyles, int y, int height, int id) {
  return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | extraStyles, 20, y, 460,
                         height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         instance, nullptr);
}

void SetLabelText(int id, const std::u16string& text) {
  if (ProgressWindow::window == nullptr) return;
  const HWND label = GetDlgItem(ProgressWindow::window, id);
  if (label != nullptr) SetWindowTextW(label, AsWide(text));
}

}  // namespace

bool CreateProgressWindow(HINSTANCE instance) {
  RegisterWindowClass(instance);
  const HWND window = CreateTopLevelWindow(instance);
  ProgressWindow::window = window;
  if (window == nullptr) return false;

  CreateControl(window, instance, L"STATIC", AsWide(kFileListHeading), 0, 20, 20, 0);
  // Tall enough for four lines of the system font (three names and the count
  // of the rest, 16 pixels each) inside the sunken edge; 60 cut off the fourth.
  CreateControl(window, instance, L"STATIC", L"", SS_SUNKEN, 45, 70, IDC_FILE_LIST);
  ProgressWindow::statusLabel =
      CreateControl(window, instance, L"STATIC", AsWide(kPreparingStatus), 0, 120, 20, 0);
  ProgressWindow::progressBar = CreateControl(window, instance, L"msctls_progress32", nullptr, 0, 145, 25, 0);
  SendMessageW(ProgressWindow::progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  CreateControl(window, instance, L"STATIC", L"", SS_CENTER, 180, 20, IDC_OVERALL_PROGRESS);

  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  return true;
}

// The controls go with their window, so no handle of it outlives the call.
void DestroyProgressWindow() {
  if (ProgressWindow::window == nullptr) return;
  DestroyWindow(ProgressWindow::window);
  ProgressWindow::window = nullptr;
  ProgressWindow::progressBar = nullptr;
  ProgressWindow::statusLabel = nullptr;
}

void SetFileListText(const std::vector<std::u16string>& names) {
  SetLabelText(IDC_FILE_LIST, FileListText(names));
}

void SetOverallProgressText(int current, int total) {
  SetLabelText(IDC_OVERALL_PROGRESS, OverallProgressText(current, total));
}

void ResetProgressBar() { SendMessageW(ProgressWindow::progressBar, PBM_SETPOS, 0, 0); }

bool ShowDownloadProgress(const std::u16string& name, uint64_t percentage) {
  if (ProgressWindow::progressBar == nullptr) return false;
  SendMessageW(ProgressWindow::progressBar, PBM_SETPOS, static_cast<WPARAM>(percentage), 0);
  if (ProgressWindow::statusLabel != nullptr) {
    SetWindowTextW(ProgressWindow::statusLabel, AsWide(DownloadStatusText(name, percentage)));
  }
  return true;
}
