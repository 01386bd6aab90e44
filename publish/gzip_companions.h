// The .gz a publication writes beside a served file ("<name>.gz"), which
// nginx's gzip_static serves in its place to clients that accept gzip. Each
// one must decode to its file's bytes: a file moved into the served folder
// without a fresh .gz has its old one removed.
#ifndef PUBLISH_GZIP_COMPANIONS_H_
#define PUBLISH_GZIP_COMPANIONS_H_

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "publish/file_system.h"

std::u16string GzipCompanionOf(const std::u16string& servedName);

// The served names of a publication, ASCII case folded, for telling a
// release's own files from the .gz beside another one.
class ServedNames {
 public:
  ServedNames() = default;
  // The names the list text lists, decoded from code page 949.
  static ServedNames OfList(const std::string& listText);
  void Add(const std::u16string& servedName);

  bool Holds(const std::u16string& name) const;
  // True when no served file has this name or lies in a folder of it (then
  // it is free for the .gz of another file).
  bool LeavesFree(const std::u16string& name) const;

 private:
  std::set<std::u16string> folded_;
};

// Writes the gzip form of `from` (size bytes) to `to` when it saves enough
// and leaves nothing at `to` otherwise. Whether it was written; nothing when
// writing failed.
std::optional<bool> StageGzip(const std::u16string& from, uint64_t size, const std::u16string& to,
                              FileSystem& files);

#endif  // PUBLISH_GZIP_COMPANIONS_H_
