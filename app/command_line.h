#ifndef APP_COMMAND_LINE_H_
#define APP_COMMAND_LINE_H_

#include <string>
#include <string_view>

struct CommandLineOptions {
  std::u16string launchParameters;    // "/updated" or empty
  std::u16string executableOverride;  // program to start instead, or empty
};

// The command line is not split into arguments: the first "/updated"
// (case-sensitive, anywhere) is the only switch, and the trimmed text in
// front of it names the program to start.
CommandLineOptions ParseCommandLine(std::u16string_view commandLine);

#endif  // APP_COMMAND_LINE_H_
