#include "app/platform_win.h"

#include <shellapi.h>

#include "base/wide_string_win.h"
#include "download/download_file.h"
#include "download/file_replacement.h"
#include "lists/server_list.h"
#include "lists/text_file.h"
#include "process/process_control_win.h"
#include "shell/desktop_shortcut.h"
#include "ui/progress_window_win.h"

bool WindowsPlatform::PathExists(const std::u16string& path) {
  return GetFileAttributesW(AsWide(path)) != INVALID_FILE_ATTRIBUTES;
}

bool WindowsPlatform::MakeDirectory(const std::u16string& path) {
  return CreateDirectoryW(AsWide(path), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string WindowsPlatform::ReadTextFile(const std::u16string& path) {
  return ::ReadTextFile(path);
}

void WindowsPlatform::WriteTextFile(const std::u16string& path, const std::string& text) {
  ::WriteTextFile(path, text);
}

KeptFileRead WindowsPlatform::ReadKeptFile(const std::u16string& path, size_t maxBytes) {
  return ::ReadKeptFile(path, maxBytes);
}

bool WindowsPlatform::ReplaceFileDurably(const std::u16string& path, const std::string& text) {
  return ::ReplaceFileDurably(path, text);
}

std::string WindowsPlatform::FetchServerList(const std::u16string& url, uint64_t sizeLimit) {
  return ::FetchServerList(url, sizeLimit);
}

void WindowsPlatform::SettleAsideCopies(const std::u16string& folder,
                                        const std::vector<std::u16string>& recordedTargets) {
  ::SettleAsideCopies(folder, recordedTargets);
}

bool WindowsPlatform::DownloadFile(const DownloadRequest& request) {
  return ::DownloadFile(request, ShowDownloadProgress, applicationDirectory_);
}

bool WindowsPlatform::CloseRunningApplications(const std::vector<std::u16string>& names) {
  WindowsProcessControl processes;
  return ::CloseRunningApplications(names, processes);
}

void WindowsPlatform::ShowMessage(const std::u16string& text, const std::u16string& caption,
                                  MessageIcon icon) {
  MessageBoxW(nullptr, AsWide(text), AsWide(caption), MB_OK | static_cast<UINT>(icon));
}

void WindowsPlatform::CreateProgressWindow() { ::CreateProgressWindow(instance_); }

void WindowsPlatform::SetFileListText(const std::vector<std::u16string>& names) {
  ::SetFileListText(names);
}

void WindowsPlatform::SetOverallProgressText(int current, int total) {
  ::SetOverallProgressText(current, total);
}

void WindowsPlatform::ResetProgressBar() { ::ResetProgressBar(); }

void WindowsPlatform::DestroyProgressWindow() { ::DestroyProgressWindow(); }

void WindowsPlatform::CreateDesktopShortcut(const std::u16string& target,
                                            const std::u16string& workingDirectory,
                                            const std::u16string& iconPath) {
  ::CreateDesktopShortcut(target, workingDirectory, iconPath);
}

void WindowsPlatform::StartProgram(const std::u16string& file, const std::u16string& parameters,
                                   const std::u16string& directory) {
  ShellExecuteW(nullptr, L"open", AsWide(file), AsWide(parameters), AsWide(directory), SW_SHOW);
}
