#include "lists/list_signature.h"

#include "base/hex_text.h"
#include "base/signature.h"

namespace {

// Exactly size bytes from their hex digits; empty otherwise.
std::string FixedSizeHex(std::string_view text, size_t size) {
  if (text.size() != 2 * size) return std::string();
  return DecodeHex(text).value_or(std::string());
}

std::string_view WithoutLineEnd(std::string_view text) {
  for (const std::string_view ending : {"\r\n", "\n"}) {
    if (text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending) {
      return text.substr(0, text.size() - ending.size());
    }
  }
  return text;
}

}  // namespace

std::string ParseSignatureFile(std::string_view text) {
  return FixedSizeHex(WithoutLineEnd(text), kSignatureSize);
}

std::string FormatSignatureFile(std::string_view signature) {
  return EncodeHex(signature) + "\n";
}

std::string ParsePublicKeyText(std::string_view text) {
  return FixedSizeHex(text, kPublicKeySize);
}

bool IsListSignedBy(std::string_view listText, std::string_view signatureFileText,
                    std::string_view publicKeyText) {
  const std::string signature = ParseSignatureFile(signatureFileText);
  const std::string publicKey = ParsePublicKeyText(publicKeyText);
  return !signature.empty() && !publicKey.empty() &&
         VerifySignature(publicKey, listText, signature);
}
