#include "download/owned_files.h"

#include "base/ascii_case.h"
#include "base/staging_path.h"
#include "base/utf8.h"

namespace {

constexpr std::string_view kFirstLine = "crv3launcher owned files";
constexpr std::string_view kLastLine = "end";
constexpr std::string_view kLineEnd = "\r\n";
constexpr char kFieldSeparator = '|';
constexpr char16_t kFolderSeparator = u'\\';
constexpr std::u16string_view kLongPathPrefix = u"\\\\?\\";

// A component Windows would read as "." or "..", or as a drive or a stream,
// could lead out of the folder.
bool IsPlainComponent(std::u16string_view component) {
  if (component.find_first_not_of(u". ") == std::u16string_view::npos) return false;
  return component.find_first_of(u":/") == std::u16string_view::npos;
}

// A path relative to a folder that stays below it.
bool IsPathBelow(std::u16string_view path) {
  while (true) {
    const size_t end = path.find(kFolderSeparator);
    if (!IsPlainComponent(path.substr(0, end))) return false;
    if (end == std::u16string_view::npos) return true;
    path.remove_prefix(end + 1);
  }
}

bool IsAsidePathBelow(std::string_view utf8Path) {
  const std::optional<std::u16string> path = FromUtf8(utf8Path);
  return path && IsAsidePath(*path) && IsPathBelow(*path);
}

std::optional<OwnedFile> ParseEntry(std::string_view line) {
  const size_t kindEnd = line.find(kFieldSeparator);
  if (kindEnd == 0 || kindEnd == std::string_view::npos) return std::nullopt;
  const size_t stateEnd = line.find(kFieldSeparator, kindEnd + 1);
  if (stateEnd == kindEnd + 1 || stateEnd == std::string_view::npos) return std::nullopt;
  OwnedFile entry{std::string(line.substr(0, kindEnd)),
                  std::string(line.substr(kindEnd + 1, stateEnd - kindEnd - 1)),
                  std::string(line.substr(stateEnd + 1))};
  if (entry.kind == kAsideKind && !IsAsidePathBelow(entry.rest)) return std::nullopt;
  return entry;
}

// The text's lines without their ends; nothing when the last one has none.
std::optional<std::vector<std::string_view>> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace

std::optional<std::vector<OwnedFile>> ParseOwnedFiles(std::string_view text) {
  std::vector<OwnedFile> files;
  if (text.empty()) return files;
  const std::optional<std::vector<std::string_view>> lines = SplitLines(text);
  if (!lines || lines->size() < 2 || lines->front() != kFirstLine ||
      lines->back() != kLastLine) {
    return std::nullopt;
  }
  for (size_t i = 1; i + 1 < lines->size(); ++i) {
    std::optional<OwnedFile> entry = ParseEntry((*lines)[i]);
    if (!entry) return std::nullopt;
    files.push_back(std::move(*entry));
  }
  return files;
}

std::string FormatOwnedFiles(const std::vector<OwnedFile>& files) {
  if (files.empty()) return std::string();
  std::string text = std::string(kFirstLine) + std::string(kLineEnd);
  for (const OwnedFile& file : files) {
    text += file.kind + kFieldSeparator + file.state + kFieldSeparator + file.rest;
    text += kLineEnd;
  }
  return text + std::string(kLastLine) + std::string(kLineEnd);
}

std::optional<std::u16string> PathBelow(const std::u16string& folder,
                                        std::u16string_view fullPath) {
  if (fullPath.substr(0, kLongPathPrefix.size()) == kLongPathPrefix) {
    fullPath.remove_prefix(kLongPathPrefix.size());
  }
  if (fullPath.size() <= folder.size() + 1 || fullPath[folder.size()] != kFolderSeparator ||
      !EqualsIgnoringAsciiCase(fullPath.substr(0, folder.size()), std::u16string_view(folder))) {
    return std::nullopt;
  }
  const std::u16string_view relative = fullPath.substr(folder.size() + 1);
  if (!IsPathBelow(relative)) return std::nullopt;
  return std::u16string(relative);
}

bool IsRelativePathBelow(std::u16string_view relative) { return IsPathBelow(relative); }

std::u16string FullPathBelow(const std::u16string& folder, std::u16string_view relative) {
  return SiblingPathForFullPath(folder + kFolderSeparator + std::u16string(relative), u"");
}
