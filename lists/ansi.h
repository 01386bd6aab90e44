#ifndef LISTS_ANSI_H_
#define LISTS_ANSI_H_

#include <string>

// Converts a name from the system ANSI code page to UTF-16, stopping at the
// first zero byte; empty when the conversion reports no length.
std::u16string AnsiToWide(const std::string& text);

#endif  // LISTS_ANSI_H_
