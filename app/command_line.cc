#include "app/command_line.h"

namespace {

constexpr std::u16string_view kUpdatedSwitch = u"/updated";

bool IsTrimmed(char16_t unit) { return unit == u' ' || unit == u'\t' || unit == u'"'; }

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

CommandLineOptions ParseCommandLine(std::u16string_view commandLine) {
  CommandLineOptions options;
  const size_t switchAt = commandLine.find(kUpdatedSwitch);
  if (switchAt != std::u16string_view::npos) {
    options.launchParameters = std::u16string(kUpdatedSwitch);
    commandLine = commandLine.substr(0, switchAt);
  }
  options.executableOverride = std::u16string(Trim(commandLine));
  return options;
}
