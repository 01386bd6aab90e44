#ifndef LISTS_EXECUTABLE_NAMES_H_
#define LISTS_EXECUTABLE_NAMES_H_

#include <optional>
#include <string_view>

// The name running copies of a listed file have when the file is an
// executable: the part of listedName (a list's file field, bytes in the
// system ANSI code page) after its last "/" or "\", when that part ends in
// ".exe" under ASCII case folding. Nothing for any other file.
std::optional<std::string_view> ExecutableBaseName(std::string_view listedName);

#endif  // LISTS_EXECUTABLE_NAMES_H_
