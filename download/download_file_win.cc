#include "download/download_file.h"

#include <windows.h>

#include <urlmon.h>
#include <wininet.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "base/ascii_case.h"
#include "base/message_pump_win.h"
#include "base/scoped_win.h"
#include "base/sha256.h"
#include "base/staging_path.h"
#include "base/url_cache_win.h"
#include "base/wide_string_win.h"
#include "download/download_callback_win.h"
#include "download/download_response.h"
#include "download/file_replacement.h"
#include "download/owned_files.h"
#include "download/range_answer.h"
#include "download/url_encode.h"

namespace {

constexpr char16_t kPathSeparators[] = u"\\/";

DWORD AttributesOf(const std::u16string& path) { return GetFileAttributesW(AsWide(path)); }

bool IsFolder(const std::u16string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

constexpr DWORD kCopyPieceSize = 1 << 20;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::optional<uint64_t> SizeOf(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(AsWide(path), GetFileExInfoStandard, &data)) return std::nullopt;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

bool SeekTo(HANDLE file, uint64_t offset) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, position, nullptr, FILE_BEGIN);
}

// Copies length bytes from source's position to target's; a source that
// ends sooner fails the copy.
bool CopyBytes(HANDLE source, HANDLE target, uint64_t length,
               const std::function<void()>& betweenPieces) {
  std::string piece(kCopyPieceSize, '\0');
  while (length > 0) {
    const DWORD wanted = static_cast<DWORD>(std::min<uint64_t>(length, kCopyPieceSize));
    DWORD read = 0;
    DWORD written = 0;
    if (!ReadFile(source, piece.data(), wanted, &read, nullptr) || read != wanted ||
        !WriteFile(target, piece.data(), wanted, &written, nullptr) || written != wanted) {
      return false;
    }
    length -= wanted;
    betweenPieces();
  }
  return true;
}

// Rewrites the journal of folder with stagedPath's partial entry replaced by
// partial (or removed); an unchanged journal is not written.
bool NoteInJournal(const std::u16string& folder, const std::u16string& stagedPath,
                   const std::optional<PartialEntry>& partial) {
  const std::optional<std::string> text = ReadOwnedFilesJournal(folder);
  const auto files = text ? ParseOwnedFiles(*text) : std::nullopt;
  if (!files) return false;
  const std::string updated = FormatOwnedFiles(WithPartial(*files, stagedPath, partial));
  return updated == *text || WriteOwnedFilesJournal(folder, updated);
}

// The file a transfer is stored in before it replaces its target, the
// target's staging path, with the journal entry that lets the next run
// continue it. Bytes are appended to it only after its entry's held bytes,
// and each piece reaches the disk before the entry counts it, so a kill
// loses at most the piece under way. A file the journal does not name is
// deleted when the call ends; a target outside journalFolder is never
// continued.
class StagedFile {
 public:
  StagedFile(const DownloadRequest& request, const std::u16string& journalFolder)
      : path_(StagingPathFor(request.localPath)),
        relative_(PathBelow(journalFolder, path_)),
        journalFolder_(journalFolder),
        release_(request.release) {}
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  ~StagedFile() {
    if (!noted_) DeleteFileW(AsWide(path_));
  }

  const std::u16string& path() const { return path_; }
  uint64_t held() const { return held_; }
  std::optional<uint64_t> total() const { return total_; }
  const std::u16string& validator() const { return validator_; }

  // Keeps the bytes a cut transfer of the same release left; anything else
  // there is dropped. Bytes no validator vouches for are kept only when the
  // digest will check the whole file.
  void Resume(bool digestChecked) {
    const std::optional<std::string> text = ReadOwnedFilesJournal(journalFolder_);
    const auto files = text ? ParseOwnedFiles(*text) : std::nullopt;
    const std::optional<uint64_t> size = SizeOf(path_);
    const std::optional<PartialEntry> partial =
        relative_ && files && size ? PartialToResume(*files, *relative_, release_, *size)
                                   : std::nullopt;
    if (!partial || (partial->validator.empty() && !digestChecked)) return StartOver();
    held_ = partial->heldBytes;
    total_ = partial->total;
    validator_ = partial->validator;
    noted_ = true;
  }

  void StartOver() {
    DeleteFileW(AsWide(path_));
    held_ = 0;
    total_.reset();
    validator_.clear();
    if (relative_) NoteInJournal(journalFolder_, *relative_, std::nullopt);
    noted_ = false;
  }

  // The file the appended bytes belong to, as the answers tell it.
  void SetFile(uint64_t total, const std::u16string& validator) {
    total_ = total;
    if (!validator.empty()) validator_ = validator;
  }

  // Appends length bytes of source from sourceOffset, and notes them.
  bool Append(const std::u16string& source, uint64_t sourceOffset, uint64_t length,
              const std::function<void()>& betweenPieces) {
    {
      ScopedHandle from(CreateFileW(AsWide(source), GENERIC_READ, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
      ScopedHandle to(CreateFileW(AsWide(path_), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      // Bytes past the held ones were never counted: they are written over.
      if (!from.IsValid() || !to.IsValid() || !SeekTo(from.Get(), sourceOffset) ||
          !SeekTo(to.Get(), held_) || !SetEndOfFile(to.Get()) ||
          !CopyBytes(from.Get(), to.Get(), length, betweenPieces) ||
          !FlushFileBuffers(to.Get())) {
        return false;
      }
    }
    held_ += length;
    NoteHeldBytes();
    return true;
  }

  // The platform stored the file's first length bytes here itself.
  bool Adopt(uint64_t length) {
    if (!FlushFile()) return false;
    held_ = length;
    NoteHeldBytes();
    return true;
  }

  // The whole file arrived as one body: it is the staged file, complete, and
  // nothing is left to continue.
  bool TakeWhole(const std::u16string& body) {
    const std::optional<uint64_t> size = SizeOf(body);
    if (!size || (body != path_ && !MoveFileExW(AsWide(body), AsWide(path_),
                                                  MOVEFILE_REPLACE_EXISTING))) {
      return false;
    }
    if (noted_ && relative_) NoteInJournal(journalFolder_, *relative_, std::nullopt);
    noted_ = false;
    held_ = *size;
    total_ = *size;
    return true;
  }

  // True when no digest is expected or the staged bytes have it. A stale
  // copy on a proxy and a body cut short without a length both end here.
  bool HasDigest(const std::string& expectedDigest,
                 const std::function<void()>& betweenPieces) const {
    return expectedDigest.empty() || Sha256OfFile(path_, betweenPieces) == expectedDigest;
  }

  // Replaces target with this file, its data on the disk first. The entry
  // goes first: a complete file is never continued.
  bool MoveOver(const std::u16string& target) {
    if (noted_ && relative_ && !NoteInJournal(journalFolder_, *relative_, std::nullopt)) {
      return false;
    }
    noted_ = false;
    return PutStagedInPlace(path_, target, journalFolder_);
  }

 private:
  // A handle that may write is what FlushFileBuffers needs.
  bool FlushFile() const {
    ScopedHandle file(CreateFileW(AsWide(path_), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsValid() && FlushFileBuffers(file.Get());
  }

  // A journal that cannot be written leaves the older entry, whose held
  // bytes are still a true prefix.
  void NoteHeldBytes() {
    if (!relative_ || !total_) return;
    const PartialEntry partial{*relative_, held_, *total_, release_, validator_};
    noted_ = NoteInJournal(journalFolder_, *relative_, partial) || noted_;
  }

  const std::u16string path_;
  const std::optional<std::u16string> relative_;
  const std::u16string journalFolder_;
  const std::string release_;
  uint64_t held_ = 0;
  std::optional<uint64_t> total_;
  std::u16string validator_;
  bool noted_ = false;  // the journal names the file: it stays for the next run
};

// Deletes the file when it goes out of scope.
class ScopedFileRemoval {
 public:
  explicit ScopedFileRemoval(std::u16string path) : path_(std::move(path)) {}
  ScopedFileRemoval(const ScopedFileRemoval&) = delete;
  ScopedFileRemoval& operator=(const ScopedFileRemoval&) = delete;
  ~ScopedFileRemoval() { DeleteFileW(AsWide(path_)); }
  const std::u16string& path() const { return path_; }

 private:
  std::u16string path_;
};

// The requests of one call. An answer's body lands in the staged file when
// it starts the file, else in the piece file beside the target, from which
// it is appended.
class Transfer {
 public:
  Transfer(const DownloadRequest& request, const ProgressDisplay& showProgress)
      : encodedUrl_(UrlEncode(request.url)),
        piece_(StagingPathFor(request.localPath + u".piece")),
        name_(request.displayName),
        showProgress_(showProgress) {}

  const std::u16string& piecePath() const { return piece_.path(); }
  FetchProgress& progress() { return progress_; }

  // Runs one request into the file into; true when the platform reported it
  // done and the answer was the whole body of an HTTP success.
  bool Fetch(const std::u16string& headers, const std::u16string& into, uint64_t pieceLength,
             uint64_t heldBefore, DownloadResponse* response) {
    // A copy in the internet cache would answer instead of the server.
    DeleteUrlCacheEntryW(AsWide(encodedUrl_));
    const ProgressDisplay showPiece = [&](const std::u16string& name, uint64_t percent) {
      if (response->httpStatus == kWholeBodyStatus) {
        return showProgress_(name, progress_.DuringWholeBody(percent));
      }
      const std::optional<uint64_t> fileLength = FileLengthOf(response->headers);
      if (!progress_.KnowsBytesToFetch() && fileLength) {
        progress_.SetBytesToFetch(*fileLength - std::min(*fileLength, heldBefore));
      }
      return showProgress_(name, progress_.DuringPiece(pieceLength, percent));
    };
    ScopedComPtr<IBindStatusCallback> callback;
    *callback.Receive() =
        NewDownloadCallback(name_, showPiece, into, headers, response);
    const HRESULT result =
        URLDownloadToFileW(nullptr, AsWide(encodedUrl_), AsWide(into), 0, callback.Get());
    // The platform keeps a second full copy of the body in its cache until
    // the entry is deleted; the launcher never reads it again.
    DropCachedCopy(encodedUrl_, response->cacheFile);
    const std::optional<uint64_t> stored = SizeOf(into);
    return result == S_OK && stored && IsWholeSuccessfulBody(*response, *stored);
  }

  // Shows the unchanged figure, which lets the window answer its messages.
  void KeepWindowAlive() {
    if (showProgress_(name_, progress_.Shown())) PumpWaitingMessages();
  }

 private:
  const std::u16string encodedUrl_;
  ScopedFileRemoval piece_;
  const std::u16string name_;
  const ProgressDisplay& showProgress_;
  FetchProgress progress_{std::nullopt};
};

enum class Fetched { kStored, kWholeBody, kStartOver, kFailed };

// Fetches the new file's bytes from staged.held() up to end (nothing: the
// file's end) in ranged pieces appended to staged.
Fetched FetchSpan(Transfer& transfer, StagedFile& staged, std::optional<uint64_t> end) {
  for (;;) {
    const uint64_t first = staged.held();
    const std::optional<uint64_t> stop = end ? end : staged.total();
    if (stop && first >= *stop) return Fetched::kStored;
    const uint64_t asked = stop ? std::min(kMaxPieceBytes, *stop - first) : kMaxPieceBytes;
    const ByteRange piece{first, first + asked - 1};
    // The platform writes a body over its file: only a first piece may go
    // to the staged file at once.
    const std::u16string& into = first == 0 ? staged.path() : transfer.piecePath();
    DownloadResponse response;
    const bool stored = transfer.Fetch(RangeRequestHeaders(piece, staged.validator()), into,
                                       piece.Length(), first, &response);
    const PieceAnswer answer = JudgePieceAnswer(response.httpStatus, response.headers, piece,
                                                staged.total(), staged.validator());
    if (answer.verdict == PieceVerdict::kStartOver) return Fetched::kStartOver;
    if (!stored || answer.verdict == PieceVerdict::kFailed) return Fetched::kFailed;
    if (answer.verdict == PieceVerdict::kWholeBody) {
      return staged.TakeWhole(into) ? Fetched::kWholeBody : Fetched::kFailed;
    }
    const uint64_t length = std::min(piece.last, answer.total - 1) - first + 1;
    if (SizeOf(into) != length) return Fetched::kFailed;
    staged.SetFile(answer.total, answer.validator);
    const bool appended =
        first == 0 ? staged.Adopt(length)
                   : staged.Append(into, 0, length, [&] { transfer.KeepWindowAlive(); });
    if (!appended) return Fetched::kFailed;
    transfer.progress().PieceDone(length);
  }
}

// The whole file into staged, continuing its held bytes. A server whose
// answers do not fit them gets one fresh start, and then one request with
// no Range at all.
bool FetchWhole(Transfer& transfer, StagedFile& staged) {
  for (int start = 0; start < 2; ++start) {
    const Fetched fetched = FetchSpan(transfer, staged, std::nullopt);
    if (fetched == Fetched::kFailed) return false;
    if (fetched != Fetched::kStartOver) return true;
    staged.StartOver();
    transfer.progress().StartAgain();
  }
  DownloadResponse response;
  return transfer.Fetch(u"", staged.path(), 0, 0, &response) && staged.TakeWhole(staged.path());
}

// The bytes a plan still fetches beyond what is staged.
uint64_t BytesToFetch(const AssemblyPlan& plan, uint64_t staged) {
  uint64_t bytes = 0;
  uint64_t runStart = 0;
  for (const AssemblyRun& run : plan.runs) {
    const uint64_t runEnd = runStart + run.length;
    if (!run.held && runEnd > staged) bytes += runEnd - std::max(runStart, staged);
    runStart = runEnd;
  }
  return bytes;
}

// Puts the new file together in staged from the plan: held runs copied from
// the installed copy at installedPath, fetched runs by ranges; the staged
// prefix is kept.
bool Assemble(Transfer& transfer, StagedFile& staged, const AssemblyPlan& plan,
              const std::u16string& installedPath) {
  if (staged.total() && *staged.total() != plan.fileSize) return false;
  staged.SetFile(plan.fileSize, u"");
  uint64_t runStart = 0;
  for (const AssemblyRun& run : plan.runs) {
    const uint64_t runEnd = runStart + run.length;
    if (runEnd > staged.held()) {
      const uint64_t skipped = staged.held() - runStart;
      const bool done =
          run.held ? staged.Append(installedPath, run.heldOffset + skipped, run.length - skipped,
                                   [&] { transfer.KeepWindowAlive(); })
                   : FetchSpan(transfer, staged, runEnd) == Fetched::kStored;
      if (!done) return false;
    }
    runStart = runEnd;
  }
  return staged.held() == plan.fileSize;
}

// Moves staged over target. A read-only target is made writable for that and
// stays so; its other attributes pass to the new file. A failed move leaves
// the target as it was.
bool ReplaceTarget(StagedFile& staged, const std::u16string& target) {
  const DWORD attributes = AttributesOf(target);
  if (attributes == INVALID_FILE_ATTRIBUTES) return staged.MoveOver(target);
  const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
  if (writable != attributes) SetFileAttributesW(AsWide(target), writable);
  if (!staged.MoveOver(target)) {
    if (writable != attributes) SetFileAttributesW(AsWide(target), attributes);
    return false;
  }
  SetFileAttributesW(AsWide(target), writable);
  return true;
}

// The request's file staged whole with its digest: from the plan when there
// is one, and whole when that fails; bytes a cut transfer left are
// continued, and fetched again once should the file lack the digest.
bool StageFile(const DownloadRequest& request, Transfer& transfer, StagedFile& staged) {
  const auto keepWindowAlive = [&] { transfer.KeepWindowAlive(); };
  if (request.plan) {
    transfer.progress().SetBytesToFetch(BytesToFetch(*request.plan, staged.held()));
    if (Assemble(transfer, staged, *request.plan, request.localPath) &&
        staged.HasDigest(request.expectedDigest, keepWindowAlive)) {
      return true;
    }
    staged.StartOver();
    transfer.progress().StartAgain();
  } else if (staged.total()) {
    transfer.progress().SetBytesToFetch(*staged.total() - staged.held());
  }
  const bool continued = staged.held() > 0;
  if (!FetchWhole(transfer, staged)) return false;
  if (staged.HasDigest(request.expectedDigest, keepWindowAlive)) return true;
  staged.StartOver();
  transfer.progress().StartAgain();
  return continued && FetchWhole(transfer, staged) &&
         staged.HasDigest(request.expectedDigest, keepWindowAlive);
}

}  // namespace

bool DownloadFile(const DownloadRequest& request, const ProgressDisplay& showProgress,
                  const std::u16string& journalFolder) {
  const std::u16string& localPath = request.localPath;
  const size_t separator = localPath.find_last_of(kPathSeparators);
  if (separator != std::u16string::npos) {
    // CreateDirectories accepts a file of the folder's name, but nothing can
    // be stored below a file: such a target fails before any request.
    const std::u16string folder = localPath.substr(0, separator);
    if (!CreateDirectories(folder) || !IsFolder(folder)) return false;
  }
  if (IsFolder(localPath)) return false;

  StagedFile staged(request, journalFolder);
  staged.Resume(!request.expectedDigest.empty());
  Transfer transfer(request, showProgress);
  return StageFile(request, transfer, staged) && ReplaceTarget(staged, localPath);
}

void SettlePartialDownloads(const std::u16string& folder, const WantedReleases& wanted) {
  const std::optional<std::string> text = ReadOwnedFilesJournal(folder);
  const auto files = text ? ParseOwnedFiles(*text) : std::nullopt;
  if (!files) return;
  std::vector<OwnedFile> kept;
  for (const OwnedFile& file : *files) {
    const std::optional<PartialEntry> partial = PartialEntryOf(file);
    const bool isWanted =
        !partial || std::any_of(wanted.begin(), wanted.end(), [&](const auto& target) {
          const auto staged = PathBelow(folder, StagingPathFor(target.first));
          return staged && target.second == partial->release &&
                 EqualsIgnoringAsciiCase(std::u16string_view(*staged),
                                         std::u16string_view(partial->stagedPath));
        });
    if (isWanted) {
      kept.push_back(file);
    } else {
      DeleteFileW(AsWide(FullPathBelow(folder, partial->stagedPath)));
    }
  }
  for (const auto& target : wanted) {
    DeleteFileW(AsWide(StagingPathFor(target.first + u".piece")));
    const auto staged = PathBelow(folder, StagingPathFor(target.first));
    if (staged && !PartialToResume(kept, *staged, target.second, UINT64_MAX)) {
      DeleteFileW(AsWide(StagingPathFor(target.first)));
    }
  }
  if (!WriteOwnedFilesJournal(folder, FormatOwnedFiles(kept))) return;
}

bool CreateDirectories(const std::u16string& path) {
  if (path.empty()) return false;
  if (AttributesOf(path) != INVALID_FILE_ATTRIBUTES) return true;
  const size_t separator = path.find_last_of(kPathSeparators);
  if (separator != std::u16string::npos && separator != 0 &&
      !CreateDirectories(path.substr(0, separator))) {
    return false;
  }
  return CreateDirectoryW(AsWide(path), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}
