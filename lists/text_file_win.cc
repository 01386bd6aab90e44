#include "lists/text_file.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "base/scoped_win.h"
#include "base/wide_string_win.h"
#include "base/staging_path.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kReadChunk = 64 * 1024;
constexpr size_t kWriteChunk = 1024 * 1024;

bool WriteAll(HANDLE file, const std::string& text) {
  const char* next = text.data();
  size_t left = text.size();
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
// launcher writing the same record at the same time cannot move a half
// written file: its open or its move fails, and its write is dropped.
bool WriteDurably(const std::u16string& path, const std::string& text) {
  ScopedHandle file(CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid() && WriteAll(file.Get(), text) && FlushFileBuffers(file.Get());
}

}  // namespace

std::string ReadTextFile(const std::u16string& path) {
  ScopedHandle file(CreateFileW(AsWide(path), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return std::string();
  // A read error ends the copy; what was read before it is kept.
  std::string text;
  std::string chunk(kReadChunk, '\0');
  DWORD read = 0;
  while (ReadFile(file.Get(), chunk.data(), kReadChunk, &read, nullptr) && read > 0) {
    text.append(chunk, 0, read);
  }
  return text;
}

// Truncating the target and then writing it would leave a cut-off record
// after a crash or power loss. The text is written and flushed to the
// target's staging file first and then moved over the target in one step, so
// the target holds either its old bytes or all of the new ones. A staging
// file that a killed run left behind is simply written over.
bool ReplaceFileDurably(const std::u16string& path, const std::string& text) {
  const std::u16string staging = StagingPathFor(path);
  if (WriteDurably(staging, text) &&
      MoveFileExW(AsWide(staging), AsWide(path),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileW(AsWide(staging));
  return false;
}

void WriteTextFile(const std::u16string& path, const std::string& text) {
  (void)ReplaceFileDurably(path, text);
}

KeptFileRead ReadKeptFile(const std::u16string& path, size_t maxBytes) {
  ScopedHandle file(CreateFileW(AsWide(path), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return {missing ? KeptFileRead::Status::kMissing : KeptFileRead::Status::kUnreadable, {}};
  }
  // One byte more than allowed tells a longer file from one of exactly maxBytes.
  std::string bytes(maxBytes + 1, '\0');
  size_t total = 0;
  DWORD read = 0;
  do {
    const DWORD room = static_cast<DWORD>(std::min(bytes.size() - total, size_t{kReadChunk}));
    if (!ReadFile(file.Get(), bytes.data() + total, room, &read, nullptr)) {
      return {KeptFileRead::Status::kUnreadable, {}};
    }
    total += read;
  } while (read > 0 && total < bytes.size());
  if (total > maxBytes) return {KeptFileRead::Status::kUnreadable, {}};
  bytes.resize(total);
  return {KeptFileRead::Status::kRead, std::move(bytes)};
}
