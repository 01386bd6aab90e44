#include "lists/info_file.h"

#include <optional>

namespace {

constexpr std::string_view kFileNameKey = "fn=";
constexpr std::string_view kVersionKey = "ver=";

bool StartsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

// The keys seen so far in one section; the last of each kind counts. The
// file name points into the parsed text, which outlives the section.
struct InfoSection {
  std::optional<std::string_view> fileName;
  std::optional<int64_t> version;

  void StoreCompleteEntry(VersionList& list) const {
    if (fileName && version) list.insert_or_assign(std::string(*fileName), *version);
  }
};

}  // namespace

VersionList ParseInfoFile(std::string_view text) {
  VersionList list;
  InfoSection section;
  ReadListLines(text, [&](std::string_view line) {
    if (line.front() == '[') {
      section.StoreCompleteEntry(list);
      section = InfoSection();
    } else if (StartsWith(line, kFileNameKey)) {
      section.fileName = line.substr(kFileNameKey.size());
    } else if (StartsWith(line, kVersionKey)) {
      section.version = ParseVersionNumber(line.substr(kVersionKey.size()));
    }
  });
  section.StoreCompleteEntry(list);
  return list;
}
