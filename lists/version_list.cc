#include "lists/version_list.h"

#include <limits>

namespace {

bool IsNumberSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int64_t ParseVersionNumber(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && IsNumberSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }

  // The magnitude is gathered unsigned and saturates at the largest value the
  // sign allows (one more for "-"), so long digit runs never overflow.
  constexpr uint64_t kMaxPositive = std::numeric_limits<int64_t>::max();
  const uint64_t limit = negative ? kMaxPositive + 1 : kMaxPositive;
  uint64_t magnitude = 0;
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    const uint64_t digit = static_cast<uint64_t>(text[pos] - '0');
    if (magnitude > (limit - digit) / 10) {
      magnitude = limit;
      break;
    }
    magnitude = magnitude * 10 + digit;
  }

  if (!negative) return static_cast<int64_t>(magnitude);
  if (magnitude == kMaxPositive + 1) return std::numeric_limits<int64_t>::min();
  return -static_cast<int64_t>(magnitude);
}

VersionList ParseVersionList(std::string_view text) {
  VersionList list;
  ReadListLines(text, [&list](std::string_view line) {
    const std::string_view name = ListLineName(line);
    // A line without "|" records its file at version 0.
    const int64_t version =
        name.size() == line.size() ? 0 : ParseVersionNumber(line.substr(name.size() + 1));
    list.insert_or_assign(std::string(name), version);
  });
  return list;
}
