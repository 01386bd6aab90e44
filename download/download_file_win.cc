#include "download/download_file.h"

#include <windows.h>

#include <urlmon.h>
#include <wininet.h>

#include "base/scoped_win.h"
#include "base/sha256.h"
#include "base/staging_path.h"
#include "base/url_cache_win.h"
#include "base/wide_string_win.h"
#include "download/download_callback_win.h"
#include "download/download_response.h"
#include "download/file_replacement.h"
#include "download/url_encode.h"

namespace {

constexpr char16_t kPathSeparators[] = u"\\/";

DWORD AttributesOf(const std::u16string& path) { return GetFileAttributesW(AsWide(path)); }

bool IsFolder(const std::u16string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The file a transfer is stored in before it replaces its target: the
// target's staging path. A leftover of a run that was killed is removed
// first; the file is deleted again unless it is moved over its target, so a
// failed or cut-off download never touches the installed file and leaves
// nothing behind. An aside copy made on the way is noted in the journal of
// journalFolder.
class PartialDownload {
 public:
  PartialDownload(const std::u16string& target, const std::u16string& journalFolder)
      : path_(StagingPathFor(target)), journalFolder_(journalFolder) {
    Remove();
  }
  PartialDownload(const PartialDownload&) = delete;
  PartialDownload& operator=(const PartialDownload&) = delete;
  ~PartialDownload() {
    if (!path_.empty()) Remove();
  }

  const std::u16string& path() const { return path_; }

  // False when the size cannot be read.
  bool GetSize(uint64_t* size) const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(AsWide(path_), GetFileExInfoStandard, &data)) return false;
    *size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    return true;
  }

  // Replaces target with this file, its data on the disk first; afterwards
  // there is nothing left to delete.
  bool MoveOver(const std::u16string& target) {
    if (!PutStagedInPlace(path_, target, journalFolder_)) return false;
    path_.clear();
    return true;
  }

 private:
  void Remove() const { DeleteFileW(AsWide(path_)); }

  std::u16string path_;
  const std::u16string journalFolder_;
};

HRESULT RunTransfer(const std::u16string& encodedUrl, const std::u16string& path,
                    const std::u16string& displayName, const ProgressDisplay& showProgress,
                    DownloadResponse* response) {
  // References the platform takes are its own; the object goes with the last
  // one, normally when this function releases the first.
  ScopedComPtr<IBindStatusCallback> callback;
  *callback.Receive() = NewDownloadCallback(displayName, showProgress, path, response);
  return URLDownloadToFileW(nullptr, AsWide(encodedUrl), AsWide(path), 0, callback.Get());
}

// Runs the transfer into file; true when the platform reported it done and
// the answer was the whole body of an HTTP success.
bool TransferInto(const std::u16string& encodedUrl, const PartialDownload& file,
                  const std::u16string& displayName, const ProgressDisplay& showProgress,
                  DownloadResponse* response) {
  const HRESULT result = RunTransfer(encodedUrl, file.path(), displayName, showProgress, response);
  if (result != S_OK) return false;
  uint64_t storedSize = 0;
  return file.GetSize(&storedSize) && IsWholeSuccessfulBody(*response, storedSize);
}

// True when no digest is expected or the stored body has the expected one.
// A stale copy on a proxy and a body cut short without a length both end
// here.
bool HasDigest(const PartialDownload& file, const std::string& expectedDigest) {
  return expectedDigest.empty() || Sha256OfFile(file.path()) == expectedDigest;
}

// Moves file over target. A read-only target is made writable for that and
// stays so; its other attributes pass to the new file. A failed move leaves
// the target as it was.
bool ReplaceTarget(PartialDownload& file, const std::u16string& target) {
  const DWORD attributes = AttributesOf(target);
  if (attributes == INVALID_FILE_ATTRIBUTES) return file.MoveOver(target);
  const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
  if (writable != attributes) SetFileAttributesW(AsWide(target), writable);
  if (!file.MoveOver(target)) {
    if (writable != attributes) SetFileAttributesW(AsWide(target), attributes);
    return false;
  }
  SetFileAttributesW(AsWide(target), writable);
  return true;
}

}  // namespace

bool DownloadFile(const DownloadRequest& request, const ProgressDisplay& showProgress,
                  const std::u16string& journalFolder) {
  const std::u16string& localPath = request.localPath;
  const size_t separator = localPath.find_last_of(kPathSeparators);
  if (separator != std::u16string::npos) {
    // CreateDirectories accepts a file of the folder's name, but nothing can
    // be stored below a file: such a target fails before any request.
    const std::u16string folder = localPath.substr(0, separator);
    if (!CreateDirectories(folder) || !IsFolder(folder)) return false;
  }
  if (IsFolder(localPath)) return false;

  PartialDownload download(localPath, journalFolder);
  const std::u16string encodedUrl = UrlEncode(request.url);
  // A copy in the internet cache would answer instead of the server.
  DeleteUrlCacheEntryW(AsWide(encodedUrl));
  DownloadResponse response;
  const bool transferred =
      TransferInto(encodedUrl, download, request.displayName, showProgress, &response);
  // The platform keeps a second full copy of the body in its cache until the
  // entry is deleted; the launcher never reads it again.
  DropCachedCopy(encodedUrl, response.cacheFile);
  return transferred && HasDigest(download, request.expectedDigest) &&
         ReplaceTarget(download, localPath);
}

bool CreateDirectories(const std::u16string& path) {
  if (path.empty()) return false;
  if (AttributesOf(path) != INVALID_FILE_ATTRIBUTES) return true;
  const size_t separator = path.find_last_of(kPathSeparators);
  if (separator != std::u16string::npos && separator != 0 &&
      !CreateDirectories(path.substr(0, separator))) {
    return false;
  }
  return CreateDirectoryW(AsWide(path), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}
