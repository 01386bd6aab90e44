#include "publish/list_writer.h"

#include "base/hex_text.h"

std::string FormatListLine(const std::string& name, const ListEntry& entry) {
  return name + "|" + std::to_string(entry.version) + "|" + EncodeHex(entry.digest) + "\r\n";
}

std::string WriteListText(const PublishedList& list) {
  std::string text;
  for (const auto& [name, entry] : list) text += FormatListLine(name, entry);
  return text;
}

bool ReadsBackAsListName(const std::string& name) {
  const ListEntry probe{1, std::string(32, '\0')};
  return ParseVersionList(FormatListLine(name, probe)) == VersionList{{name, probe.version}};
}
