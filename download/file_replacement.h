// Putting a finished staging file in place of its target, and settling what a
// run left beside its targets.
//
// A program that runs a file (an executable, a loaded library) keeps Windows
// from replacing or deleting it, but not from renaming it within its folder.
// So when the staging file cannot be moved over its target, the target is
// renamed to its aside path first and the staging file moved in after it; the
// aside copy goes as soon as nothing holds it, at the latest at a later run.
// Each aside copy is noted in the journal of the application directory
// (download/owned_files.h) before it is made, so that only copies the
// launcher made are ever touched, and only a copy whose new file never got
// in is moved back.
#ifndef DOWNLOAD_FILE_REPLACEMENT_H_
#define DOWNLOAD_FILE_REPLACEMENT_H_

#include <optional>
#include <string>
#include <vector>

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
  // The journal's text: empty when there is none, nothing when it exists
  // but cannot be read whole.
  virtual std::optional<std::string> ReadJournal() = 0;
  // Replaces the journal whole, or removes it for an empty text; true when
  // it holds the text afterwards, on the disk.
  [[nodiscard]] virtual bool WriteJournal(const std::string& text) = 0;
};

// Replaces target with the complete file staged, whose data reaches the disk
// before any name points at it; aside is target's aside path, below folder,
// whose journal notes it. True when target holds the staged bytes and the
// journal says so. On false, target keeps its old bytes (or, if a failure
// also kept the old file from moving back, its aside copy holds them until
// the next run settles it; or the new file is in but the journal could not
// say so, and the next run fetches it again) and staged stays for its owner
// to delete.
[[nodiscard]] bool ReplaceWithStaged(ReplacementFiles& files, const std::u16string& folder,
                                     const std::u16string& staged, const std::u16string& target,
                                     const std::u16string& aside);

struct AsideCopy {
  std::u16string path;
  std::u16string target;
};

// Settles what earlier runs left below folder. A copy the journal notes as
// still moving (the run was stopped between its two moves) is moved back
// when its target is missing; every other noted copy is deleted unless a
// program still holds it, and never moved back: a new file that disappears
// later is fetched again. unnotedCopies, the aside paths of the recorded
// files, may hold copies a launcher made before it kept a journal: each is
// deleted when its target exists. A journal that cannot be read or is
// damaged leaves everything as it is.
void SettleAsideCopies(ReplacementFiles& files, const std::u16string& folder,
                       const std::vector<AsideCopy>& unnotedCopies);

// ReplaceWithStaged through Win32 calls, with target's aside path and the
// journal of folder. Windows only.
[[nodiscard]] bool PutStagedInPlace(const std::u16string& staged, const std::u16string& target,
                                    const std::u16string& folder);

// SettleAsideCopies through Win32 calls, for the recorded files' targets
// below folder. Windows only.
void SettleAsideCopies(const std::u16string& folder,
                       const std::vector<std::u16string>& recordedTargets);

// The journal of folder read and written whole, as ReplacementFiles's
// ReadJournal and WriteJournal do it for the launcher. Windows only.
std::optional<std::string> ReadOwnedFilesJournal(const std::u16string& folder);
[[nodiscard]] bool WriteOwnedFilesJournal(const std::u16string& folder, const std::string& text);

#endif  // DOWNLOAD_FILE_REPLACEMENT_H_
