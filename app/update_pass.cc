#include "app/update_pass.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "app/platform.h"
#include "app/update_selection.h"
#include "lists/ansi.h"
#include "lists/info_file.h"
#include "lists/version_list.h"
#include "process/executable_names.h"

namespace {

constexpr char16_t kNoticeCaption[] = u"알림";
constexpr char16_t kWarningCaption[] = u"경고";
constexpr char16_t kUpdateCancelled[] = u"업데이트를 취소했습니다.";
constexpr char16_t kUpdateCompleted[] = u"업데이트가 완료되었습니다. 프로그램을 재시작합니다";
constexpr char16_t kFailureHeading[] = u"다음 파일 다운로드에 실패했습니다:\n\n";
constexpr size_t kMaxListedFailures = 10;

struct DownloadOutcome {
  bool updated = false;
  // Stored names, in download order, for the warning box.
  std::vector<std::u16string> failedLocalNames;
  // Listed names, for keeping them out of local_list.txt.
  std::set<std::u16string> failedListedNames;
};

bool IsSeparator(char16_t unit) { return unit == u'/' || unit == u'\\'; }

// Windows drops trailing dots and spaces from a path component, so a
// component made only of them climbs out like ".." or collapses into the
// directory that holds it.
bool IsDotsAndSpacesOnly(std::u16string_view component) {
  return !component.empty() && component.find_first_not_of(u". ") == std::u16string_view::npos;
}

// A name from the server is appended to the application directory; it must
// name something strictly below it. Empty names and names that start with a
// separator, name a drive or stream (":") or hold a component such as ".."
// would reach the directory itself or something outside it.
bool StaysInsideDirectory(std::u16string_view name) {
  if (name.empty() || IsSeparator(name.front())) return false;
  if (name.find(u':') != std::u16string_view::npos) return false;
  while (true) {
    const auto separator = std::find_if(name.begin(), name.end(), IsSeparator);
    const size_t length = static_cast<size_t>(separator - name.begin());
    if (IsDotsAndSpacesOnly(name.substr(0, length))) return false;
    if (separator == name.end()) return true;
    name.remove_prefix(length + 1);
  }
}

// Downloads every name in turn, while the overall label shows the 1-based
// number of the file being fetched. No file is retried and a failure does not
// stop the loop.
DownloadOutcome DownloadAll(const std::vector<std::u16string>& downloads, Platform& platform,
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
    // A name that would leave the directory is never fetched; it fails.
    const bool stored =
        StaysInsideDirectory(localName) &&
        platform.DownloadFile(std::u16string(BaseUrl) + name,
                              applicationDirectory + u"\\" + localName, localName);
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

// The server text without the lines that name one of the given files, every
// other byte unchanged. A line names the file that the list parser would
// store it under, so every line of a name listed twice goes.
std::string WithoutLinesNaming(const std::string& serverText,
                               const std::set<std::u16string>& names) {
  if (names.empty()) return serverText;
  std::string kept;
  size_t copiedUpTo = 0;
  ReadListLines(serverText, [&](std::string_view line) {
    const std::string name(line.substr(0, line.find('|')));
    if (names.count(AnsiToWide(name)) == 0) return;
    const size_t start = static_cast<size_t>(line.data() - serverText.data());
    const size_t lineEnd = serverText.find('\n', start);
    kept.append(serverText, copiedUpTo, start - copiedUpTo);
    copiedUpTo = lineEnd == std::string::npos ? serverText.size() : lineEnd + 1;
  });
  kept.append(serverText, copiedUpTo, std::string::npos);
  return kept;
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
  if (!downloads.empty()) outcome = DownloadAll(downloads, platform, paths.applicationDirectory);

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
  for (size_t i = 0; i < listed; ++i) summary += failedNames[i] + u"\n";
  if (failedNames.size() > kMaxListedFailures) {
    const std::string more = std::to_string(failedNames.size() - kMaxListedFailures);
    summary += u"... 외 " + std::u16string(more.begin(), more.end()) + u"개";
  }
  return summary;
}
