#ifndef LISTS_TEXT_FILE_H_
#define LISTS_TEXT_FILE_H_

#include <cstddef>
#include <string>

#include "base/whole_file.h"

// The whole file's bytes; empty when it is missing, unreadable or empty.
std::string ReadTextFile(const std::u16string& path);

// Replaces the file with exactly these bytes, all or nothing; failures are
// not reported.
void WriteTextFile(const std::u16string& path, const std::string& text);

// A small file the launcher keeps for itself, read whole: a file that is
// there but cannot be read, or only in part, must not pass for a missing one.
// Its bytes are given with kRead only.
using KeptFileRead = WholeFile;

// A file longer than maxBytes is unreadable: the launcher wrote no such file.
KeptFileRead ReadKeptFile(const std::u16string& path, size_t maxBytes);

// WriteTextFile's steps, telling whether the new bytes are in place.
[[nodiscard]] bool ReplaceFileDurably(const std::u16string& path, const std::string& text);

#endif  // LISTS_TEXT_FILE_H_
