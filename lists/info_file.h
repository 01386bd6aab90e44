#ifndef LISTS_INFO_FILE_H_
#define LISTS_INFO_FILE_H_

#include <string_view>

#include "lists/version_list.h"

// cv3info.ini: each section's last "fn=" and "ver=" lines make one entry.
VersionList ParseInfoFile(std::string_view text);

#endif  // LISTS_INFO_FILE_H_
