#include "app/update_pass.h"

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "app/accepted_release.h"
#include "app/block_plan.h"
#include "app/messages.h"
#include "app/platform.h"
#include "app/update_selection.h"
#include "base/hex_text.h"
#include "lists/ansi.h"
#include "lists/info_file.h"
#include "lists/list_digests.h"
#include "lists/listed_executables.h"
#include "lists/storable_name.h"
#include "lists/version_list.h"
#include "ui/progress_texts.h"

namespace {

constexpr size_t kMaxListedFailures = 10;
// A stored path is no longer; a longer name comes from a hostile list (or
// collapses its separators), and a message box takes minutes to lay out a
// name of some megabytes.
constexpr size_t kMaxShownNameUnits = 260;
constexpr char16_t kCutMark[] = u"...";
// The kept release is one short line; anything longer was not written by the
// launcher.
constexpr size_t kMaxAcceptedReleaseBytes = 1024;

struct DownloadOutcome {
  bool updated = false;
  // Stored names, in download order, for the warning box.
  std::vector<std::u16string> failedLocalNames;
  // Listed names, for keeping them out of local_list.txt.
  std::set<std::u16string> failedListedNames;
};

// What the server's list says of one file.
struct ListedFile {
  std::string digest;  // 32 bytes, or empty when the list gives none
  // Its version and digest as text: the bytes a cut transfer left are
  // resumed only for the same text.
  std::string release;
};

// Under the names as the downloads carry them.
using ListedFiles = std::map<std::u16string, ListedFile>;

ListedFiles ReadListedFiles(const std::string& serverText, const VersionList& serverList) {
  const ListDigests digests = ParseListDigests(serverText);
  ListedFiles listed;
  for (const auto& [name, version] : serverList) {
    const auto digest = digests.find(name);
    ListedFile file;
    if (digest != digests.end()) file.digest = digest->second;
    file.release = std::to_string(version) + "|" + EncodeHex(file.digest);
    listed.insert_or_assign(AnsiToWide(name), std::move(file));
  }
  return listed;
}

// The targets whose cut transfers may be resumed, at their releases.
std::map<std::u16string, std::string> ResumableTargets(const ListedFiles& listed,
                                                       const std::u16string& applicationDirectory) {
  std::map<std::u16string, std::string> targets;
  for (const auto& [name, file] : listed) {
    const std::u16string localName = LocalFileName(name);
    if (IsStorableName(localName, applicationDirectory)) {
      targets.insert_or_assign(applicationDirectory + u"\\" + localName, file.release);
    }
  }
  return targets;
}

DownloadRequest RequestFor(const std::u16string& name, const std::u16string& localName,
                           const ListedFile& file, Platform& platform,
                           const std::u16string& applicationDirectory) {
  DownloadRequest request;
  request.url = std::u16string(BaseUrl) + name;
  request.localPath = applicationDirectory + u"\\" + localName;
  request.displayName = localName;
  request.expectedDigest = file.digest;
  request.release = file.release;
  request.plan = PlanFromInstalledCopy(name, request.localPath, file.digest, platform);
  return request;
}

// Downloads every name in turn, while the overall label shows the 1-based
// number of the file being fetched. No file is retried and a failure does not
// stop the loop.
// With digestRequired, a name without a digest fails unfetched.
DownloadOutcome DownloadAll(const std::vector<std::u16string>& downloads,
                            const ListedFiles& listed, bool digestRequired,
                            Platform& platform, const std::u16string& applicationDirectory) {
  const int total = static_cast<int>(downloads.size());
  platform.CreateProgressWindow();
  platform.SetFileListText(downloads);
  platform.SetOverallProgressText(0, total);

  DownloadOutcome outcome;
  int started = 0;
  for (const std::u16string& name : downloads) {
    const std::u16string localName = LocalFileName(name);
    platform.SetOverallProgressText(++started, total);
    const auto found = listed.find(name);
    const ListedFile file = found == listed.end() ? ListedFile() : found->second;
    // A name that cannot be stored where it belongs is never fetched; it fails.
    const bool stored =
        IsStorableName(localName, applicationDirectory) &&
        !(digestRequired && IsStoredAsAcceptedReleaseFile(localName)) &&
        (!file.digest.empty() || !digestRequired) &&
        platform.DownloadFile(RequestFor(name, localName, file, platform, applicationDirectory));
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

// What the installation records: local_list.txt and cv3info.ini.
struct InstalledRecord {
  std::string localText;
  VersionList localList;
  VersionList infoList;
};

// Nothing when a signed list meets a record that is there but cannot be read
// whole: taken for none, it would let any older list in.
std::optional<InstalledRecord> ReadInstalledRecord(Platform& platform, const AppPaths& paths,
                                                   bool signedList) {
  InstalledRecord record;
  if (signedList) {
    KeptFileRead local =
        platform.ReadKeptFile(paths.localListPath, std::numeric_limits<size_t>::max());
    if (local.status == KeptFileRead::Status::kUnreadable) return std::nullopt;
    record.localText = std::move(local.bytes);
  } else {
    record.localText = platform.ReadTextFile(paths.localListPath);
  }
  record.localList = ParseVersionList(record.localText);
  record.infoList = ReadInfoList(platform, paths.applicationDirectory);
  return record;
}

// The keys of the files the server list's names stand for, of those names
// among the given (converted) ones only, or of all with no names given.
std::set<std::string> StoredFiles(const VersionList& serverList,
                                  const std::set<std::u16string>* names = nullptr) {
  std::set<std::string> keys;
  for (const auto& [name, version] : serverList) {
    if (!names || names->count(AnsiToWide(name))) keys.insert(StoredNameKey(name));
  }
  return keys;
}

// A signed list against the release the launcher kept. A kept file that is
// there but cannot be read, or does not parse, refuses every list for this
// run: taken for none, it would let any older numbered list in.
ReleaseCheck CheckAgainstKeptRelease(const std::string& serverText, Platform& platform,
                                     const AppPaths& paths) {
  const KeptFileRead kept =
      platform.ReadKeptFile(paths.acceptedReleasePath, kMaxAcceptedReleaseBytes);
  if (kept.status == KeptFileRead::Status::kMissing) return CheckRelease(serverText, std::nullopt);
  const std::optional<AcceptedRelease> accepted =
      kept.status == KeptFileRead::Status::kRead ? ParseAcceptedRelease(kept.bytes) : std::nullopt;
  return accepted ? CheckRelease(serverText, accepted) : ReleaseCheck::kRefused;
}

// False, after telling the user, when a running copy stays: it could not be
// replaced.
bool CloseRunningCopies(const std::string& serverText, Platform& platform) {
  if (platform.CloseRunningApplications(CollectExecutableNames(serverText))) return true;
  platform.ShowMessage(kUpdateCancelled, kNoticeCaption, MessageIcon::kInformation);
  return false;
}

// A signed list goes on to the close and the downloads only when its number
// (or, without one, every version it names) admits it. Nothing when it goes
// on, else how the pass ends.
std::optional<PassResult> AdmitSignedList(const std::string& serverText, ReleaseCheck release,
                                          const InstalledRecord& record,
                                          const VersionList& serverList, Platform& platform,
                                          const AppPaths& paths) {
  if (release == ReleaseCheck::kUnnumbered &&
      NamesOlderVersion(serverList, record.localList, record.infoList)) {
    return PassResult::kStaleList;
  }
  // A higher number is kept before anything is closed, fetched or recorded.
  // Kept after the downloads, a run killed between the record and the
  // number would leave the new record beside the old number, and a list
  // older than the record but newer than that number would then be taken
  // and put its older bytes back. Kept first, a killed run leaves a number
  // whose list is installed in part: that very list, served again, is taken
  // (same number, same bytes) and finishes the job, and every newer one is
  // taken too, so nothing is locked out. The number is moved over the old
  // one in one step, so a kill leaves either of them and never a file that
  // cannot be read (which would refuse every list). A number that cannot be
  // kept installs nothing from its list.
  if (release == ReleaseCheck::kNewer &&
      !platform.ReplaceFileDurably(paths.acceptedReleasePath,
                                   FormatAcceptedRelease(AcceptedReleaseOf(serverText)))) {
    return PassResult::kStaleList;
  }
  if (!CloseRunningCopies(serverText, platform)) return PassResult::kCancelled;
  return std::nullopt;
}

}  // namespace

PassResult RunUpdatePass(const std::string& serverText, bool signedList, Platform& platform,
                         const AppPaths& paths) {
  // Runs before anything is read, whether or not a file turns out to need an
  // update: a listed executable that keeps running could not be replaced. A
  // signed list is first held against the record, so that a replayed one
  // closes nothing.
  if (!signedList && !CloseRunningCopies(serverText, platform)) return PassResult::kCancelled;
  const ReleaseCheck release = signedList ? CheckAgainstKeptRelease(serverText, platform, paths)
                                          : ReleaseCheck::kUnnumbered;
  if (release == ReleaseCheck::kRefused) return PassResult::kStaleList;
  const std::optional<InstalledRecord> installed =
      ReadInstalledRecord(platform, paths, signedList);
  if (!installed) return PassResult::kStaleList;
  const InstalledRecord& record = *installed;
  const VersionList serverList = ParseVersionList(serverText);
  // A numbered list is held to its number alone: the versions of its names
  // may go down (a name dropped and added again), and its digests tell what
  // changed.
  const bool numbered = release == ReleaseCheck::kNewer || release == ReleaseCheck::kAccepted;
  if (signedList) {
    const std::optional<PassResult> end =
        AdmitSignedList(serverText, release, record, serverList, platform, paths);
    if (end) return *end;
  }
  const std::vector<std::u16string> downloads = SelectDownloads(
      serverList, record.localList, record.infoList, paths.applicationDirectory,
      [&platform](const std::u16string& path) { return platform.PathExists(path); },
      numbered ? NamesWithChangedDigest(ParseListDigests(serverText),
                                        ParseListDigests(record.localText))
               : std::set<std::string>());

  const ListedFiles listed = ReadListedFiles(serverText, serverList);
  // Once per pass, before any download: what cut transfers left for files
  // this list no longer names at that release can never be resumed.
  platform.SettlePartialDownloads(paths.applicationDirectory,
                                  ResumableTargets(listed, paths.applicationDirectory));
  DownloadOutcome outcome;
  if (!downloads.empty()) {
    outcome = DownloadAll(downloads, listed, signedList, platform, paths.applicationDirectory);
  }

  if (!outcome.failedLocalNames.empty()) {
    platform.ShowMessage(FormatFailureSummary(outcome.failedLocalNames), kWarningCaption,
                         MessageIcon::kWarning);
  }
  // The record follows the server's list, except for the files that failed
  // now: they keep no entry of this list, so the next run fetches them again.
  if (outcome.updated || record.localText.empty()) {
    std::string recordText = WithoutLinesNaming(serverText, outcome.failedListedNames);
    // The kept lines still serve numbered lists: they are the recorded
    // digests that a name coming back (or failing now) is compared with, and
    // without them a name that cv3info.ini covers would be held to its
    // version alone again.
    if (signedList) {
      recordText = KeepingRecordedLines(std::move(recordText), record.localText, serverList,
                                        outcome.failedListedNames);
    }
    platform.WriteTextFile(paths.localListPath, recordText);
  }
  if (outcome.updated) {
    platform.ShowMessage(kUpdateCompleted, kNoticeCaption, MessageIcon::kInformation);
  }
  return PassResult::kFinished;
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
  const std::set<std::string> dropped = StoredFiles(ParseVersionList(serverText), &names);
  std::string kept;
  size_t copiedUpTo = 0;
  ReadListLines(serverText, [&](std::string_view line) {
    if (dropped.count(StoredNameKey(ListLineName(line))) == 0) return;
    const size_t start = static_cast<size_t>(line.data() - serverText.data());
    const size_t lineEnd = serverText.find('\n', start);
    kept.append(serverText, copiedUpTo, start - copiedUpTo);
    copiedUpTo = lineEnd == std::string::npos ? serverText.size() : lineEnd + 1;
  });
  kept.append(serverText, copiedUpTo, std::string::npos);
  return kept;
}

std::string KeepingRecordedLines(std::string recordText, const std::string& localText,
                                 const VersionList& serverList,
                                 const std::set<std::u16string>& failedNames) {
  if (!recordText.empty() && recordText.back() != '\n') recordText += "\r\n";
  const std::set<std::string> listed = StoredFiles(serverList);
  const std::set<std::string> failed = StoredFiles(serverList, &failedNames);
  ReadListLines(localText, [&](std::string_view line) {
    const std::string key = StoredNameKey(ListLineName(line));
    if (listed.count(key) == 0 || failed.count(key) > 0) {
      recordText.append(line).append("\r\n");
    }
  });
  return recordText;
}
