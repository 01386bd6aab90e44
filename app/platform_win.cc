#include "app/platform_win.h"

#include <shellapi.h>

#include "base/scoped_win.h"
#include "base/url_cache_win.h"
#include "base/message_pump_win.h"
#include "base/wide_string_win.h"
#include "download/download_file.h"
#include "download/file_replacement.h"
#include "lists/block_index.h"
#include "lists/server_list.h"
#include "lists/text_file.h"
#include "process/process_control_win.h"
#include "shell/desktop_shortcut.h"
#include "ui/progress_window_win.h"

namespace {

constexpr DWORD kReadPieceSize = 1 << 20;

}  // namespace

bool WindowsPlatform::PathExists(const std::u16string& path) {
  return GetFileAttributesW(AsWide(path)) != INVALID_FILE_ATTRIBUTES;
}

bool WindowsPlatform::MakeDirectory(const std::u16string& path) {
  return CreateDirectoryW(AsWide(path), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::optional<uint64_t> WindowsPlatform::FileSize(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (!GetFileAttributesExW(AsWide(path), GetFileExInfoStandard, &attributes) ||
      (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return (uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
}

bool WindowsPlatform::ReadFileInPieces(const std::u16string& path,
                                       const std::function<void(std::string_view)>& onPiece) {
  // Others may read the file meanwhile, but not change it.
  ScopedHandle file(CreateFileW(AsWide(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.IsValid()) return false;
  std::string piece(kReadPieceSize, '\0');
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), piece.data(), kReadPieceSize, &read, nullptr)) return false;
    if (read == 0) return true;
    onPiece(std::string_view(piece.data(), read));
    PumpWaitingMessages();
  }
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

std::string WindowsPlatform::FetchBlockIndex(const std::u16string& url) {
  std::string index = ::FetchServerList(url, kMaxBlockIndexBytes);
  DropCachedCopy(url, std::u16string());
  return index;
}

void WindowsPlatform::SettleAsideCopies(const std::u16string& folder,
                                        const std::vector<std::u16string>& recordedTargets) {
  ::SettleAsideCopies(folder, recordedTargets);
}

void WindowsPlatform::SettlePartialDownloads(const std::u16string& folder,
                                             const std::map<std::u16string, std::string>& wanted) {
  ::SettlePartialDownloads(folder, wanted);
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
