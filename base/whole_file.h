// Files read and written whole: the launcher's record and its journal. A
// write reaches the disk under the file's staging name first and then
// replaces the file in one rename, so a kill or a power cut leaves the old
// bytes or all of the new ones, never a mix. Windows only.
#ifndef BASE_WHOLE_FILE_H_
#define BASE_WHOLE_FILE_H_

#include <string>

struct WholeFile {
  enum class Status { kRead, kMissing, kUnreadable };
  Status status = Status::kMissing;
  // Everything read; with kUnreadable, what was read before the error.
  std::string bytes;
};

WholeFile ReadWholeFile(const std::u16string& path);

// True only when the file holds exactly these bytes afterwards; on false it
// keeps its old bytes and no staging file stays.
[[nodiscard]] bool ReplaceWholeFile(const std::u16string& path, const std::string& bytes);

#endif  // BASE_WHOLE_FILE_H_
