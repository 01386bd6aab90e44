#include "publish/gzip_companions.h"

#include "base/ascii_case.h"
#include "lists/version_list.h"
#include "publish/code_page.h"
#include "publish/gzip_body.h"

namespace {

std::u16string Folded(std::u16string name) {
  for (char16_t& unit : name) unit = FoldAsciiCase(unit);
  return name;
}

}  // namespace

std::u16string GzipCompanionOf(const std::u16string& servedName) { return servedName + u".gz"; }

ServedNames ServedNames::OfList(const std::string& listText) {
  ServedNames names;
  for (const auto& [listName, version] : ParseVersionList(listText)) {
    if (const std::optional<std::u16string> name = DecodeCodePage949(listName)) names.Add(*name);
  }
  return names;
}

void ServedNames::Add(const std::u16string& servedName) { folded_.insert(Folded(servedName)); }

bool ServedNames::Holds(const std::u16string& name) const { return folded_.count(Folded(name)); }

bool ServedNames::LeavesFree(const std::u16string& name) const {
  // The names inside folder F sort from "F/" up to "F0" ('0' follows '/').
  const std::u16string folded = Folded(name);
  return !folded_.count(folded) &&
         folded_.lower_bound(folded + u"/") == folded_.lower_bound(folded + u"0");
}

std::optional<bool> StageGzip(const std::u16string& from, uint64_t size, const std::u16string& to,
                              FileSystem& files) {
  const std::optional<uint64_t> gzipSize = files.WriteGzipOf(from, to);
  if (!gzipSize) {
    files.RemoveAll(to);
    return std::nullopt;
  }
  if (GzipSavesEnough(*gzipSize, size)) return true;
  if (!files.RemoveAll(to)) return std::nullopt;
  return false;
}
