// A Platform that records every call as one line of text and answers from
// tables the test fills in.
#ifndef TESTS_UNIT_FAKE_PLATFORM_H_
#define TESTS_UNIT_FAKE_PLATFORM_H_

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/platform.h"

// UTF-16 to UTF-8, for readable expectations and failure messages.
std::string Utf8(const std::u16string& text);

class FakePlatform : public Platform {
 public:
  // What the fake world holds.
  std::set<std::u16string> existingPaths;
  std::set<std::u16string> creatableDirectories;
  std::map<std::u16string, std::string> files;
  std::set<std::u16string> unreadableFiles;  // there, but every read fails
  std::set<std::u16string> unwritableFiles;  // every replacement fails
  std::map<std::u16string, uint64_t> fileSizes;  // beside files, for large ones
  std::string serverList;
  std::map<std::u16string, std::string> blockIndices;  // by URL
  std::string serverSignature;  // answered for a URL ending in ".sig"
  std::set<std::u16string> failingDownloads;  // by URL
  bool closeResult = true;

  // Every request DownloadFile was given, in order.
  std::vector<DownloadRequest> requests;
  // Everything that was asked, in order, e.g. "ShowMessage(text|caption|16)".
  std::vector<std::string> calls;

  bool PathExists(const std::u16string& path) override;
  bool MakeDirectory(const std::u16string& path) override;
  std::string ReadTextFile(const std::u16string& path) override;
  void WriteTextFile(const std::u16string& path, const std::string& text) override;
  KeptFileRead ReadKeptFile(const std::u16string& path, size_t maxBytes) override;
  bool ReplaceFileDurably(const std::u16string& path, const std::string& text) override;
  std::optional<uint64_t> FileSize(const std::u16string& path) override;
  bool ReadFileInPieces(const std::u16string& path,
                        const std::function<void(std::string_view)>& onPiece) override;
  void SettlePartialDownloads(const std::u16string& folder,
                              const std::map<std::u16string, std::string>& wanted) override;
  void SettleAsideCopies(const std::u16string& folder,
                         const std::vector<std::u16string>& recordedTargets) override;
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

  // Only the calls whose text starts with prefix.
  std::vector<std::string> CallsTo(const std::string& prefix) const;
};

#endif  // TESTS_UNIT_FAKE_PLATFORM_H_
