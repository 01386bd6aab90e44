// The decisions of a transfer made in ranged pieces: what each request asks,
// what its answer means for the staged file, whether a staged file a cut
// transfer left may be continued, and how far the call's progress has come.
#ifndef DOWNLOAD_RANGE_ANSWER_H_
#define DOWNLOAD_RANGE_ANSWER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "download/owned_files.h"

// One request never asks for more, so a kill loses at most this much.
inline constexpr uint64_t kMaxPieceBytes = uint64_t{16} << 20;

// The bytes first..last of a file, both included, as HTTP counts them.
struct ByteRange {
  uint64_t first = 0;
  uint64_t last = 0;
  uint64_t Length() const { return last - first + 1; }
};

// The pieces that cover the bytes start..end-1, none longer than
// kMaxPieceBytes; none for an empty span.
std::vector<ByteRange> PiecesOf(uint64_t start, uint64_t end);

// The request header lines for a piece: the Range, and an If-Range with the
// validator an earlier piece's answer gave, when there is one, so that a file
// changed meanwhile is answered whole instead of mixed.
std::u16string RangeRequestHeaders(const ByteRange& piece, std::u16string_view validator);

// The length of the whole file an answer's headers tell: the total of its
// Content-Range, else its plain Content-Length.
std::optional<uint64_t> FileLengthOf(std::u16string_view headers);

// What identifies one version of the served file: its ETag, or else its
// Last-Modified; empty when the answer gives neither.
std::u16string ValidatorOf(std::u16string_view headers);

enum class PieceVerdict {
  kFits,       // the asked bytes of the expected file: append them
  kWholeBody,  // a 200: the body is the whole file, as a plain download
  kStartOver,  // the server's file is not the one the staged bytes came from
  kFailed,     // no usable answer
};

struct PieceAnswer {
  PieceVerdict verdict = PieceVerdict::kFailed;
  uint64_t total = 0;        // with kFits, the file's length as Content-Range gives it
  std::u16string validator;  // with kFits, the answer's validator
};

// Judges the answer to a request for piece. expectedTotal and
// expectedValidator come from earlier pieces of the same staged file (empty
// validator: none known). A 206 fits only when its Content-Range names
// exactly the asked bytes of a file of the expected length with the expected
// validator, and carries no content coding (its bytes would not be the
// file's); otherwise the staged bytes cannot be trusted to continue.
PieceAnswer JudgePieceAnswer(uint32_t status, std::u16string_view headers, const ByteRange& piece,
                             std::optional<uint64_t> expectedTotal,
                             std::u16string_view expectedValidator);

// A staged file of a transfer that did not finish, as its journal entry
// (kind "partial") notes it. Only the first heldBytes of it were flushed
// before the entry was written.
struct PartialEntry {
  std::u16string stagedPath;  // below the application directory
  uint64_t heldBytes = 0;
  uint64_t total = 0;
  std::string release;      // the list's text for the file it belongs to
  std::u16string validator;  // of the answers its fetched bytes came from
};

inline constexpr std::string_view kPartialKind = "partial";

// The journal entry; the release and validator are hex, so no "|" or line
// break in them can break the line.
OwnedFile JournalEntryOf(const PartialEntry& partial);
// Nothing for another kind, or for an entry whose fields do not parse or
// whose staged path is no staging file below the application directory.
std::optional<PartialEntry> PartialEntryOf(const OwnedFile& entry);

// The journal's entry whose held bytes a transfer of stagedPath for release
// keeps: the one for the same staged path and release, when the staged file
// still has those bytes and they are not yet the whole file; nothing (start
// over) otherwise.
std::optional<PartialEntry> PartialToResume(const std::vector<OwnedFile>& journal,
                                            std::u16string_view stagedPath,
                                            std::string_view release, uint64_t stagedSize);

// The journal with the entry for partial's staged path replaced (or added);
// an empty stagedPath of the partial only removes the old entry.
std::vector<OwnedFile> WithPartial(std::vector<OwnedFile> journal,
                                   std::u16string_view stagedPath,
                                   const std::optional<PartialEntry>& partial);

// The percentage of one call's transfer: the bytes fetched in this call of
// the bytes it has to fetch, 0 to 100 and never less than shown before.
class FetchProgress {
 public:
  explicit FetchProgress(std::optional<uint64_t> bytesToFetch) : toFetch_(bytesToFetch) {}

  // Until the bytes to fetch are known, a piece's own percentage is shown.
  bool KnowsBytesToFetch() const { return toFetch_.has_value(); }
  void SetBytesToFetch(uint64_t bytes) { toFetch_ = bytes; }

  // A piece of at most length bytes reported percent of itself done.
  uint64_t DuringPiece(uint64_t length, uint64_t percent);
  // A piece of length bytes was fetched whole.
  uint64_t PieceDone(uint64_t length);
  // The call fetches the file anew, of a length not yet known; the figure
  // stays where it was until the new count passes it.
  void StartAgain() {
    toFetch_.reset();
    fetched_ = 0;
  }
  // The figure last shown, for reports that only keep the window alive.
  uint64_t Shown() const { return shown_; }

 private:
  uint64_t Show(uint64_t bytes);

  std::optional<uint64_t> toFetch_;
  uint64_t fetched_ = 0;
  uint64_t shown_ = 0;
};

#endif  // DOWNLOAD_RANGE_ANSWER_H_
