// Runs the launcher's SHA-256 and signature verification (CNG) under Wine:
//   crypto_probe verify PUBLIC_KEY_HEX MESSAGE_FILE SIGNATURE_FILE
//     prints "valid" or "invalid" (the signature file in its served form)
//   crypto_probe sha256 FILE
//     prints the file's digest in hex, its size and the seconds hashing took
// Exit code 0, or 2 on bad arguments or an unreadable file.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/hex_text.h"
#include "base/sha256.h"
#include "base/wide_string_win.h"
#include "lists/list_signature.h"

namespace {

bool ReadWholeFile(const wchar_t* path, std::string* bytes) {
  std::FILE* file = _wfopen(path, L"rb");
  if (file == nullptr) return false;
  char buffer[65536];
  size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof(buffer), file)) > 0) bytes->append(buffer, read);
  std::fclose(file);
  return true;
}

std::string Narrow(const wchar_t* text) {
  std::string narrow;
  for (; *text; ++text) narrow += static_cast<char>(*text);
  return narrow;
}

int Verify(const wchar_t* keyHex, const wchar_t* messagePath, const wchar_t* signaturePath) {
  std::string message, signature;
  if (!ReadWholeFile(messagePath, &message) || !ReadWholeFile(signaturePath, &signature)) return 2;
  std::printf("%s\n", IsListSignedBy(message, signature, Narrow(keyHex)) ? "valid" : "invalid");
  return 0;
}

int Hash(const wchar_t* path) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const std::string digest = Sha256OfFile(FromWide(path));
  QueryPerformanceCounter(&end);
  if (digest.empty()) return 2;
  WIN32_FILE_ATTRIBUTE_DATA data;
  GetFileAttributesExW(path, GetFileExInfoStandard, &data);
  const unsigned long long size =
      (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  std::printf("%s %llu %.6f\n", EncodeHex(digest).c_str(), size,
              static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 5 && std::wstring(argv[1]) == L"verify") return Verify(argv[2], argv[3], argv[4]);
  if (argc == 3 && std::wstring(argv[1]) == L"sha256") return Hash(argv[2]);
  std::fprintf(stderr, "usage: crypto_probe verify KEY_HEX MESSAGE SIGNATURE | sha256 FILE\n");
  return 2;
}
