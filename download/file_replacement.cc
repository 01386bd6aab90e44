#include "download/file_replacement.h"

#include <algorithm>

#include "base/ascii_case.h"
#include "base/staging_path.h"
#include "base/utf8.h"
#include "download/owned_files.h"

namespace {

// Writes the journal with aside's entry in state, or without it for an empty
// state; false when the journal cannot be read or written, or aside is not
// below folder. A damaged journal is started afresh: the copies it named
// count as an older launcher's from then on, which are never moved back.
bool NoteAside(ReplacementFiles& files, const std::u16string& folder, const std::u16string& aside,
               std::string_view state) {
  const std::optional<std::u16string> relative = PathBelow(folder, aside);
  const std::optional<std::string> text = files.ReadJournal();
  if (!relative || !text) return false;
  std::vector<OwnedFile> entries = ParseOwnedFiles(*text).value_or(std::vector<OwnedFile>());
  const std::string path = ToUtf8(*relative);
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [&path](const OwnedFile& entry) {
                                 return entry.kind == kAsideKind &&
                                        EqualsIgnoringAsciiCase<char>(entry.rest, path);
                               }),
                entries.end());
  if (!state.empty()) entries.push_back({std::string(kAsideKind), std::string(state), path});
  return files.WriteJournal(FormatOwnedFiles(entries));
}

void ForgetAside(ReplacementFiles& files, const std::u16string& folder,
                 const std::u16string& aside) {
  // Should this fail, the next run drops the entry of a copy that is gone.
  static_cast<void>(NoteAside(files, folder, aside, {}));
}

// True when the entry is done with; false keeps it, maybe in a new state.
bool SettleEntry(ReplacementFiles& files, const std::u16string& folder, OwnedFile& entry) {
  // A later launcher's kind or state: its own to settle.
  if (entry.kind != kAsideKind) return false;
  if (entry.state != kMovingState && entry.state != kInstalledState) return false;
  const std::u16string relative = FromUtf8(entry.rest).value_or(std::u16string());
  const std::u16string aside = FullPathBelow(folder, relative);
  if (!files.IsFile(aside)) return true;
  const std::u16string target =
      FullPathBelow(folder, std::u16string_view(relative).substr(
                                0, relative.size() - kAsideSuffix.size()));
  if (entry.state == kMovingState && !files.IsFile(target)) {
    return files.Move(aside, target, /*replacing=*/false);
  }
  if (files.Delete(aside)) return true;
  // A target beside a moving copy is the new file: the copy is never moved
  // back from now on.
  entry.state = kInstalledState;
  return false;
}

}  // namespace

bool ReplaceWithStaged(ReplacementFiles& files, const std::u16string& folder,
                       const std::u16string& staged, const std::u16string& target,
                       const std::u16string& aside) {
  if (!files.Flush(staged)) return false;
  if (files.Move(staged, target, /*replacing=*/true)) return true;
  // An aside copy beside an existing target is a stale one from an earlier
  // run; beside a missing target it holds the only old bytes and must stay.
  if (!files.IsFile(target)) return false;
  if (!files.Delete(aside) && files.IsFile(aside)) return false;
  if (!NoteAside(files, folder, aside, kMovingState)) return false;
  if (!files.Move(target, aside, /*replacing=*/false)) {
    ForgetAside(files, folder, aside);
    return false;
  }
  if (!files.Move(staged, target, /*replacing=*/false)) {
    // Should this fail too, the next run moves the aside copy back.
    if (files.Move(aside, target, /*replacing=*/false)) ForgetAside(files, folder, aside);
    return false;
  }
  if (files.Delete(aside)) {
    ForgetAside(files, folder, aside);
    return true;
  }
  // Fails while a program still runs the old file; a later run removes it.
  return NoteAside(files, folder, aside, kInstalledState);
}

void SettleAsideCopies(ReplacementFiles& files, const std::u16string& folder,
                       const std::vector<AsideCopy>& unnotedCopies) {
  const std::optional<std::string> text = files.ReadJournal();
  if (!text) return;
  std::optional<std::vector<OwnedFile>> entries = ParseOwnedFiles(*text);
  if (!entries) return;
  std::vector<OwnedFile> kept;
  for (OwnedFile& entry : *entries) {
    if (!SettleEntry(files, folder, entry)) kept.push_back(std::move(entry));
  }
  const std::string settled = FormatOwnedFiles(kept);
  // Should this fail, the next run settles the same entries again.
  if (settled != *text) static_cast<void>(files.WriteJournal(settled));
  for (const AsideCopy& copy : unnotedCopies) {
    if (files.IsFile(copy.path) && files.IsFile(copy.target)) files.Delete(copy.path);
  }
}
