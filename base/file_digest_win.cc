// Sha256OfFile on Windows: the file is read through one handle in pieces.
#include <windows.h>

#include "base/scoped_win.h"
#include "base/sha256.h"
#include "base/wide_string_win.h"

namespace {

constexpr DWORD kPieceSize = 1 << 20;

}  // namespace

std::string Sha256OfFile(const std::u16string& path,
                         const std::function<void()>& betweenPieces) {
  // Others may read the file meanwhile, but not change it.
  ScopedHandle file(CreateFileW(AsWide(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.IsValid()) return std::string();
  Sha256Hasher hasher;
  std::string piece(kPieceSize, '\0');
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), piece.data(), kPieceSize, &read, nullptr)) return std::string();
    if (read == 0) break;
    if (!hasher.Add(std::string_view(piece.data(), read))) return std::string();
    if (betweenPieces) betweenPieces();
  }
  return hasher.Finish();
}
