// The middle of every run that obtained the server's list: close running
// copies, pick and download the new files, report and record the result.
#ifndef APP_UPDATE_PASS_H_
#define APP_UPDATE_PASS_H_

#include <string>
#include <vector>

#include "app/app_paths.h"

class Platform;

// False when the update was cancelled because running copies of the listed
// executables could not be closed; the run then ends without starting.
bool RunUpdatePass(const std::string& serverText, Platform& platform, const AppPaths& paths);

// The warning box's text for the local names whose download failed.
std::u16string FormatFailureSummary(const std::vector<std::u16string>& failedNames);

#endif  // APP_UPDATE_PASS_H_
