// The narrow interface through which the update run and the update pass reach
// Windows. The launcher implements it with Win32 calls (platform_win.cc); the
// unit tests replace it with a fake that records every call.
#ifndef APP_PLATFORM_H_
#define APP_PLATFORM_H_

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "download/download_request.h"
#include "lists/text_file.h"

// MessageBoxW icon flags; every box has the OK button only and no owner.
enum class MessageIcon : unsigned {
  kError = 0x10,
  kWarning = 0x30,
  kInformation = 0x40,
};

class Platform {
 public:
  virtual ~Platform() = default;

  // File system. PathExists is true for a file or a directory.
  [[nodiscard]] virtual bool PathExists(const std::u16string& path) = 0;
  // Creates one directory whose parent exists; true when it was created or
  // already existed.
  [[nodiscard]] virtual bool MakeDirectory(const std::u16string& path) = 0;
  // Whole-file bytes; empty when missing, unreadable or empty.
  virtual std::string ReadTextFile(const std::u16string& path) = 0;
  // Replaces the file with exactly these bytes; failures go unnoticed.
  virtual void WriteTextFile(const std::u16string& path, const std::string& text) = 0;
  // Settles the aside copies that earlier runs left below folder: puts back
  // an old file a stopped run left renamed aside and deletes the copies
  // nothing holds any more. recordedTargets, the full paths of the files
  // the record names, are the only targets whose copies from launchers
  // without a journal are deleted.
  virtual void SettleAsideCopies(const std::u16string& folder,
                                 const std::vector<std::u16string>& recordedTargets) = 0;
  // Drops the bytes that cut downloads left below folder, except those of a
  // target (full path) that wanted names at the same release: only they can
  // be resumed.
  virtual void SettlePartialDownloads(const std::u16string& folder,
                                      const std::map<std::u16string, std::string>& wanted) = 0;
  // A small file of the launcher's own, at most maxBytes, read whole or
  // reported missing or unreadable.
  virtual KeptFileRead ReadKeptFile(const std::u16string& path, size_t maxBytes) = 0;
  // Nothing when the file is missing, a directory or cannot be asked.
  virtual std::optional<uint64_t> FileSize(const std::u16string& path) = 0;
  // Hands the file's bytes to onPiece in order, a piece at a time, and lets
  // the window answer between pieces: a large file takes seconds. True when
  // the file was read to its end.
  [[nodiscard]] virtual bool ReadFileInPieces(
      const std::u16string& path, const std::function<void(std::string_view)>& onPiece) = 0;
  // Writes the bytes beside path, flushes them and moves them over path in
  // one step; true when they are in place.
  [[nodiscard]] virtual bool ReplaceFileDurably(const std::u16string& path,
                                                const std::string& text) = 0;

  // Network. An empty list means that none was obtained, or that its body
  // passed sizeLimit bytes.
  [[nodiscard]] virtual std::string FetchServerList(const std::u16string& url,
                                                    uint64_t sizeLimit) = 0;
  // The block index at url, read once: no copy of it stays in the platform's
  // cache. Empty when none was obtained or it passed kMaxBlockIndexBytes.
  [[nodiscard]] virtual std::string FetchBlockIndex(const std::u16string& url) = 0;
  [[nodiscard]] virtual bool DownloadFile(const DownloadRequest& request) = 0;

  // Processes: terminates running copies of the named executables and waits
  // for them; false when one is still running.
  [[nodiscard]] virtual bool CloseRunningApplications(
      const std::vector<std::u16string>& names) = 0;

  // User interface.
  virtual void ShowMessage(const std::u16string& text, const std::u16string& caption,
                           MessageIcon icon) = 0;
  virtual void CreateProgressWindow() = 0;
  virtual void SetFileListText(const std::vector<std::u16string>& names) = 0;
  virtual void SetOverallProgressText(int current, int total) = 0;
  virtual void ResetProgressBar() = 0;
  virtual void DestroyProgressWindow() = 0;

  // Shell.
  virtual void CreateDesktopShortcut(const std::u16string& target,
                                     const std::u16string& workingDirectory,
                                     const std::u16string& iconPath) = 0;
  // Starts a program with the "open" verb; the result is not examined.
  virtual void StartProgram(const std::u16string& file, const std::u16string& parameters,
                            const std::u16string& directory) = 0;
};

#endif  // APP_PLATFORM_H_
