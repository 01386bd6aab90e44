#include "lists/release_number.h"

#include <limits>

#include "lists/version_list.h"

namespace {

constexpr char kFieldMark = 'r';
constexpr size_t kNumberFieldIndex = 3;

// The field'th "|"-separated field of a line (counting from 0), up to the
// next "|" or the line's end; nothing when the line has fewer fields.
std::optional<std::string_view> FieldOf(std::string_view line, size_t field) {
  for (size_t i = 0; i < field; ++i) {
    const size_t bar = line.find('|');
    if (bar == std::string_view::npos) return std::nullopt;
    line.remove_prefix(bar + 1);
  }
  return line.substr(0, line.find('|'));
}

}  // namespace

std::optional<int64_t> ParsePositiveDecimal(std::string_view text) {
  if (text.empty() || text.front() == '0') return std::nullopt;
  int64_t number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const int64_t digit = c - '0';
    if (number > (std::numeric_limits<int64_t>::max() - digit) / 10) return std::nullopt;
    number = number * 10 + digit;
  }
  return number;
}

std::optional<int64_t> ParseReleaseNumberField(std::string_view field) {
  if (field.empty() || field.front() != kFieldMark) return std::nullopt;
  return ParsePositiveDecimal(field.substr(1));
}

std::string FormatReleaseNumberField(int64_t number) {
  return kFieldMark + std::to_string(number);
}

std::optional<int64_t> ReleaseNumberOfList(std::string_view listText) {
  std::optional<std::string_view> firstLine;
  ReadListLines(listText, [&firstLine](std::string_view line) {
    if (!firstLine) firstLine = line;
  });
  if (!firstLine) return std::nullopt;
  const std::optional<std::string_view> field = FieldOf(*firstLine, kNumberFieldIndex);
  return field ? ParseReleaseNumberField(*field) : std::nullopt;
}
