// The one step between the publisher's UTF-16 paths and the host's own:
// wide paths on Windows, UTF-8 bytes elsewhere; and the one file the host
// must create by its own calls.
#ifndef PUBLISH_NATIVE_PATH_H_
#define PUBLISH_NATIVE_PATH_H_

#include <filesystem>
#include <optional>
#include <string>

std::filesystem::path ToNativePath(const std::u16string& path);

// Empty when the host's name is not text (bytes that are not UTF-8).
std::optional<std::u16string> FromNativePath(const std::filesystem::path& path);

// Creates the file only when nothing is at path (never following or
// replacing what is there), readable and writable by its owner alone on
// POSIX hosts; on Windows it takes its folder's inherited permissions.
bool WriteNewOwnerOnlyFile(const std::filesystem::path& path, const std::string& bytes);

#endif  // PUBLISH_NATIVE_PATH_H_
