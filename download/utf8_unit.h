// UTF-8 of a single UTF-16 code unit, converted on its own as the Windows
// converter does it (a lone surrogate is not paired with its neighbour).
#ifndef DOWNLOAD_UTF8_UNIT_H_
#define DOWNLOAD_UTF8_UNIT_H_

#include <string>

// The bytes the converter produces for unit; empty when it produces none.
std::string Utf8OfCodeUnit(char16_t unit);

#endif  // DOWNLOAD_UTF8_UNIT_H_
