#include "publish/list_writer.h"

#include "base/hex_text.h"
#include "lists/release_number.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

std::string FormatListLine(const std::string& name, const ListEntry& entry) {
  return name + "|" + std::to_string(entry.version) + "|" + EncodeHex(entry.digest) +
         std::string(kLineEnd);
}

std::string WriteListText(const PublishedList& list, std::optional<int64_t> releaseNumber) {
  std::string text;
  for (const auto& [name, entry] : list) {
    text += FormatListLine(name, entry);
    if (releaseNumber) {
      text.insert(text.size() - kLineEnd.size(), "|" + FormatReleaseNumberField(*releaseNumber));
      releaseNumber.reset();
    }
  }
  return text;
}

bool ReadsBackAsListName(const std::string& name) {
  const ListEntry probe{1, std::string(32, '\0')};
  return ParseVersionList(FormatListLine(name, probe)) == VersionList{{name, probe.version}};
}
