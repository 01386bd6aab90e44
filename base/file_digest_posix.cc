// Sha256OfFile for native builds: the file is read through one stream in
// pieces.
#include <cstdio>
#include <memory>

#include "base/sha256.h"

namespace {

constexpr size_t kPieceSize = 1 << 20;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::string Sha256OfFile(const std::string& path,
                         const std::function<void()>& betweenPieces) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::string();
  Sha256Hasher hasher;
  std::string piece(kPieceSize, '\0');
  for (;;) {
    const size_t read = std::fread(piece.data(), 1, kPieceSize, file.get());
    if (read > 0 && !hasher.Add(std::string_view(piece.data(), read))) return std::string();
    if (betweenPieces) betweenPieces();
    if (read < kPieceSize) break;
  }
  if (std::ferror(file.get())) return std::string();
  return hasher.Finish();
}
