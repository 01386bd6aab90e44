#include <windows.h>

#include "base/scoped_win.h"
#include "base/staging_path.h"
#include "base/whole_file.h"
#include "base/wide_string_win.h"
#include "download/file_replacement.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class WindowsReplacementFiles : public ReplacementFiles {
 public:
  explicit WindowsReplacementFiles(const std::u16string& folder)
      : folder_(folder) {}

  bool IsFile(const std::u16string& path) override {
    const DWORD attributes = GetFileAttributesW(AsWide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  // A handle that may write is what FlushFileBuffers needs; nothing is
  // written through it.
  bool Flush(const std::u16string& path) override {
    ScopedHandle file(CreateFileW(AsWide(path), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsValid() && FlushFileBuffers(file.Get());
  }

  bool Move(const std::u16string& from, const std::u16string& to, bool replacing) override {
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replacing ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExW(AsWide(from), AsWide(to), flags);
  }

  bool Delete(const std::u16string& path) override { return DeleteFileW(AsWide(path)); }

  std::optional<std::string> ReadJournal() override { return ReadOwnedFilesJournal(folder_); }

  bool WriteJournal(const std::string& text) override {
    return WriteOwnedFilesJournal(folder_, text);
  }

 private:
  std::u16string folder_;
};

std::u16string JournalPathOf(const std::u16string& folder) {
  return folder + u"\\" + std::u16string(kOwnedFilesName);
}

}  // namespace

// The launcher never writes an empty journal, so an empty file is a damaged
// one.
std::optional<std::string> ReadOwnedFilesJournal(const std::u16string& folder) {
  WholeFile journal = ReadWholeFile(JournalPathOf(folder));
  if (journal.status == WholeFile::Status::kMissing) return std::string();
  if (journal.status != WholeFile::Status::kRead || journal.bytes.empty()) return std::nullopt;
  return std::move(journal.bytes);
}

bool WriteOwnedFilesJournal(const std::u16string& folder, const std::string& text) {
  if (!text.empty()) return ReplaceWholeFile(JournalPathOf(folder), text);
  return DeleteFileW(AsWide(JournalPathOf(folder))) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool PutStagedInPlace(const std::u16string& staged, const std::u16string& target,
                      const std::u16string& folder) {
  WindowsReplacementFiles files(folder);
  return ReplaceWithStaged(files, folder, staged, target, AsidePathFor(target));
}

void SettleAsideCopies(const std::u16string& folder,
                       const std::vector<std::u16string>& recordedTargets) {
  WindowsReplacementFiles files(folder);
  std::vector<AsideCopy> copies;
  copies.reserve(recordedTargets.size());
  for (const std::u16string& target : recordedTargets) {
    copies.push_back({AsidePathFor(target), target});
  }
  SettleAsideCopies(files, folder, copies);
}
