// Helpers shared by the fuzz targets.
#ifndef FUZZ_FUZZ_TEXT_H_
#define FUZZ_FUZZ_TEXT_H_

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "lists/version_list.h"

// The public half of the bench's test key (tests/wine/bench/keys), which
// random bytes must never pass for a signature of.
inline constexpr char kBenchPublicKey[] =
    "8fc2e0d60eb2b2a5ccb52a2c705105dcae00ffb23621aceeada486974d797f7c"
    "26b645fd0d394dcd5a6b5c7e983d3c6a084024bffe0e5bcac92b26cbabbbf6a2";

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// The input read as UTF-16 units, two bytes each, low byte first; an odd last
// byte is left out. Any unit value can occur, lone surrogates included.
inline std::u16string AsUtf16(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return text;
}

// Stops the run with a message; libFuzzer saves the input as a crash.
inline void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

// A list text that names every entry of the list once, in the simplest form.
inline std::string WriteVersionList(const VersionList& list) {
  std::string text;
  for (const auto& [name, version] : list) {
    text += name + "|" + std::to_string(version) + "\n";
  }
  return text;
}

#endif  // FUZZ_FUZZ_TEXT_H_
