#include "publish/signing_key.h"

#include "base/hex_text.h"
#include "publish/signing.h"
#include "lists/list_signature.h"
#include "base/utf8.h"

Outcome GenerateKeyFiles(const std::u16string& privateKeyFile, FileSystem& files) {
  Outcome outcome;
  const std::u16string publicKeyFile = privateKeyFile + std::u16string(kPublicKeyFileEnding);
  for (const std::u16string& path : {privateKeyFile, publicKeyFile}) {
    if (files.KindOf(path) != PathKind::kMissing) {
      outcome.errors.push_back(ToUtf8(path) + ": already exists; keygen never replaces a key");
      return outcome;
    }
  }
  const std::optional<SigningKeyPair> pair = GenerateSigningKeyPair();
  if (!pair) {
    outcome.errors.push_back("cannot generate a key pair");
  } else if (!files.WriteNewPrivateFile(privateKeyFile, pair->privateKeyPem)) {
    outcome.errors.push_back(ToUtf8(privateKeyFile) + ": cannot create it");
  } else if (!files.WriteFile(publicKeyFile, EncodeHex(pair->publicKey) + "\n")) {
    outcome.errors.push_back(ToUtf8(publicKeyFile) + ": cannot write it (the private key is in " +
                             ToUtf8(privateKeyFile) + ")");
  } else {
    outcome.notes.push_back(EncodeHex(pair->publicKey));
  }
  return outcome;
}

std::string SignatureFileFor(const std::string& listText, const std::string& privateKeyPem) {
  const std::string signature = SignMessage(privateKeyPem, listText);
  if (signature.empty()) return std::string();
  const std::string text = FormatSignatureFile(signature);
  return IsListSignedBy(listText, text, EncodeHex(PublicKeyOf(privateKeyPem))) ? text
                                                                               : std::string();
}

std::optional<std::string> LoadSigningKey(const std::u16string& keyFile,
                                          const std::vector<std::u16string>& publishedFolders,
                                          FileSystem& files, Outcome& outcome) {
  for (const std::u16string& folder : publishedFolders) {
    if (files.Overlap(folder, keyFile)) {
      outcome.errors.push_back(ToUtf8(keyFile) + ": the private key lies in " + ToUtf8(folder) +
                               ", which is published; keep it outside");
      return std::nullopt;
    }
  }
  // As ssh does with its keys: a key others could read may be theirs already.
  if (files.OthersMayAccess(keyFile)) {
    outcome.errors.push_back(ToUtf8(keyFile) + ": group or others may read or write this "
                             "private key; allow only its owner: chmod 600 " + ToUtf8(keyFile));
    return std::nullopt;
  }
  const std::optional<std::string> pem = files.ReadFile(keyFile);
  if (!pem) {
    outcome.errors.push_back(ToUtf8(keyFile) + ": cannot read the private key");
    return std::nullopt;
  }
  if (SignatureFileFor("key check", *pem).empty()) {
    outcome.errors.push_back(ToUtf8(keyFile) + ": not a usable P-256 private key (PKCS#8 PEM)");
    return std::nullopt;
  }
  return pem;
}
