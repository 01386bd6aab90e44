// WithoutLinesNaming, the rewrite of local_list.txt after a pass, for any
// list text and any choice of failed files among the names it lists (the
// first input byte picks them, one bit per line, repeating every eight
// lines). The result is the input's lines (each with its own LF) with some
// left out: every line kept is byte-identical and in its order, no line that
// names no failed file is left out, and the list parser finds no failed file
// in the result.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/update_pass.h"
#include "fuzz/fuzz_text.h"
#include "lists/ansi.h"
#include "lists/version_list.h"

namespace {

// The text cut after every LF; the last piece may lack one.
std::vector<std::string_view> RawLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const size_t length = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

std::u16string StoredName(std::string_view name) { return AnsiToWide(std::string(name)); }

// The failed names: those of the lines whose bit in mask is set.
std::set<std::u16string> FailedNames(std::string_view text, uint8_t mask) {
  std::set<std::u16string> failed;
  size_t index = 0;
  ReadListLines(text, [&](std::string_view line) {
    if (mask & (1u << (index++ % 8))) failed.insert(StoredName(ListLineName(line)));
  });
  return failed;
}

bool NamesFailedFile(std::string_view rawLine, const std::set<std::u16string>& failed) {
  bool names = false;
  ReadListLines(rawLine, [&](std::string_view line) {
    names = failed.count(StoredName(ListLineName(line))) != 0;
  });
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string text(AsText(data + 1, size - 1));
  const std::set<std::u16string> failed = FailedNames(text, data[0]);

  const std::string kept = WithoutLinesNaming(text, failed);

  std::string expected;
  for (const std::string_view line : RawLines(text)) {
    if (!NamesFailedFile(line, failed)) expected.append(line);
  }
  Require(kept == expected,
          "keeps exactly the lines that name no failed file, byte for byte and in order");
  for (const auto& entry : ParseVersionList(kept)) {
    Require(failed.count(StoredName(entry.first)) == 0, "no kept line names a failed file");
  }
  return 0;
}
