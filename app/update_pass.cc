#include "app/update_pass.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>

#include "app/listed_executables.h"
#include "app/messages.h"
#include "app/platform.h"
#include "app/storable_name.h"
#include "app/update_selection.h"
#include "lists/ansi.h"
#include "lists/info_file.h"
#include "lists/list_digests.h"
#include "lists/version_list.h"
#include "ui/progress_texts.h"

namespace {

constexpr size_t kMaxListedFailures = 10;
// A stored path is no longer; a longer name comes from a hostile list (or
// collapses its separators), and a message box takes minutes to lay out a
// name of some megabytes.
constexpr size_t kMaxShownNameUnits = 260;
constexpr char16_t kCutMark[] = u"...";

struct DownloadOutcome {
  bool updated = false;
  // Stored names, in download order, for the warning box.
  std::vector<std::u16string> failedLocalNames;
  // Listed names, for keeping them out of local_list.txt.
  std::set<std::u16string> failedListedNames;
};

// The digests the server's list gives, under the names as the downloads
// carry them.
using ExpectedDigests = std::map<std::u16string, std::string>;

ExpectedDigests ReadExpectedDigests(const std::string& serverText) {
  ExpectedDigests digests;
  for (auto& [name, digest] : ParseListDigests(serverText)) {
    digests.insert_or_assign(AnsiToWide(name), std::move(digest));
  }
  return digests;
}

// Downloads every name in turn, while the overall label shows the 1-based
// number of the file being fetched. No file is retried and a failure does not
// stop the loop.
DownloadOutcome DownloadAll(const std::vector<std::u16string>& downloads,
                            const ExpectedDigests& digests, Platform& platform,
                            const std::u16string& applicationDirectory) {
  const int total = static_cast<int>(downloads.size());
  platform.CreateProgressWindow();
  platform.SetFileListText(downloads);
  platform.SetOverallProgressText(0, total);

  DownloadOutcome outcome;
  int started = 0;
  for (const std::u16string& name : downloads) {
    const std::u16string localName = LocalFileName(name);
    platform.SetOverallProgressText(++started, total);
    const auto digest = digests.find(name);
    // A name that cannot be stored where it belongs is never fetched; it fails.
    const bool stored =
        IsStorableName(localName, applicationDirectory) &&
        platform.DownloadFile(std::u16string(BaseUrl) + name,
                              applicationDirectory + u"\\" + localName, localName,
                              digest == digests.end() ? std::string() : digest->second);
    if (stored) {
      outcome.updated = true;
    } else {
      outcome.failedLocalNames.push_back(localName);
      outcome.failedListedNames.insert(name);
    }
    platform.ResetProgressBar();
  }
  platform.DestroyProgressWindow();
  return outcome;
}

// The name as the warning box shows it: cut after kMaxShownNameUnits units
// (never between the two halves of a surrogate pair), marked by "...".
std::u16string ShownName(const std::u16string& name) {
  if (name.size() <= kMaxShownNameUnits) return name;
  size_t kept = kMaxShownNameUnits;
  if (name[kept - 1] >= 0xD800 && name[kept - 1] <= 0xDBFF) --kept;
  return name.substr(0, kept) + kCutMark;
}

VersionList ReadInfoList(Platform& platform, const std::u16string& applicationDirectory) {
  const std::string infoText = platform.ReadTextFile(MakeInfoFilePath(applicationDirectory));
  return infoText.empty() ? VersionList() : ParseInfoFile(infoText);
}

}  // namespace

bool RunUpdatePass(const std::string& serverText, Platform& platform, const AppPaths& paths) {
  // Runs before anything is read, whether or not a file turns out to need an
  // update: a listed executable that keeps running could not be replaced.
  if (!platform.CloseRunningApplications(CollectExecutableNames(serverText))) {
    platform.ShowMessage(kUpdateCancelled, kNoticeCaption, MessageIcon::kInformation);
    return false;
  }

  const std::string localText = platform.ReadTextFile(paths.localListPath);
  const VersionList serverList = ParseVersionList(serverText);
  const VersionList localList = ParseVersionList(localText);
  const VersionList infoList = ReadInfoList(platform, paths.applicationDirectory);
  const std::vector<std::u16string> downloads =
      SelectDownloads(serverList, localList, infoList, paths.applicationDirectory,
                      [&platform](const std::u16string& path) { return platform.PathExists(path); });

  DownloadOutcome outcome;
  if (!downloads.empty()) {
    outcome = DownloadAll(downloads, ReadExpectedDigests(serverText), platform,
                          paths.applicationDirectory);
  }

  if (!outcome.failedLocalNames.empty()) {
    platform.ShowMessage(FormatFailureSummary(outcome.failedLocalNames), kWarningCaption,
                         MessageIcon::kWarning);
  }
  // The record follows the server's list, except for the files that failed
  // now: they keep no entry, so the next run fetches them again.
  if (outcome.updated || localText.empty()) {
    platform.WriteTextFile(paths.localListPath,
                           WithoutLinesNaming(serverText, outcome.failedListedNames));
  }
  if (outcome.updated) {
    platform.ShowMessage(kUpdateCompleted, kNoticeCaption, MessageIcon::kInformation);
  }
  return true;
}

std::u16string FormatFailureSummary(const std::vector<std::u16string>& failedNames) {
  std::u16string summary = kFailureHeading;
  const size_t listed = std::min(failedNames.size(), kMaxListedFailures);
  for (size_t i = 0; i < listed; ++i) summary += ShownName(failedNames[i]) + u"\n";
  if (failedNames.size() > kMaxListedFailures) {
    summary += MoreNamesText(failedNames.size() - kMaxListedFailures);
  }
  return summary;
}

std::string WithoutLinesNaming(const std::string& serverText,
                               const std::set<std::u16string>& names) {
  if (names.empty()) return serverText;
  std::string kept;
  size_t copiedUpTo = 0;
  ReadListLines(serverText, [&](std::string_view line) {
    if (names.count(AnsiToWide(std::string(ListLineName(line)))) == 0) return;
    const size_t start = static_cast<size_t>(line.data() - serverText.data());
    const size_t lineEnd = serverText.find('\n', start);
    kept.append(serverText, copiedUpTo, start - copiedUpTo);
    copiedUpTo = lineEnd == std::string::npos ? serverText.size() : lineEnd + 1;
  });
  kept.append(serverText, copiedUpTo, std::string::npos);
  return kept;
}
