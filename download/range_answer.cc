#include "download/range_answer.h"

#include <algorithm>
#include <string>

#include "base/ascii_case.h"
#include "base/hex_text.h"
#include "base/http_answer.h"
#include "base/staging_path.h"
#include "base/utf8.h"

namespace {

constexpr uint32_t kPartialStatus = 206;
constexpr uint32_t kRangeNotSatisfiable = 416;
constexpr char kFieldSeparator = '|';

std::u16string Decimal(uint64_t value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

std::optional<uint64_t> ParseDecimal(std::string_view digits) {
  return ParseDecimalDigits(std::u16string(digits.begin(), digits.end()));
}

struct ContentRange {
  ByteRange range;
  uint64_t total = 0;
};

// "bytes first-last/total"; a total of "*" (unknown) is no use for a file
// that must end at a known length.
std::optional<ContentRange> ParseContentRange(std::u16string_view value) {
  constexpr std::u16string_view kUnit = u"bytes ";
  if (!EqualsIgnoringAsciiCase(value.substr(0, kUnit.size()), kUnit)) return std::nullopt;
  value.remove_prefix(kUnit.size());
  const size_t dash = value.find(u'-');
  const size_t slash = value.find(u'/');
  if (dash == std::u16string_view::npos || slash == std::u16string_view::npos || slash < dash) {
    return std::nullopt;
  }
  const auto first = ParseDecimalDigits(value.substr(0, dash));
  const auto last = ParseDecimalDigits(value.substr(dash + 1, slash - dash - 1));
  const auto total = ParseDecimalDigits(value.substr(slash + 1));
  if (!first || !last || !total || *first > *last || *last >= *total) return std::nullopt;
  return ContentRange{{*first, *last}, *total};
}

bool IsContentCoded(std::u16string_view headers) {
  const auto coding = HeaderValue(headers, u"Content-Encoding");
  return coding && !EqualsIgnoringAsciiCase<char16_t>(*coding, u"identity");
}

bool IsSameStagedPath(const PartialEntry& partial, std::u16string_view stagedPath) {
  return EqualsIgnoringAsciiCase(std::u16string_view(partial.stagedPath), stagedPath);
}

}  // namespace

std::vector<ByteRange> PiecesOf(uint64_t start, uint64_t end) {
  std::vector<ByteRange> pieces;
  for (uint64_t first = start; first < end; first += std::min(kMaxPieceBytes, end - first)) {
    pieces.push_back({first, first + std::min(kMaxPieceBytes, end - first) - 1});
  }
  return pieces;
}

std::u16string RangeRequestHeaders(const ByteRange& piece, std::u16string_view validator) {
  std::u16string headers =
      u"Range: bytes=" + Decimal(piece.first) + u"-" + Decimal(piece.last) + u"\r\n";
  if (!validator.empty()) headers += u"If-Range: " + std::u16string(validator) + u"\r\n";
  return headers;
}

std::optional<uint64_t> FileLengthOf(std::u16string_view headers) {
  const auto rangeText = HeaderValue(headers, u"Content-Range");
  if (!rangeText) return PlainBodyLength(std::u16string(headers));
  const std::optional<ContentRange> range = ParseContentRange(*rangeText);
  return range ? std::optional<uint64_t>(range->total) : std::nullopt;
}

std::u16string ValidatorOf(std::u16string_view headers) {
  auto validator = HeaderValue(headers, u"ETag");
  if (!validator || validator->empty()) validator = HeaderValue(headers, u"Last-Modified");
  return validator ? std::u16string(*validator) : std::u16string();
}

PieceAnswer JudgePieceAnswer(uint32_t status, std::u16string_view headers, const ByteRange& piece,
                             std::optional<uint64_t> expectedTotal,
                             std::u16string_view expectedValidator) {
  if (status == kWholeBodyStatus) return {PieceVerdict::kWholeBody, 0, {}};
  // Nothing at the asked start: the file is shorter than the bytes staged.
  if (status == kRangeNotSatisfiable) return {PieceVerdict::kStartOver, 0, {}};
  if (status != kPartialStatus) return {PieceVerdict::kFailed, 0, {}};
  const auto rangeText = HeaderValue(headers, u"Content-Range");
  const std::optional<ContentRange> answered =
      rangeText ? ParseContentRange(*rangeText) : std::nullopt;
  if (!answered || IsContentCoded(headers)) return {PieceVerdict::kStartOver, 0, {}};
  const uint64_t total = answered->total;
  std::u16string validator = ValidatorOf(headers);
  const bool fits = answered->range.first == piece.first &&
                    answered->range.last == std::min(piece.last, total - 1) &&
                    (!expectedTotal || total == *expectedTotal) &&
                    (expectedValidator.empty() || validator == expectedValidator);
  if (!fits) return {PieceVerdict::kStartOver, 0, {}};
  return {PieceVerdict::kFits, total, std::move(validator)};
}

OwnedFile JournalEntryOf(const PartialEntry& partial) {
  std::string rest = ToUtf8(partial.stagedPath);
  for (const std::string& field :
       {std::to_string(partial.heldBytes), std::to_string(partial.total),
        EncodeHex(partial.release), EncodeHex(ToUtf8(partial.validator))}) {
    rest += kFieldSeparator + field;
  }
  // Its state is only ever "kept": the entry is removed when the file goes.
  return {std::string(kPartialKind), "kept", rest};
}

std::optional<PartialEntry> PartialEntryOf(const OwnedFile& entry) {
  if (entry.kind != kPartialKind) return std::nullopt;
  std::vector<std::string_view> fields;
  std::string_view rest = entry.rest;
  for (size_t end; (end = rest.find(kFieldSeparator)) != std::string_view::npos;) {
    fields.push_back(rest.substr(0, end));
    rest.remove_prefix(end + 1);
  }
  fields.push_back(rest);
  if (fields.size() != 5) return std::nullopt;
  const auto staged = FromUtf8(fields[0]);
  const auto held = ParseDecimal(fields[1]);
  const auto total = ParseDecimal(fields[2]);
  const auto release = DecodeHex(fields[3]);
  const auto validatorUtf8 = DecodeHex(fields[4]);
  const auto validator = validatorUtf8 ? FromUtf8(*validatorUtf8) : std::nullopt;
  if (!staged || !IsStagingPath(*staged) || !IsRelativePathBelow(*staged) || !held || !total ||
      *held > *total || !release || !validator) {
    return std::nullopt;
  }
  return PartialEntry{*staged, *held, *total, *release, *validator};
}

std::optional<PartialEntry> PartialToResume(const std::vector<OwnedFile>& journal,
                                            std::u16string_view stagedPath,
                                            std::string_view release, uint64_t stagedSize) {
  for (const OwnedFile& entry : journal) {
    const std::optional<PartialEntry> partial = PartialEntryOf(entry);
    if (!partial || !IsSameStagedPath(*partial, stagedPath)) continue;
    const bool resumable = partial->release == release && partial->heldBytes < partial->total &&
                           0 < partial->heldBytes && partial->heldBytes <= stagedSize;
    return resumable ? partial : std::nullopt;
  }
  return std::nullopt;
}

std::vector<OwnedFile> WithPartial(std::vector<OwnedFile> journal,
                                   std::u16string_view stagedPath,
                                   const std::optional<PartialEntry>& partial) {
  journal.erase(std::remove_if(journal.begin(), journal.end(),
                               [&](const OwnedFile& entry) {
                                 const auto noted = PartialEntryOf(entry);
                                 return noted && IsSameStagedPath(*noted, stagedPath);
                               }),
                journal.end());
  if (partial) journal.push_back(JournalEntryOf(*partial));
  return journal;
}

uint64_t FetchProgress::DuringPiece(uint64_t length, uint64_t percent) {
  if (!toFetch_) return DuringWholeBody(percent);
  percent = std::min<uint64_t>(percent, 100);
  // The last piece asked may be longer than what is left of the file.
  const uint64_t left = *toFetch_ - std::min(fetched_, *toFetch_);
  return Show(fetched_ + std::min(length, left) * percent / 100);
}

uint64_t FetchProgress::DuringWholeBody(uint64_t percent) {
  return shown_ = std::max(shown_, std::min<uint64_t>(percent, 100));
}

uint64_t FetchProgress::PieceDone(uint64_t length) {
  fetched_ += length;
  return Show(fetched_);
}

uint64_t FetchProgress::Show(uint64_t bytes) {
  if (!toFetch_) return shown_;
  const uint64_t percent =
      *toFetch_ == 0 ? 100 : std::min<uint64_t>(bytes, *toFetch_) * 100 / *toFetch_;
  shown_ = std::max(shown_, percent);
  return shown_;
}
