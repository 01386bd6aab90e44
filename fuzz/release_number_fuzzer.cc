// What a keyed launcher reads before it trusts a list's number, on any
// bytes: the input as the signature file's text (first 128 bytes), the list
// and, after a zero byte, the kept release file. A number is from 1 up and
// reads back from its field; the kept file reads back from its own text; a
// list is taken again only with the kept number and bytes; random bytes
// never verify.
#include <cstddef>
#include <cstdint>

#include "app/accepted_release.h"
#include "base/sha256.h"
#include "fuzz/fuzz_text.h"
#include "lists/list_signature.h"
#include "lists/release_number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = AsText(data, size);
  const std::string_view signatureText = text.substr(0, 128);
  const std::string_view rest = text.substr(signatureText.size());
  const std::string_view listText = rest.substr(0, rest.find('\0'));
  const std::string_view keptText =
      listText.size() < rest.size() ? rest.substr(listText.size() + 1) : std::string_view();

  Require(!IsListSignedBy(listText, signatureText, kBenchPublicKey), "random bytes never verify");

  const std::optional<int64_t> number = ReleaseNumberOfList(listText);
  if (number) {
    Require(*number >= 1, "a number from 1 up");
    Require(ParseReleaseNumberField(FormatReleaseNumberField(*number)) == number,
            "a number reads back from its field");
  }

  const std::optional<AcceptedRelease> kept = ParseAcceptedRelease(keptText);
  if (kept) {
    Require(kept->number >= 1 && kept->listDigest.size() == kSha256Size, "a kept release");
    Require(ParseAcceptedRelease(FormatAcceptedRelease(*kept)) == kept,
            "a kept release reads back from its text");
  }
  const ReleaseCheck check = CheckRelease(listText, kept);
  Require(number || check == (kept ? ReleaseCheck::kRefused : ReleaseCheck::kUnnumbered),
          "a list without a number is refused once a number is kept");
  if (number && kept && check != ReleaseCheck::kRefused) {
    Require(*number > kept->number ||
                (*number == kept->number && Sha256Of(listText) == kept->listDigest),
            "only a higher number or the kept list is taken");
  }
  if (number && check == ReleaseCheck::kNewer) {
    Require(CheckRelease(listText, AcceptedReleaseOf(listText)) == ReleaseCheck::kAccepted,
            "a kept list is taken again");
  }
  return 0;
}
