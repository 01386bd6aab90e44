#ifndef PROCESS_EXECUTABLE_NAMES_H_
#define PROCESS_EXECUTABLE_NAMES_H_

#include <string>
#include <string_view>
#include <vector>

// The base names of the listed files that end in ".exe", in list order,
// duplicates kept.
std::vector<std::u16string> CollectExecutableNames(std::string_view serverText);

#endif  // PROCESS_EXECUTABLE_NAMES_H_
