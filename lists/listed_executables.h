// The programs a version list names, as the running processes to close
// before an update are named.
#ifndef LISTS_LISTED_EXECUTABLES_H_
#define LISTS_LISTED_EXECUTABLES_H_

#include <string>
#include <string_view>
#include <vector>

// The base names of the listed files that are executables, converted from
// the ANSI code page, in list order, duplicates kept.
std::vector<std::u16string> CollectExecutableNames(std::string_view listText);

#endif  // LISTS_LISTED_EXECUTABLES_H_
