#ifndef LISTS_TEXT_FILE_H_
#define LISTS_TEXT_FILE_H_

#include <string>

// The whole file's bytes; empty when it is missing, unreadable or empty.
std::string ReadTextFile(const std::u16string& path);

// Replaces the file with exactly these bytes, all or nothing; failures are
// not reported.
void WriteTextFile(const std::u16string& path, const std::string& text);

#endif  // LISTS_TEXT_FILE_H_
