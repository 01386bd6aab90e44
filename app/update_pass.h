// The middle of every run that obtained the server's list: close running
// copies, pick and download the new files, report and record the result.
#ifndef APP_UPDATE_PASS_H_
#define APP_UPDATE_PASS_H_

#include <set>
#include <string>
#include <vector>

#include "app/app_paths.h"

class Platform;

// False when the update was cancelled because running copies of the listed
// executables could not be closed; the run then ends without starting.
bool RunUpdatePass(const std::string& serverText, Platform& platform, const AppPaths& paths);

// What local_list.txt records after a pass: the server text without the
// lines that name one of the given (listed) files, every other byte
// unchanged. A line names the file that the list parser would store it under,
// so every line of a name listed twice goes.
std::string WithoutLinesNaming(const std::string& serverText,
                               const std::set<std::u16string>& names);

// The warning box's text for the local names whose download failed.
std::u16string FormatFailureSummary(const std::vector<std::u16string>& failedNames);

#endif  // APP_UPDATE_PASS_H_
