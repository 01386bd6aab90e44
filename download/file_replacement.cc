#include "download/file_replacement.h"

bool ReplaceWithStaged(ReplacementFiles& files, const std::u16string& staged,
                       const std::u16string& target, const std::u16string& aside) {
  if (!files.Flush(staged)) return false;
  if (files.Move(staged, target, /*replacing=*/true)) return true;
  // An aside copy beside an existing target is a stale one from an earlier
  // run; beside a missing target it holds the only old bytes and must stay.
  if (!files.IsFile(target)) return false;
  files.Delete(aside);
  if (!files.Move(target, aside, /*replacing=*/false)) return false;
  if (!files.Move(staged, target, /*replacing=*/false)) {
    // Should this fail too, the next run moves the aside copy back.
    static_cast<void>(files.Move(aside, target, /*replacing=*/false));
    return false;
  }
  // Fails while a program still runs the old file; the next run removes it.
  files.Delete(aside);
  return true;
}

void SettleAsideCopy(ReplacementFiles& files, const std::u16string& aside,
                     const std::u16string& target) {
  if (files.IsFile(target)) {
    files.Delete(aside);
  } else {
    static_cast<void>(files.Move(aside, target, /*replacing=*/false));
  }
}
