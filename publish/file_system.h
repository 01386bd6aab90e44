// What the publisher needs from the file system. Paths are UTF-16 with "/"
// between parts (Windows takes it as well); DiskFileSystem is the real one,
// tests may put failures in its place.
#ifndef PUBLISH_FILE_SYSTEM_H_
#define PUBLISH_FILE_SYSTEM_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct FoundFile {
  std::u16string name;  // relative to the listed folder, "/" between parts
  uint64_t size = 0;
};

enum class PathKind { kMissing, kFile, kFolder, kOther };

struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
};

struct FileRead {
  std::string digest;   // SHA-256 of the bytes read; empty when reading failed
  bool copied = false;  // every byte read was written to the copy
  // The block index of the bytes read (lists/block_index.h) when one was
  // asked for; empty when they did not add up to the size it was asked for.
  std::string blockIndex;
};

// A release file held open through a handle that followed no link.
class OpenedFile {
 public:
  virtual ~OpenedFile() = default;
  virtual FileIdentity Identity() const = 0;
  // Reads the file from its start, with a copy written to `copyTo` (its
  // folders made) from the very bytes that are hashed; with indexSize, also
  // builds the block index of a file of that size in the same pass.
  virtual FileRead Read(const std::optional<std::u16string>& copyTo,
                        std::optional<uint64_t> indexSize) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual PathKind KindOf(const std::u16string& path) = 0;
  // Every file below folder, ordered by name. Each entry that cannot be
  // published (unreadable, a name that is not text, neither file nor folder,
  // a symbolic link, junction or other reparse point, which is not followed)
  // adds one line to problems instead.
  virtual std::vector<FoundFile> ListFiles(const std::u16string& folder,
                                           std::vector<std::string>& problems) = 0;
  // The regular file `name` ("/" between parts) below folder, opened once
  // for every read of it, following no link at or below folder (a link put
  // in after the listing is refused, not followed); nothing, with a problem
  // to show after its path, when it cannot be.
  virtual std::unique_ptr<OpenedFile> OpenReleaseFile(const std::u16string& folder,
                                                      const std::u16string& name,
                                                      std::string& problem) = 0;
  // True when one path is the other or lies inside it, by their spelling or
  // by the identity of the folders that hold them (so another letter case,
  // 8.3 name, link or bind mount of a folder does not hide it).
  virtual bool Overlap(const std::u16string& a, const std::u16string& b) = 0;
  virtual bool SameFolder(const std::u16string& a, const std::u16string& b) = 0;

  // Empty when the file cannot be read.
  virtual std::optional<std::string> ReadFile(const std::u16string& path) = 0;
  // The file's SHA-256 (32 bytes); empty when it cannot be read.
  virtual std::string DigestOf(const std::u16string& path) = 0;
  // Which file the path names, following links; nothing when it cannot be
  // opened.
  virtual std::optional<FileIdentity> IdentityOf(const std::u16string& path) = 0;
  // True when group or others may read or write the file (POSIX hosts).
  virtual bool OthersMayAccess(const std::u16string& path) = 0;

  // These create the folders the target needs and report failure as false.
  virtual bool CopyFile(const std::u16string& from, const std::u16string& to) = 0;
  virtual bool WriteFile(const std::u16string& path, const std::string& bytes) = 0;
  // Creates a file that did not exist, readable only by its owner where the
  // host has such permissions; false when the path is taken.
  virtual bool WriteNewPrivateFile(const std::u16string& path, const std::string& bytes) = 0;
  // Replaces a file at `to` in one step; moves a folder only to a free place.
  virtual bool Move(const std::u16string& from, const std::u16string& to) = 0;
  virtual bool RemoveAll(const std::u16string& path) = 0;

  // Writes the gzip form of `from` to `to` (publish/gzip_body.h); its size,
  // nothing when it could not be written.
  virtual std::optional<uint64_t> WriteGzipOf(const std::u16string& from,
                                              const std::u16string& to) = 0;
  // True when the .gz at `gz` decodes to exactly the bytes of `plain`.
  virtual bool GzipFits(const std::u16string& gz, const std::u16string& plain) = 0;
};

class DiskFileSystem : public FileSystem {
 public:
  PathKind KindOf(const std::u16string& path) override;
  std::vector<FoundFile> ListFiles(const std::u16string& folder,
                                   std::vector<std::string>& problems) override;
  std::unique_ptr<OpenedFile> OpenReleaseFile(const std::u16string& folder,
                                              const std::u16string& name,
                                              std::string& problem) override;
  bool Overlap(const std::u16string& a, const std::u16string& b) override;
  bool SameFolder(const std::u16string& a, const std::u16string& b) override;
  std::optional<std::string> ReadFile(const std::u16string& path) override;
  std::string DigestOf(const std::u16string& path) override;
  std::optional<FileIdentity> IdentityOf(const std::u16string& path) override;
  bool OthersMayAccess(const std::u16string& path) override;
  bool CopyFile(const std::u16string& from, const std::u16string& to) override;
  bool WriteFile(const std::u16string& path, const std::string& bytes) override;
  bool WriteNewPrivateFile(const std::u16string& path, const std::string& bytes) override;
  bool Move(const std::u16string& from, const std::u16string& to) override;
  bool RemoveAll(const std::u16string& path) override;
  std::optional<uint64_t> WriteGzipOf(const std::u16string& from,
                                      const std::u16string& to) override;
  bool GzipFits(const std::u16string& gz, const std::u16string& plain) override;
};

#endif  // PUBLISH_FILE_SYSTEM_H_
