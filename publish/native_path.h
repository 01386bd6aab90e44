// The one step between the publisher's UTF-16 paths and the host's own:
// wide paths on Windows, UTF-8 bytes elsewhere.
#ifndef PUBLISH_NATIVE_PATH_H_
#define PUBLISH_NATIVE_PATH_H_

#include <filesystem>
#include <optional>
#include <string>

std::filesystem::path ToNativePath(const std::u16string& path);

// Empty when the host's name is not text (bytes that are not UTF-8).
std::optional<std::u16string> FromNativePath(const std::filesystem::path& path);

#endif  // PUBLISH_NATIVE_PATH_H_
