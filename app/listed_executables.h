// The programs a version list names, as the running processes to close
// before an update are named.
#ifndef APP_LISTED_EXECUTABLES_H_
#define APP_LISTED_EXECUTABLES_H_

#include <string>
#include <string_view>
#include <vector>

// The base names of the listed files that are executables, converted from
// the ANSI code page, in list order, duplicates kept.
std::vector<std::u16string> CollectExecutableNames(std::string_view listText);

#endif  // APP_LISTED_EXECUTABLES_H_
