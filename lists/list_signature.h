// The signed list: filelist.txt.sig beside filelist.txt holds an ECDSA P-256
// signature (SHA-256) over the exact bytes of filelist.txt, as the 128 hex
// digits of r||s, optionally followed by one line end (LF or CR LF). The
// public key built into the launcher is the 128 hex digits of its point X||Y.
#ifndef LISTS_LIST_SIGNATURE_H_
#define LISTS_LIST_SIGNATURE_H_

#include <string>
#include <string_view>

inline constexpr std::u16string_view kSignatureFileEnding = u".sig";

// r||s (64 bytes) from the file's text; empty when the text is anything else.
std::string ParseSignatureFile(std::string_view text);

// The file's text for r||s: hex digits and one LF.
std::string FormatSignatureFile(std::string_view signature);

// X||Y (64 bytes) from its hex text; empty when the text is anything else.
std::string ParsePublicKeyText(std::string_view text);

// True when signatureFileText holds a valid signature over exactly listText
// by the key whose text is publicKeyText.
bool IsListSignedBy(std::string_view listText, std::string_view signatureFileText,
                    std::string_view publicKeyText);

#endif  // LISTS_LIST_SIGNATURE_H_
