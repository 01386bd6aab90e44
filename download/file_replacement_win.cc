#include <windows.h>

#include "base/scoped_win.h"
#include "base/staging_path.h"
#include "base/wide_string_win.h"
#include "download/file_replacement.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr char16_t kLongPathPrefix[] = u"\\\\?\\";

class WindowsReplacementFiles : public ReplacementFiles {
 public:
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
};

bool IsFolderToEnter(const WIN32_FIND_DATAW& entry) {
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  // A link may lead out of the folder, or back into it.
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return false;
  const std::wstring_view name = entry.cFileName;
  return name != L"." && name != L"..";
}

void SettleAsideCopiesBelow(ReplacementFiles& files, const std::u16string& folder) {
  const std::u16string pattern = folder + u"\\*";
  WIN32_FIND_DATAW entry;
  ScopedFindHandle search(FindFirstFileExW(AsWide(pattern), FindExInfoBasic, &entry,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH));
  if (!search.IsValid()) return;
  do {
    const std::u16string path = folder + u"\\" + FromWide(entry.cFileName);
    if (IsFolderToEnter(entry)) {
      SettleAsideCopiesBelow(files, path);
    } else if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsAsidePath(path)) {
      SettleAsideCopy(files, path, path.substr(0, path.size() - kAsideSuffix.size()));
    }
  } while (FindNextFileW(search.Get(), &entry));
}

}  // namespace

bool PutStagedInPlace(const std::u16string& staged, const std::u16string& target) {
  WindowsReplacementFiles files;
  return ReplaceWithStaged(files, staged, target, AsidePathFor(target));
}

void SettleAsideCopies(const std::u16string& folder) {
  WindowsReplacementFiles files;
  // Paths below the folder may be longer than the plain form allows.
  const bool isLong = folder.compare(0, 4, kLongPathPrefix) == 0;
  SettleAsideCopiesBelow(files, isLong ? folder : kLongPathPrefix + folder);
}
