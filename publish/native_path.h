// The one step between the publisher's UTF-16 paths and the host's own:
// wide paths on Windows, UTF-8 bytes elsewhere; and what the publisher must
// ask of the host by its own calls: a file created for its owner alone, links,
// file identity and permission bits.
#ifndef PUBLISH_NATIVE_PATH_H_
#define PUBLISH_NATIVE_PATH_H_

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "publish/file_system.h"

std::filesystem::path ToNativePath(const std::u16string& path);

// Empty when the host's name is not text (bytes that are not UTF-8).
std::optional<std::u16string> FromNativePath(const std::filesystem::path& path);

// Creates the file only when nothing is at path (never following or
// replacing what is there), readable and writable by its owner alone on
// POSIX hosts; on Windows it takes its folder's inherited permissions.
bool WriteNewOwnerOnlyFile(const std::filesystem::path& path, const std::string& bytes);

// True when the path itself (not what it leads to) is a symbolic link, a
// junction or another reparse point.
bool IsLinkOrReparsePoint(const std::filesystem::path& path);

// The volume and the file's number on it, following links: two paths with
// the same identity name one file, however spelled or hard-linked. Nothing
// when the file cannot be opened.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

// The path with every link and junction in its existing part resolved and
// its spelling as the file system holds it (letter case, 8.3 names on
// Windows); the missing rest kept as given.
std::filesystem::path ResolvedPath(const std::filesystem::path& path);

// A file held open for reading; each read goes on where the last one ended.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // How many bytes were read into `into`, 0 at the end; nothing on failure.
  virtual std::optional<size_t> ReadSome(char* into, size_t size) = 0;
  virtual bool Rewind() = 0;
};

// Why a release entry is refused, as the listing and the reading say it.
inline constexpr char kLinkProblem[] =
    "a symbolic link, junction or other reparse point; the release must hold only files and "
    "folders";
inline constexpr char kNotAFileProblem[] = "not a readable file";

struct HeldFile {
  std::unique_ptr<ReadableFile> file;  // nothing when `problem` says why
  FileIdentity identity;
  std::string problem;
};

// Opens the regular file that `parts` name below `folder` without following
// a link, junction or other reparse point at or below it: every folder on
// the way is opened without following one either (and so is the file), so a
// link put in place of a part after it was checked is refused, not followed.
// On Windows the file is shared with readers only, keeping writers out while
// it is read.
HeldFile OpenRegularFileBelow(const std::filesystem::path& folder,
                              const std::vector<std::filesystem::path>& parts);

// True when the POSIX permission bits let group or others read or write the
// file; false on Windows, whose files carry no such bits.
bool OthersMayAccess(const std::filesystem::path& path);

#endif  // PUBLISH_NATIVE_PATH_H_
