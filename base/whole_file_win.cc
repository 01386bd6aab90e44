#include "base/whole_file.h"

#include <windows.h>

#include <algorithm>

#include "base/scoped_win.h"
#include "base/staging_path.h"
#include "base/wide_string_win.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kReadChunk = 64 * 1024;
constexpr size_t kWriteChunk = 1024 * 1024;

bool WriteAll(HANDLE file, const std::string& bytes) {
  const char* next = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min(left, kWriteChunk));
    if (!WriteFile(file, next, chunk, &written, nullptr) || written == 0) return false;
    next += written;
    left -= written;
  }
  return true;
}

// True only when every byte reached the disk; the file is closed on return,
// so it can be moved at once. It is opened without sharing, so a second
// launcher writing the same file at the same time cannot move a half written
// one: its open or its move fails, and its write is dropped.
bool WriteDurably(const std::u16string& path, const std::string& bytes) {
  ScopedHandle file(CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid() && WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
}

bool IsMissingFileError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

WholeFile ReadWholeFile(const std::u16string& path) {
  WholeFile whole;
  ScopedHandle file(CreateFileW(AsWide(path), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    whole.status = IsMissingFileError(GetLastError()) ? WholeFile::Status::kMissing
                                                      : WholeFile::Status::kUnreadable;
    return whole;
  }
  std::string chunk(kReadChunk, '\0');
  DWORD read = 0;
  BOOL ok = FALSE;
  while ((ok = ReadFile(file.Get(), chunk.data(), kReadChunk, &read, nullptr)) && read > 0) {
    whole.bytes.append(chunk, 0, read);
  }
  whole.status = ok ? WholeFile::Status::kRead : WholeFile::Status::kUnreadable;
  return whole;
}

// Truncating the file and then writing it would leave it cut off after a
// crash or power loss. A staging file that a killed run left behind is
// simply written over.
bool ReplaceWholeFile(const std::u16string& path, const std::string& bytes) {
  const std::u16string staging = StagingPathFor(path);
  if (WriteDurably(staging, bytes) &&
      MoveFileExW(AsWide(staging), AsWide(path),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileW(AsWide(staging));
  return false;
}
