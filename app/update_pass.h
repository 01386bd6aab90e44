// The middle of every run that obtained the server's list: close running
// copies, pick and download the new files, report and record the result.
#ifndef APP_UPDATE_PASS_H_
#define APP_UPDATE_PASS_H_

#include <set>
#include <string>
#include <vector>

#include "app/app_paths.h"
#include "lists/version_list.h"

class Platform;

enum class PassResult {
  kFinished,
  // Running copies of the listed executables could not be closed; the run
  // ends without starting anything.
  kCancelled,
  // A signed list that replays an older release: a lower release number,
  // the number last accepted over other bytes, no number once a numbered list
  // was accepted, or (for a list without a number) a version lower than
  // recorded. Also a list held against a kept number that cannot be read, or
  // whose number cannot be kept. Nothing was closed, fetched or written; the
  // run takes it as no list.
  kStaleList,
};

// signedList: the list was accepted on the built-in key's signature. Such a
// list must carry a release number above the one accepted last (or be that
// very list again) once a numbered list was accepted, may not lower a
// recorded version, every file it selects must carry a
// digest (a line without one fails like a wrong body), and the record it
// leaves never forgets a version: lines of names it does not name, or whose
// download failed, stay as they were.
PassResult RunUpdatePass(const std::string& serverText, bool signedList, Platform& platform,
                         const AppPaths& paths);

// What local_list.txt records after a pass: the server text without the
// lines that name one of the given (listed) files, every other byte
// unchanged. A line names the file that the list parser would store it under,
// so every line of a name listed twice goes, and so does every line whose
// name StoredNameKey takes for the same file.
std::string WithoutLinesNaming(const std::string& serverText,
                               const std::set<std::u16string>& names);

// recordText followed by the lines of localText (each ended by CR LF) whose
// files serverList does not name or that are among failedNames, files
// compared by StoredNameKey: what a signed list leaves recorded, so that no
// version is forgotten.
std::string KeepingRecordedLines(std::string recordText, const std::string& localText,
                                 const VersionList& serverList,
                                 const std::set<std::u16string>& failedNames);

// The warning box's text for the local names whose download failed.
std::u16string FormatFailureSummary(const std::vector<std::u16string>& failedNames);

#endif  // APP_UPDATE_PASS_H_
