#include "publish/publisher.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <memory>
#include <set>

#include "lists/application_names.h"
#include "lists/block_index.h"
#include "lists/listed_executables.h"
#include "base/ascii_case.h"
#include "lists/storable_name.h"
#include "publish/code_page.h"
#include "publish/gzip_body.h"
#include "publish/gzip_companions.h"
#include "lists/list_signature.h"
#include "lists/release_number.h"
#include "publish/list_writer.h"
#include "publish/progress.h"
#include "publish/release_names.h"
#include "publish/signing_key.h"
#include "base/utf8.h"
#include "publish/versions.h"

namespace {

const std::u16string kSignatureFile = std::u16string(kListFileName) + std::u16string(kSignatureFileEnding);
const std::u16string kListGzipFile = GzipCompanionOf(std::u16string(kListFileName));
constexpr std::u16string_view kStagingEnding = u".crv3publish";

// The launcher closes every running program whose name a listed ".exe" has,
// wherever it was started from.
constexpr std::array<std::u16string_view, 33> kSystemPrograms = {
    u"audiodg", u"calc", u"chrome", u"cmd", u"conhost", u"csrss", u"ctfmon", u"dllhost",
    u"dwm", u"explorer", u"firefox", u"fontdrvhost", u"iexplore", u"lsass", u"mmc",
    u"msedge", u"msiexec", u"mspaint", u"notepad", u"powershell", u"regedit", u"regsvr32",
    u"rundll32", u"services", u"sihost", u"smss", u"spoolsv", u"svchost", u"taskhostw",
    u"taskmgr", u"wininit", u"winlogon", u"wscript"};

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
  return folder + u"/" + name;
}

std::u16string ListPathIn(const std::u16string& folder) {
  return Join(folder, std::u16string(kListFileName));
}

std::u16string SignaturePathIn(const std::u16string& folder) {
  return Join(folder, kSignatureFile);
}

std::string Shown(const std::u16string& path) { return ToUtf8(path); }

std::string ShownListName(const std::string& listName) {
  const std::optional<std::u16string> name = DecodeCodePage949(listName);
  return name ? ToUtf8(*name) : listName;
}

struct ReleaseFile {
  PublishedName name;
  uint64_t size = 0;
  bool unchanged = false;
  std::string digest;
  bool staged = false;  // copied into the staging folder while it was read
  std::string blockIndex;  // empty for a file served without one
};

const std::u16string kIndexEnding(kBlockIndexEnding.begin(), kBlockIndexEnding.end());

bool IsBlockIndexName(std::u16string_view name) {
  return EndsWithIgnoringAsciiCase(name, std::u16string_view(kIndexEnding));
}

void CheckFolders(const PublishOptions& options, FileSystem& files, Outcome& outcome) {
  auto error = [&outcome](const std::u16string& path, const char* problem) {
    outcome.errors.push_back(Shown(path) + ": " + problem);
  };
  if (files.KindOf(options.releaseFolder) != PathKind::kFolder) {
    error(options.releaseFolder, "the release folder does not exist");
  }
  const PathKind served = files.KindOf(options.servedFolder);
  if (served != PathKind::kMissing && served != PathKind::kFolder) {
    error(options.servedFolder, "exists and is not a folder");
  }
  if (files.Overlap(options.releaseFolder, options.servedFolder) ||
      files.Overlap(options.releaseFolder, StagingFolderOf(options.servedFolder))) {
    error(options.servedFolder, "the served folder and the release folder overlap");
  }
  if (options.previousFolder && files.KindOf(ListPathIn(*options.previousFolder)) != PathKind::kFile) {
    error(ListPathIn(*options.previousFolder),
          "the previous publication has no list; for a first release leave --previous out");
  }
}

// Moves a complete publication from the staging folder into the served one:
// every file first, each replacing its old copy in one step and followed by
// its .gz, then the list's signature, the list's .gz, the list last. Only the
// moment between the last moves shows the old list beside the new signature.
// A listed file (or the list) comes in without a .gz of its own only when
// its served .gz no longer fits: that .gz is removed first.
bool PutInPlace(const std::u16string& staging, const std::u16string& served, FileSystem& files,
                Outcome& outcome) {
  if (files.KindOf(served) == PathKind::kMissing) {
    if (files.Move(staging, served)) return true;
    outcome.errors.push_back(Shown(served) + ": cannot move " + Shown(staging) + " here");
    return false;
  }
  std::vector<std::string> problems;
  const ServedNames listed = ServedNames::OfList(files.ReadFile(ListPathIn(staging)).value_or(""));
  std::set<std::u16string> staged;
  std::vector<std::u16string> names;
  for (const FoundFile& file : files.ListFiles(staging, problems)) {
    staged.insert(file.name);
    if (file.name != kListFileName && file.name != kSignatureFile && file.name != kListGzipFile) {
      names.push_back(file.name);
    }
  }
  for (const std::u16string& last : {kSignatureFile, kListGzipFile}) {
    if (staged.count(last)) names.push_back(last);
  }
  names.emplace_back(kListFileName);
  for (const std::u16string& name : names) {
    if (!problems.empty()) break;
    const std::u16string companion = GzipCompanionOf(name);
    const std::u16string servedCompanion = Join(served, companion);
    if ((listed.Holds(name) || name == kListFileName) && !staged.count(companion) &&
        listed.LeavesFree(companion) && files.KindOf(servedCompanion) == PathKind::kFile &&
        !files.RemoveAll(servedCompanion)) {
      problems.push_back(Shown(servedCompanion) + ": cannot remove it");
    } else if (!files.Move(Join(staging, name), Join(served, name))) {
      problems.push_back(Shown(Join(served, name)) + ": cannot replace it");
    }
  }
  for (std::string& problem : problems) {
    outcome.errors.push_back(problem + " (the next run finishes this publication)");
  }
  return problems.empty() && files.RemoveAll(staging);
}

// A staging folder holding its list is a publication that was being put in
// place when it was stopped; finishing it first keeps the served folder and
// its list in step. Without a list it was cut short while being written.
void FinishInterruptedPublication(const std::u16string& served, FileSystem& files,
                                  Outcome& outcome) {
  const std::u16string staging = StagingFolderOf(served);
  if (files.KindOf(staging) == PathKind::kMissing) return;
  if (files.KindOf(ListPathIn(staging)) == PathKind::kFile) {
    if (PutInPlace(staging, served, files, outcome)) {
      outcome.warnings.push_back(Shown(served) + ": finished the interrupted publication in " +
                                 Shown(staging));
    }
  } else if (!files.RemoveAll(staging)) {
    outcome.errors.push_back(Shown(staging) + ": cannot remove what an interrupted run left");
  }
}

// Reads one release file once, through a handle that follows no link and
// is checked not to be the private key, and stages its copy from the very
// bytes it hashes. A file that may stay served as it is (in place, already
// listed) is hashed first; only when its bytes differ from its served copy
// does the same handle read it again into the copy, which must give the same
// digest. An unchanged file is told by the digest of its served copy in the
// previous publication, so that it is listed with the digest of the very
// copy that stays served. The error that refuses the file, if any.
std::string ReadReleaseFile(ReleaseFile& file, const std::optional<FileIdentity>& key,
                            const PublishOptions& options, const VersionList& previous,
                            bool inPlace, FileSystem& files) {
  const std::u16string path = Join(options.releaseFolder, file.name.releaseName);
  std::string problem;
  const std::unique_ptr<OpenedFile> opened =
      files.OpenReleaseFile(options.releaseFolder, file.name.releaseName, problem);
  if (!opened) return Shown(path) + ": " + problem;
  if (opened->Identity() == key) {
    return Shown(path) + ": is the private key given with --key (" + Shown(*options.keyFile) +
           "); it would be published";
  }
  const std::u16string staged = Join(StagingFolderOf(options.servedFolder), file.name.servedName);
  const bool listed = options.previousFolder && previous.count(file.name.listName);
  const bool mayStay = inPlace && listed;
  const bool indexed = ServedWithBlockIndex(file.size);
  FileRead read = opened->Read(mayStay ? std::nullopt : std::optional(staged),
                               indexed ? std::optional(file.size) : std::nullopt);
  file.digest = read.digest;
  file.blockIndex = std::move(read.blockIndex);
  if (file.digest.empty()) return Shown(path) + ": cannot be read";
  if (indexed && file.blockIndex.empty()) {
    return Shown(path) + ": changed while it was being published; publish again";
  }
  file.unchanged =
      listed && files.DigestOf(Join(*options.previousFolder, file.name.servedName)) == file.digest;
  file.staged = !(mayStay && file.unchanged);
  if (mayStay && file.staged) {
    read = opened->Read(staged, std::nullopt);
    if (read.digest.empty()) return Shown(path) + ": cannot be read";
    if (read.digest != file.digest) {
      return Shown(path) + ": changed while it was being published; publish again";
    }
  }
  if (file.staged && !read.copied) return Shown(staged) + ": cannot write it";
  return std::string();
}

void ReadRelease(std::vector<ReleaseFile>& release, const PublishOptions& options,
                 const VersionList& previous, bool inPlace, FileSystem& files,
                 const ProgressLine& line, uint64_t totalBytes, Outcome& outcome) {
  const std::optional<FileIdentity> key =
      options.keyFile ? files.IdentityOf(*options.keyFile) : std::nullopt;
  Progress progress("reading", release.size(), totalBytes, line);
  for (ReleaseFile& file : release) {
    std::string error = ReadReleaseFile(file, key, options, previous, inPlace, files);
    if (!error.empty()) outcome.errors.push_back(std::move(error));
    progress.Done(file.size);
  }
}

// The launcher looks for a listed file under its listed name, so it never
// finds an ".i.zip" installed and fetches it on every start.
void AddZippedIniWarning(const std::vector<ReleaseFile>& release, Outcome& outcome) {
  std::vector<std::u16string> zipped;
  for (const ReleaseFile& file : release) {
    if (file.name.servedName != file.name.releaseName) zipped.push_back(file.name.releaseName);
  }
  if (zipped.empty()) return;
  const std::string more =
      zipped.size() > 1 ? " and " + std::to_string(zipped.size() - 1) + " more .ini files" : "";
  outcome.warnings.push_back(
      ToUtf8(zipped.front()) + more +
      ": served as .i.zip, which the launcher fetches again on every start: every start shows "
      "the completion box and overwrites the user's edits to the .ini; serve them under their "
      "own name with --keep-ini where the server allows .ini");
}

void AddWarnings(const std::vector<ReleaseFile>& release, const PublishedList& list,
                 const VersionList& previous, const std::string& listText,
                 const PublishOptions& options, const ServedNames& servedNames, FileSystem& files,
                 Outcome& outcome) {
  if (!options.keyFile && files.KindOf(SignaturePathIn(options.servedFolder)) != PathKind::kMissing) {
    outcome.warnings.push_back(Shown(SignaturePathIn(options.servedFolder)) +
                               ": left from a signed publication and does not sign the new list; "
                               "launchers built with a key take it as no list (sign with --key)");
  }
  bool hasExecutable = false;
  for (const ReleaseFile& file : release) {
    hasExecutable |= EqualsIgnoringAsciiCase<char16_t>(file.name.releaseName, ExecutableName);
    const std::u16string companion = GzipCompanionOf(file.name.servedName);
    if (!file.blockIndex.empty() && servedNames.Holds(BlockIndexNameOf(file.name.servedName))) {
      outcome.warnings.push_back(ToUtf8(BlockIndexNameOf(file.name.servedName)) +
                                 ": a file of the release, where the block index of " +
                                 ToUtf8(file.name.servedName) +
                                 " belongs; launchers fetch that file whole");
    }
    if (options.gzip && servedNames.Holds(companion)) {
      outcome.warnings.push_back(ToUtf8(companion) + ": a file of the release, served in place of " +
                                 ToUtf8(file.name.servedName) +
                                 " to clients that accept gzip where .gz files are served beside "
                                 "their files; no .gz of " + ToUtf8(file.name.servedName) +
                                 " is written");
    }
  }
  if (!hasExecutable) {
    outcome.warnings.push_back(ToUtf8(ExecutableName) +
                               ": not in the release; the launcher starts this program");
  }
  for (const std::u16string& program : CollectExecutableNames(listText)) {
    const std::u16string_view base = std::u16string_view(program).substr(0, program.size() - 4);
    for (const std::u16string_view system : kSystemPrograms) {
      if (EqualsIgnoringAsciiCase(base, system)) {
        outcome.warnings.push_back(ToUtf8(program) +
                                   ": a Windows program has this name; the launcher closes "
                                   "every running program of it before an update");
      }
    }
  }
  AddZippedIniWarning(release, outcome);
  for (const auto& [name, version] : previous) {
    if (!list.count(name)) {
      outcome.warnings.push_back(ShownListName(name) +
                                 ": dropped from the list; installed copies stay where they are");
    }
  }
}

// Stages what one file still needs once it was read: when it stays served
// as it is but its served .gz no longer fits, its served copy (the listed
// bytes) comes in again so that PutInPlace removes that .gz; with gzip a .gz
// that saves enough, unless the served one still fits.
bool StageFile(const ReleaseFile& file, const PublishOptions& options,
               const ServedNames& servedNames, FileSystem& files, Outcome& outcome) {
  const std::u16string staging = StagingFolderOf(options.servedFolder);
  const std::u16string served = Join(options.servedFolder, file.name.servedName);
  const std::u16string staged = Join(staging, file.name.servedName);
  const std::u16string companion = GzipCompanionOf(file.name.servedName);
  const bool hasCompanion = servedNames.LeavesFree(companion);
  const std::u16string servedCompanion = Join(options.servedFolder, companion);
  // nginx serves a .gz whole, never a range of it, to every client that
  // accepts gzip: an indexed file has none, and an old one is removed.
  const bool gzip = options.gzip && file.blockIndex.empty();
  const std::u16string index = BlockIndexNameOf(file.name.servedName);
  if (!file.blockIndex.empty() && !servedNames.Holds(index) &&
      !files.WriteFile(Join(staging, index), file.blockIndex)) {
    outcome.errors.push_back(Shown(Join(staging, index)) + ": cannot write it");
    return false;
  }
  bool copied = file.staged;
  if (!copied && hasCompanion && files.KindOf(servedCompanion) == PathKind::kFile) {
    if (gzip && files.GzipFits(servedCompanion, served)) return true;
    if (!files.CopyFile(served, staged)) {
      outcome.errors.push_back(Shown(staged) + ": cannot write it");
      return false;
    }
    copied = true;
  }
  // The .gz is made from the bytes that are served, which hold the listed
  // digest; the release file may change meanwhile.
  if (gzip && hasCompanion &&
      !StageGzip(copied ? staged : served, file.size, Join(staging, companion), files)) {
    outcome.errors.push_back(Shown(Join(staging, companion)) + ": cannot write it");
    return false;
  }
  return true;
}

// Completes the publication in the staging folder, which holds the files
// read so far: the .gz files, the list's signature and .gz, then the
// list, which marks it complete (PutInPlace moves the signature and then the
// list last, so a list never stands beside an older signature).
bool Stage(const std::vector<ReleaseFile>& release, const PublishOptions& options,
           const ServedNames& servedNames, const std::string& listText,
           const std::string& signatureText, const std::string& historyText,
           uint64_t totalBytes, FileSystem& files, const ProgressLine& line, Outcome& outcome) {
  const std::u16string staging = StagingFolderOf(options.servedFolder);
  Progress progress("writing", release.size(), totalBytes, line);
  for (const ReleaseFile& file : release) {
    if (!StageFile(file, options, servedNames, files, outcome)) break;
    progress.Done(file.size);
  }

  const std::u16string history = Join(staging, std::u16string(kVersionHistoryFileName));
  if (outcome.errors.empty() && !files.WriteFile(history, historyText)) {
    outcome.errors.push_back(Shown(history) + ": cannot write it");
  }
  if (outcome.errors.empty() && !signatureText.empty() &&
      !files.WriteFile(SignaturePathIn(staging), signatureText)) {
    outcome.errors.push_back(Shown(SignaturePathIn(staging)) + ": cannot write it");
  }
  const std::string listGzip =
      options.gzip && servedNames.LeavesFree(kListGzipFile) ? GzipOf(listText) : std::string();
  if (outcome.errors.empty() && !listGzip.empty() &&
      GzipSavesEnough(listGzip.size(), listText.size()) &&
      !files.WriteFile(Join(staging, kListGzipFile), listGzip)) {
    outcome.errors.push_back(Shown(Join(staging, kListGzipFile)) + ": cannot write it");
  }
  if (outcome.errors.empty() && !files.WriteFile(ListPathIn(staging), listText)) {
    outcome.errors.push_back(Shown(ListPathIn(staging)) + ": cannot write it");
  }
  return outcome.errors.empty();
}

// A served block index whose file is no longer served with one would only
// cost launchers its fetch; one that is a release file itself stays.
void RemoveStaleBlockIndices(const std::vector<ReleaseFile>& release,
                             const ServedNames& servedNames, const std::u16string& served,
                             FileSystem& files, Outcome& outcome) {
  ServedNames indices;
  for (const ReleaseFile& file : release) {
    if (!file.blockIndex.empty()) indices.Add(BlockIndexNameOf(file.name.servedName));
  }
  std::vector<std::string> unlisted;
  for (const FoundFile& found : files.ListFiles(served, unlisted)) {
    if (!IsBlockIndexName(found.name) || servedNames.Holds(found.name) ||
        indices.Holds(found.name)) {
      continue;
    }
    if (!files.RemoveAll(Join(served, found.name))) {
      outcome.warnings.push_back(Shown(Join(served, found.name)) +
                                 ": a block index left from an earlier publication; cannot "
                                 "remove it");
    }
  }
}

// One error for each .gz beside a listed file or the list that does not
// decode to its file's bytes; how many were checked.
size_t VerifyGzipCompanions(const std::u16string& servedFolder, const std::string& listText,
                            const std::vector<std::u16string>& presentNames, FileSystem& files,
                            Outcome& outcome) {
  const ServedNames listed = ServedNames::OfList(listText);
  size_t checked = 0;
  std::vector<std::u16string> names = presentNames;
  names.emplace_back(kListFileName);
  for (const std::u16string& name : names) {
    const std::u16string companion = Join(servedFolder, GzipCompanionOf(name));
    if (!listed.LeavesFree(GzipCompanionOf(name)) || files.KindOf(companion) != PathKind::kFile) {
      continue;
    }
    ++checked;
    if (!files.GzipFits(companion, Join(servedFolder, name))) {
      outcome.errors.push_back(ToUtf8(GzipCompanionOf(name)) + ": does not decode to the bytes of " +
                               ToUtf8(name));
    }
  }
  return checked;
}

// Whether the index text is the one the served file `name` rebuilds to.
bool BlockIndexFits(const std::u16string& servedFolder, const std::u16string& name,
                    const std::string& indexText, FileSystem& files) {
  const std::optional<BlockIndex> index = ParseBlockIndex(indexText);
  std::string problem;
  const std::unique_ptr<OpenedFile> file = files.OpenReleaseFile(servedFolder, name, problem);
  return index && file && file->Read(std::nullopt, index->fileSize).blockIndex == indexText;
}

// One error for each block index that its listed file does not rebuild to,
// that a large listed file lacks, or that lies beside no listed file; how
// many fit.
size_t VerifyBlockIndices(const std::u16string& servedFolder,
                          const std::vector<std::u16string>& presentNames, FileSystem& files,
                          Outcome& outcome) {
  std::vector<std::string> unreadable;
  const std::vector<FoundFile> found = files.ListFiles(servedFolder, unreadable);
  std::map<std::u16string, uint64_t> sizes;
  for (const FoundFile& file : found) sizes[file.name] = file.size;
  ServedNames present;
  for (const std::u16string& name : presentNames) present.Add(name);
  size_t fitting = 0;
  for (const std::u16string& name : presentNames) {
    const std::u16string index = BlockIndexNameOf(name);
    if (present.Holds(index)) continue;  // a release file: Publish warned of it
    const std::u16string indexPath = Join(servedFolder, index);
    const std::optional<std::string> text =
        files.KindOf(indexPath) == PathKind::kFile ? files.ReadFile(indexPath) : std::nullopt;
    if (text && BlockIndexFits(servedFolder, name, *text, files)) {
      ++fitting;
    } else if (text) {
      outcome.errors.push_back(ToUtf8(index) + ": does not fit the bytes of " + ToUtf8(name));
    } else if (sizes.count(name) && ServedWithBlockIndex(sizes[name])) {
      outcome.errors.push_back(ToUtf8(index) + ": missing; launchers fetch " + ToUtf8(name) +
                               " whole instead of its changed blocks");
    }
  }
  for (const FoundFile& file : found) {
    const std::u16string_view name = file.name;
    if (IsBlockIndexName(name) && !present.Holds(file.name) &&
        !present.Holds(std::u16string(name.substr(0, name.size() - kIndexEnding.size())))) {
      outcome.errors.push_back(ToUtf8(file.name) + ": a block index beside no listed file");
    }
  }
  return fitting;
}

// One error when filelist.txt.sig does not sign listText with the key.
void VerifySignatureFile(const std::u16string& servedFolder, const std::string& listText,
                         const std::string& publicKeyText, FileSystem& files, Outcome& outcome) {
  const std::u16string path = SignaturePathIn(servedFolder);
  const std::optional<std::string> signatureText = files.ReadFile(path);
  if (!signatureText) {
    outcome.errors.push_back(Shown(path) + ": cannot be read");
  } else if (!IsListSignedBy(listText, *signatureText, publicKeyText)) {
    outcome.errors.push_back(Shown(path) + ": not a signature of " + Shown(ListPathIn(servedFolder)) +
                             " by this key");
  }
}

// The staging folder is removed on every way out until the publication in
// it is complete; from then on a run that stops leaves it for the next run
// to finish.
class StagingFolder {
 public:
  StagingFolder(std::u16string path, FileSystem& files) : path_(std::move(path)), files_(files) {}
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  ~StagingFolder() {
    if (!kept_) files_.RemoveAll(path_);
  }
  void Keep() { kept_ = true; }

 private:
  std::u16string path_;
  FileSystem& files_;
  bool kept_ = false;
};


// What the publication before this one leaves to it.
struct PreviousPublication {
  VersionList list;  // with --previous only: its files may stay as served
  VersionHistory history;
  std::optional<int64_t> releaseNumber;
};

// With --previous its list, and from it (or, without --previous, from a
// publication already in the served folder) every version ever given and the
// highest release number signed: starting again at 1 would put every name
// below the version launchers installed, and every list below the number
// they accepted.
PreviousPublication ReadPreviousPublication(const PublishOptions& options, FileSystem& files,
                                            Outcome& outcome) {
  PreviousPublication before;
  std::optional<std::u16string> folder = options.previousFolder;
  if (!folder && files.KindOf(ListPathIn(options.servedFolder)) != PathKind::kMissing) {
    folder = options.servedFolder;
    outcome.warnings.push_back(Shown(options.servedFolder) +
                               ": holds a publication; versions and the release number go on "
                               "from it (give --previous " + Shown(options.servedFolder) +
                               " to keep its unchanged files in place)");
  }
  if (!folder) return before;
  const std::u16string historyPath = Join(*folder, std::u16string(kVersionHistoryFileName));
  const std::optional<std::string> listText = files.ReadFile(ListPathIn(*folder));
  const std::optional<std::string> historyText =
      files.KindOf(historyPath) == PathKind::kMissing ? std::string() : files.ReadFile(historyPath);
  for (const auto& [path, text] : {std::pair(ListPathIn(*folder), &listText),
                                   std::pair(historyPath, &historyText)}) {
    if (!*text) outcome.errors.push_back(Shown(path) + ": cannot be read");
  }
  if (!listText || !historyText) return before;
  if (options.previousFolder) before.list = ParseVersionList(*listText);
  before.history = Highest(ReadVersionHistory(*historyText), ReadVersionHistory(*listText));
  before.releaseNumber =
      std::max(ReleaseNumberOfList(*listText), ReleaseNumberOfList(*historyText));
  return before;
}

// A signed list's release number: one above the previous one, or the number
// given, which must be higher (a vendor who lost the served folder names one
// above every list served). Launchers that accepted a number refuse every
// list below it, and the same number over other bytes.
std::optional<int64_t> ReleaseNumberFor(const PublishOptions& options,
                                        const PreviousPublication& before, Outcome& outcome) {
  if (!options.keyFile) return std::nullopt;
  const int64_t previous = before.releaseNumber.value_or(0);
  if (options.listNumber && *options.listNumber <= previous) {
    outcome.errors.push_back("--release-number " + std::to_string(*options.listNumber) +
                             ": not above the previous publication's release number " +
                             std::to_string(previous) +
                             "; launchers that accepted it would take this list as a replay");
    return std::nullopt;
  }
  if (options.listNumber) return options.listNumber;
  if (previous == std::numeric_limits<int64_t>::max()) {
    outcome.errors.push_back("filelist.txt: the previous release number is the highest possible");
    return std::nullopt;
  }
  return previous + 1;
}

}  // namespace

bool ServedWithBlockIndex(uint64_t size) {
  return size >= kBlockIndexThreshold && size <= kMaxIndexedFileSize;
}

std::u16string BlockIndexNameOf(const std::u16string& servedName) {
  return servedName + kIndexEnding;
}

std::u16string StagingFolderOf(const std::u16string& servedFolder) {
  std::u16string folder = servedFolder;
  while (folder.size() > 1 && (folder.back() == u'/' || folder.back() == u'\\')) folder.pop_back();
  return folder + std::u16string(kStagingEnding);
}

Outcome Publish(const PublishOptions& options, FileSystem& files, const ProgressLine& progress) {
  Outcome outcome;
  CheckFolders(options, files, outcome);
  if (!outcome.errors.empty()) return outcome;
  std::optional<std::string> key;
  if (options.keyFile) {
    std::vector<std::u16string> published = {options.releaseFolder, options.servedFolder,
                                             StagingFolderOf(options.servedFolder)};
    if (options.previousFolder) published.push_back(*options.previousFolder);
    key = LoadSigningKey(*options.keyFile, published, files, outcome);
    if (!key) return outcome;
  }
  FinishInterruptedPublication(options.servedFolder, files, outcome);
  if (!outcome.errors.empty()) return outcome;

  const std::vector<FoundFile> found = files.ListFiles(options.releaseFolder, outcome.errors);
  if (found.empty() && outcome.errors.empty()) {
    outcome.errors.push_back(Shown(options.releaseFolder) + ": the release holds no files");
  }
  std::vector<std::u16string> names;
  uint64_t totalBytes = 0;
  for (const FoundFile& file : found) {
    names.push_back(file.name);
    totalBytes += file.size;
  }
  NameCheck check = CheckReleaseNames(names, options.serveIniAsZip);
  outcome.errors.insert(outcome.errors.end(), check.errors.begin(), check.errors.end());
  if (!outcome.errors.empty()) return outcome;

  std::vector<ReleaseFile> release;
  for (size_t i = 0; i < found.size(); ++i) {
    release.push_back({check.names[i], found[i].size, false, {}, false, {}});
  }
  const PreviousPublication before = ReadPreviousPublication(options, files, outcome);
  const std::optional<int64_t> releaseNumber = ReleaseNumberFor(options, before, outcome);
  if (!outcome.errors.empty()) return outcome;
  const VersionList& previous = before.list;
  const bool inPlace = options.previousFolder &&
                       files.KindOf(options.servedFolder) == PathKind::kFolder &&
                       files.SameFolder(*options.previousFolder, options.servedFolder);
  StagingFolder staging(StagingFolderOf(options.servedFolder), files);
  ReadRelease(release, options, previous, inPlace, files, progress, totalBytes, outcome);
  if (!outcome.errors.empty()) return outcome;

  std::vector<VersionRequest> requests;
  for (const ReleaseFile& file : release) {
    requests.push_back(
        {file.name.listName, ToUtf8(file.name.releaseName), file.unchanged, file.digest});
  }
  const VersionAssignment assignment =
      AssignVersions(requests, previous, before.history, options.releaseNumber);
  outcome.errors = assignment.errors;
  if (!outcome.errors.empty()) return outcome;

  PublishedList list;
  size_t changed = 0;
  for (size_t i = 0; i < release.size(); ++i) {
    list[release[i].name.listName] = ListEntry{assignment.versions[i], release[i].digest};
    changed += release[i].unchanged ? 0 : 1;
  }
  const std::string listText = WriteListText(list, releaseNumber);
  const std::string historyText = WriteListText(
      Highest(before.history, list), releaseNumber ? releaseNumber : before.releaseNumber);
  const std::string signatureText = key ? SignatureFileFor(listText, *key) : std::string();
  if (key && signatureText.empty()) {
    outcome.errors.push_back(Shown(*options.keyFile) + ": signing the list failed");
    return outcome;
  }
  ServedNames servedNames;
  for (const ReleaseFile& file : release) servedNames.Add(file.name.servedName);
  AddWarnings(release, list, previous, listText, options, servedNames, files, outcome);

  if (!Stage(release, options, servedNames, listText, signatureText, historyText, totalBytes,
             files, progress, outcome)) {
    return outcome;
  }
  staging.Keep();
  if (!PutInPlace(StagingFolderOf(options.servedFolder), options.servedFolder, files, outcome)) {
    return outcome;
  }
  RemoveStaleBlockIndices(release, servedNames, options.servedFolder, files, outcome);
  for (const ReleaseFile& file : release) {
    if (options.gzip && !file.blockIndex.empty()) {
      outcome.notes.push_back(ToUtf8(file.name.servedName) +
                              ": no .gz; its block index lets launchers fetch only changed "
                              "blocks by ranges, which servers give of plain bodies only");
    }
  }
  outcome.notes.push_back("published " + std::to_string(release.size()) + " files to " +
                          Shown(options.servedFolder) + ": " + std::to_string(changed) +
                          " new or changed at version " +
                          std::to_string(assignment.newVersion) + ", " +
                          std::to_string(release.size() - changed) + " unchanged" +
                          (releaseNumber ? ", release number " + std::to_string(*releaseNumber)
                                         : std::string()));
  return outcome;
}

Outcome Verify(const std::u16string& servedFolder, const std::optional<std::string>& publicKeyText,
               FileSystem& files) {
  Outcome outcome;
  const std::optional<std::string> text = files.ReadFile(ListPathIn(servedFolder));
  if (!text) {
    outcome.errors.push_back(Shown(ListPathIn(servedFolder)) + ": cannot be read");
    return outcome;
  }
  std::vector<std::u16string> storedNames, presentNames;
  const std::vector<ListedFile> list = ReadListedFiles(*text);
  size_t hashed = 0;
  for (const ListedFile& file : list) {
    const std::optional<std::u16string>& name = file.name;
    if (!name) {
      outcome.errors.push_back(file.problem);
    } else if (files.KindOf(Join(servedFolder, *name)) != PathKind::kFile) {
      outcome.errors.push_back(ToUtf8(*name) + ": listed but not in the served folder");
    } else {
      storedNames.push_back(LocalFileName(*name));
      presentNames.push_back(*name);
      if (!file.digest) {
        // A launcher built with the key refuses such a line's file.
        if (publicKeyText) outcome.errors.push_back(ToUtf8(*name) + ": its line has no SHA-256");
        continue;
      }
      ++hashed;
      if (files.DigestOf(Join(servedFolder, *name)) != *file.digest) {
        outcome.errors.push_back(ToUtf8(*name) + ": the served bytes differ from the listed SHA-256");
      }
    }
  }
  for (std::string& collision : FindCollisions(storedNames)) {
    outcome.errors.push_back(std::move(collision));
  }
  const size_t gzipped = VerifyGzipCompanions(servedFolder, *text, presentNames, files, outcome);
  const size_t indexed = VerifyBlockIndices(servedFolder, presentNames, files, outcome);
  if (publicKeyText) VerifySignatureFile(servedFolder, *text, *publicKeyText, files, outcome);
  if (outcome.errors.empty()) {
    outcome.notes.push_back(Shown(servedFolder) + ": " + std::to_string(list.size()) +
                            " listed files, all present, " + std::to_string(hashed) +
                            " with their SHA-256 checked, " + std::to_string(gzipped) +
                            " .gz decoding to their files, " + std::to_string(indexed) +
                            " block indices fitting their files" +
                            (publicKeyText ? ", the list signed by the key" : ""));
  }
  return outcome;
}
