// The publisher's signing key: making a key pair, and loading the private
// key a publication is signed with.
#ifndef PUBLISH_SIGNING_KEY_H_
#define PUBLISH_SIGNING_KEY_H_

#include <optional>
#include <string>
#include <vector>

#include "publish/file_system.h"
#include "publish/publisher.h"

inline constexpr std::u16string_view kPublicKeyFileEnding = u".pub";

// Writes a new private key to privateKeyFile (owner-only) and its public key,
// 128 hex digits and a line end, to privateKeyFile + ".pub"; the one note is
// the public key's hex. Refuses when either file exists.
Outcome GenerateKeyFiles(const std::u16string& privateKeyFile, FileSystem& files);

// The PEM text of a usable key (it signs, and the signature verifies with its
// own public key); nullopt with one error when it is unreadable, unusable or
// lies inside one of the published folders.
std::optional<std::string> LoadSigningKey(const std::u16string& keyFile,
                                          const std::vector<std::u16string>& publishedFolders,
                                          FileSystem& files, Outcome& outcome);

// filelist.txt.sig's text for the list, checked against the key's own public
// key; empty when signing fails.
std::string SignatureFileFor(const std::string& listText, const std::string& privateKeyPem);

#endif  // PUBLISH_SIGNING_KEY_H_
