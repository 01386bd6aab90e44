#include "app/accepted_release.h"

#include "app/app_paths.h"
#include "lists/storable_name.h"
#include "base/hex_text.h"
#include "base/sha256.h"
#include "lists/release_number.h"

namespace {

constexpr char kSeparator = ' ';

std::string_view WithoutLineEnd(std::string_view text) {
  if (text.empty() || text.back() != '\n') return std::string_view();
  text.remove_suffix(1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<AcceptedRelease> ParseAcceptedRelease(std::string_view text) {
  const std::string_view line = WithoutLineEnd(text);
  const size_t separator = line.find(kSeparator);
  if (separator == std::string_view::npos) return std::nullopt;
  const std::optional<int64_t> number = ParsePositiveDecimal(line.substr(0, separator));
  const std::string_view digestHex = line.substr(separator + 1);
  if (!number || digestHex.size() != 2 * kSha256Size) return std::nullopt;
  std::optional<std::string> digest = DecodeHex(digestHex);
  if (!digest) return std::nullopt;
  return AcceptedRelease{*number, std::move(*digest)};
}

std::string FormatAcceptedRelease(const AcceptedRelease& release) {
  return std::to_string(release.number) + kSeparator + EncodeHex(release.listDigest) + "\r\n";
}

ReleaseCheck CheckRelease(std::string_view listText,
                          const std::optional<AcceptedRelease>& accepted) {
  const std::optional<int64_t> number = ReleaseNumberOfList(listText);
  if (!number) return accepted ? ReleaseCheck::kRefused : ReleaseCheck::kUnnumbered;
  if (!accepted || *number > accepted->number) return ReleaseCheck::kNewer;
  if (*number == accepted->number && Sha256Of(listText) == accepted->listDigest) {
    return ReleaseCheck::kAccepted;
  }
  return ReleaseCheck::kRefused;
}

AcceptedRelease AcceptedReleaseOf(std::string_view listText) {
  return AcceptedRelease{ReleaseNumberOfList(listText).value_or(0), Sha256Of(listText)};
}

bool IsStoredAsAcceptedReleaseFile(std::u16string_view localName) {
  // The reserved name is ASCII, and the name key folds no other letter onto
  // ASCII, so only an ASCII name can be stored as that file.
  std::string ascii;
  for (const char16_t unit : localName) {
    if (unit >= 0x80) return false;
    ascii.push_back(static_cast<char>(unit));
  }
  const std::string reserved(AcceptedReleaseName.begin(), AcceptedReleaseName.end());
  return StoredNameKey(ascii) == StoredNameKey(reserved);
}
