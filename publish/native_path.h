// The one step between the publisher's UTF-16 paths and the host's own:
// wide paths on Windows, UTF-8 bytes elsewhere; and what the publisher must
// ask of the host by its own calls: a file created for its owner alone, links,
// file identity and permission bits.
#ifndef PUBLISH_NATIVE_PATH_H_
#define PUBLISH_NATIVE_PATH_H_

#include <filesystem>
#include <optional>
#include <string>

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

// True when the POSIX permission bits let group or others read or write the
// file; false on Windows, whose files carry no such bits.
bool OthersMayAccess(const std::filesystem::path& path);

#endif  // PUBLISH_NATIVE_PATH_H_
