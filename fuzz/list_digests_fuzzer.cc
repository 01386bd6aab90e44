// The readers of a verified list on any bytes: the digest field of each line,
// and the signature file, checked against the bench's test key. A digest is
// always 32 bytes and names a file the version list has; a signature is 64
// bytes and reads back from its own text; random bytes never verify.
#include <cstddef>
#include <cstdint>

#include "base/hex_text.h"
#include "fuzz/fuzz_text.h"
#include "lists/list_digests.h"
#include "lists/list_signature.h"
#include "lists/version_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = AsText(data, size);

  const ListDigests digests = ParseListDigests(text);
  const VersionList versions = ParseVersionList(text);
  for (const auto& [name, digest] : digests) {
    Require(digest.size() == 32, "digest of 32 bytes");
    Require(versions.count(name) == 1, "digest of a listed name");
  }

  const std::string signature = ParseSignatureFile(text);
  Require(signature.empty() || signature.size() == 64, "signature of 64 bytes or none");
  if (!signature.empty()) {
    Require(ParseSignatureFile(FormatSignatureFile(signature)) == signature,
            "signature reads back from its text");
  }
  // The input as the list and as its signature: the first 128 bytes are the
  // signature's text, the rest the list.
  const std::string_view signatureText = text.substr(0, 128);
  const std::string_view listText = text.substr(signatureText.size());
  Require(!IsListSignedBy(listText, signatureText, kBenchPublicKey), "random bytes never verify");
  return 0;
}
