// Putting a finished staging file in place of its target, and settling what a
// run left beside its targets.
//
// A program that runs a file (an executable, a loaded library) keeps Windows
// from replacing or deleting it, but not from renaming it within its folder.
// So when the staging file cannot be moved over its target, the target is
// renamed to its aside path first and the staging file moved in after it; the
// aside copy goes as soon as nothing holds it, at the latest at the next run.
#ifndef DOWNLOAD_FILE_REPLACEMENT_H_
#define DOWNLOAD_FILE_REPLACEMENT_H_

#include <string>

// The file operations the replacement needs; the launcher's are Win32 calls
// (file_replacement_win.cc), the unit tests' a fake.
class ReplacementFiles {
 public:
  virtual ~ReplacementFiles() = default;

  // True when a file (not a folder) of that name exists.
  [[nodiscard]] virtual bool IsFile(const std::u16string& path) = 0;
  // True once the file's data has reached the disk.
  [[nodiscard]] virtual bool Flush(const std::u16string& path) = 0;
  // Renames from to `to` in one step, replacing a file at `to` when
  // replacing is set and failing when one exists otherwise.
  [[nodiscard]] virtual bool Move(const std::u16string& from, const std::u16string& to,
                                  bool replacing) = 0;
  // False when the file stays, e.g. while a program holds it.
  virtual bool Delete(const std::u16string& path) = 0;
};

// Replaces target with the complete file staged, whose data reaches the disk
// before any name points at it; aside is target's aside path. True when
// target holds the staged bytes. On false, target keeps its old bytes (or,
// if a failure also kept the old file from moving back, its aside copy holds
// them until the next run settles it) and staged stays for its owner to
// delete.
[[nodiscard]] bool ReplaceWithStaged(ReplacementFiles& files, const std::u16string& staged,
                                     const std::u16string& target, const std::u16string& aside);

// What a run left at an aside path: a copy whose target is missing (the run
// was stopped between its two moves) is moved back; one whose target exists
// is deleted, unless a program still holds it.
void SettleAsideCopy(ReplacementFiles& files, const std::u16string& aside,
                     const std::u16string& target);

// ReplaceWithStaged through Win32 calls, with target's aside path. Windows
// only.
[[nodiscard]] bool PutStagedInPlace(const std::u16string& staged, const std::u16string& target);

// Settles every aside copy below folder (subfolders included, links to other
// folders not followed). Windows only.
void SettleAsideCopies(const std::u16string& folder);

#endif  // DOWNLOAD_FILE_REPLACEMENT_H_
