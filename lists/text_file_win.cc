#include "lists/text_file.h"

// A read error ends the copy; what was read before it is kept.
std::string ReadTextFile(const std::u16string& path) { return ReadWholeFile(path).bytes; }

void WriteTextFile(const std::u16string& path, const std::string& text) {
  static_cast<void>(ReplaceWholeFile(path, text));
}

KeptFileRead ReadKeptFile(const std::u16string& path, size_t maxBytes) {
  KeptFileRead file = ReadWholeFile(path);
  if (file.status == KeptFileRead::Status::kRead && file.bytes.size() > maxBytes) {
    file.status = KeptFileRead::Status::kUnreadable;
  }
  if (file.status != KeptFileRead::Status::kRead) file.bytes.clear();
  return file;
}

bool ReplaceFileDurably(const std::u16string& path, const std::string& text) {
  return ReplaceWholeFile(path, text);
}
