#include "lists/text_file.h"

#include "base/whole_file.h"

// A read error ends the copy; what was read before it is kept.
std::string ReadTextFile(const std::u16string& path) { return ReadWholeFile(path).bytes; }

void WriteTextFile(const std::u16string& path, const std::string& text) {
  static_cast<void>(ReplaceWholeFile(path, text));
}
