#include "lists/list_digests.h"

#include "base/hex_text.h"
#include "base/sha256.h"
#include "lists/version_list.h"

std::string DigestOfLine(std::string_view line) {
  const size_t firstBar = line.find('|');
  if (firstBar == std::string_view::npos) return std::string();
  const size_t secondBar = line.find('|', firstBar + 1);
  if (secondBar == std::string_view::npos) return std::string();
  std::string_view field = line.substr(secondBar + 1);
  field = field.substr(0, field.find('|'));
  if (field.size() != 2 * kSha256Size) return std::string();
  return DecodeHex(field).value_or(std::string());
}

ListDigests ParseListDigests(std::string_view text) {
  ListDigests digests;
  ReadListLines(text, [&digests](std::string_view line) {
    const std::string name(ListLineName(line));
    std::string digest = DigestOfLine(line);
    if (digest.empty()) {
      digests.erase(name);
    } else {
      digests.insert_or_assign(name, std::move(digest));
    }
  });
  return digests;
}
