#include "lists/text_file.h"

#include <windows.h>

#include <algorithm>

#include "app/scoped_win.h"
#include "app/wide_string_win.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kReadChunk = 64 * 1024;
constexpr size_t kWriteChunk = 1024 * 1024;

// The new text is staged next to the target under a name that only the
// launcher uses: "<target>.<process id>.crv3launcher.tmp" (for example
// "local_list.txt.1234.crv3launcher.tmp"). The process id keeps two launchers
// apart; a leftover from a crashed run is simply overwritten by a later run
// that gets the same id.
std::u16string StagingPathFor(const std::u16string& path) {
  const std::string processId = std::to_string(GetCurrentProcessId());
  return path + u"." + std::u16string(processId.begin(), processId.end()) + u".crv3launcher.tmp";
}

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
// so it can be moved at once.
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
// after a crash or power loss. The text is written and flushed to a staging
// file first and then moved over the target in one step, so the target holds
// either its old bytes or all of the new ones.
void WriteTextFile(const std::u16string& path, const std::string& text) {
  const std::u16string staging = StagingPathFor(path);
  if (WriteDurably(staging, text) &&
      MoveFileExW(AsWide(staging), AsWide(path),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return;
  }
  DeleteFileW(AsWide(staging));
}
