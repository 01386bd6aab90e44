#ifndef APP_PLATFORM_WIN_H_
#define APP_PLATFORM_WIN_H_

#include <windows.h>

#include <utility>

#include "app/platform.h"

// Platform on Win32: each operation is one subsystem's Windows call.
class WindowsPlatform final : public Platform {
 public:
  // applicationDirectory: where the journal of aside copies lives.
  WindowsPlatform(HINSTANCE instance, std::u16string applicationDirectory)
      : instance_(instance), applicationDirectory_(std::move(applicationDirectory)) {}

  bool PathExists(const std::u16string& path) override;
  bool MakeDirectory(const std::u16string& path) override;
  std::string ReadTextFile(const std::u16string& path) override;
  void WriteTextFile(const std::u16string& path, const std::string& text) override;
  KeptFileRead ReadKeptFile(const std::u16string& path, size_t maxBytes) override;
  bool ReplaceFileDurably(const std::u16string& path, const std::string& text) override;
  std::optional<uint64_t> FileSize(const std::u16string& path) override;
  bool ReadFileInPieces(const std::u16string& path,
                        const std::function<void(std::string_view)>& onPiece) override;
  void SettleAsideCopies(const std::u16string& folder,
                         const std::vector<std::u16string>& recordedTargets) override;
  void SettlePartialDownloads(const std::u16string& folder,
                              const std::map<std::u16string, std::string>& wanted) override;
  std::string FetchServerList(const std::u16string& url, uint64_t sizeLimit) override;
  std::string FetchBlockIndex(const std::u16string& url) override;
  bool DownloadFile(const DownloadRequest& request) override;
  bool CloseRunningApplications(const std::vector<std::u16string>& names) override;
  void ShowMessage(const std::u16string& text, const std::u16string& caption,
                   MessageIcon icon) override;
  void CreateProgressWindow() override;
  void SetFileListText(const std::vector<std::u16string>& names) override;
  void SetOverallProgressText(int current, int total) override;
  void ResetProgressBar() override;
  void DestroyProgressWindow() override;
  void CreateDesktopShortcut(const std::u16string& target, const std::u16string& workingDirectory,
                             const std::u16string& iconPath) override;
  void StartProgram(const std::u16string& file, const std::u16string& parameters,
                    const std::u16string& directory) override;

 private:
  HINSTANCE instance_;
  const std::u16string applicationDirectory_;
};

#endif  // APP_PLATFORM_WIN_H_
