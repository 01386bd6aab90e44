// ParseCommandLine on any UTF-16 units: the switch is "/updated" exactly when
// the text holds "/updated", and is otherwise empty; the program to start is
// the text in front of the first "/updated" without its outer blanks, tabs
// and double quotes, and nothing else of that text is dropped.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/command_line.h"
#include "fuzz/fuzz_text.h"

namespace {

constexpr std::u16string_view kSwitch = u"/updated";
constexpr std::u16string_view kTrimmed = u" \t\"";

bool OnlyTrimmedUnits(std::u16string_view text) {
  return text.find_first_not_of(kTrimmed) == std::u16string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = AsUtf16(data, size);
  const CommandLineOptions options = ParseCommandLine(text);
  const size_t switchAt = text.find(kSwitch);

  Require(options.launchParameters == (switchAt == std::u16string::npos ? u"" : kSwitch),
          "switch is \"/updated\" exactly when the text holds it, else empty");

  const std::u16string& program = options.executableOverride;
  if (!program.empty()) {
    Require(kTrimmed.find(program.front()) == std::u16string_view::npos &&
                kTrimmed.find(program.back()) == std::u16string_view::npos,
            "program has no outer blank, tab or double quote");
  }

  const std::u16string_view front = std::u16string_view(text).substr(0, switchAt);
  const size_t programAt = program.empty() ? front.size() : front.find(program);
  Require(programAt != std::u16string_view::npos, "program is taken from the text before the switch");
  // Its first place is its only candidate: in front of it stand trimmed
  // units alone, and the program cannot start with one.
  Require(OnlyTrimmedUnits(front.substr(0, programAt)) &&
              OnlyTrimmedUnits(front.substr(programAt + program.size())),
          "only outer blanks, tabs and double quotes are dropped");
  return 0;
}
