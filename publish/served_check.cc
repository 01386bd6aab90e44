#include "publish/served_check.h"

#include <chrono>
#include <optional>
#include <utility>

#include "base/sha256.h"
#include "base/utf8.h"
#include "download/url_encode.h"
#include "lists/block_index.h"
#include "lists/list_signature.h"
#include "publish/list_writer.h"
#include "publish/release_names.h"

namespace {

// A body as it arrived, or the one line that says why it did not.
struct Fetched {
  FetchAnswer answer;
  std::string problem;
};

std::string Shown(const std::u16string& url) { return ToUtf8(url); }

// The problem with an answer: no whole answer, or a status other than 2xx
// (an error page arrives like a body).
std::string ProblemOf(const FetchAnswer& answer) {
  if (!answer.failure.empty()) return "cannot be fetched: " + answer.failure;
  if (answer.status < 200 || answer.status > 299) {
    return "answered HTTP " + std::to_string(answer.status);
  }
  return std::string();
}

Fetched FetchWhole(HttpFetch& fetch, const std::u16string& url, const BodyBound& bound,
                   std::string& body) {
  Fetched fetched;
  fetched.answer = fetch.Get(url, bound, [&body](std::string_view piece) { body.append(piece); });
  fetched.problem = ProblemOf(fetched.answer);
  return fetched;
}

void CheckSignature(const std::u16string& baseUrl, const std::string& listText,
                    const std::string& publicKeyText, HttpFetch& fetch, Outcome& outcome) {
  const std::u16string url = baseUrl + std::u16string(kListFileName) +
                             std::u16string(kSignatureFileEnding);
  std::string signatureText;
  const Fetched fetched = FetchWhole(fetch, url, kSignatureBound, signatureText);
  if (!fetched.problem.empty()) {
    outcome.errors.push_back(Shown(url) + ": " + fetched.problem +
                             "; launchers built with the key take the list as no list");
  } else if (!IsListSignedBy(listText, signatureText, publicKeyText)) {
    outcome.errors.push_back(Shown(url) + ": not a signature of the served list by this key; "
                             "launchers built with the key take the list as no list");
  }
}

// One listed file: served with a 2xx status and, where the list has its
// digest, exactly those bytes once decoded. Returns the body's size.
uint64_t CheckFile(const std::u16string& baseUrl, const std::u16string& name,
                   const std::optional<std::string>& digest, HttpFetch& fetch, Outcome& outcome) {
  Sha256Hasher hasher;
  uint64_t size = 0;
  const FetchAnswer answer =
      fetch.Get(baseUrl + UrlEncode(name), kFileBound, [&](std::string_view piece) {
        hasher.Add(piece);
        size += piece.size();
      });
  const std::string problem = ProblemOf(answer);
  if (!problem.empty()) {
    outcome.errors.push_back(ToUtf8(name) + ": " + problem);
  } else if (digest && hasher.Finish() != *digest) {
    outcome.errors.push_back(
        ToUtf8(name) + ": the served body differs from the listed SHA-256 (a stale or wrong upload" +
        (answer.compressed ? ", or a stale precompressed .gz beside it: it came gzip-compressed)"
                           : ")"));
  }
  return size;
}

// The index served beside a large listed file: that of the listed bytes, or
// one warning (launchers then fetch the file whole, as they always did).
// Returns whether it fits.
bool CheckBlockIndex(const std::u16string& baseUrl, const std::u16string& name,
                     const std::string& digest, uint64_t size, HttpFetch& fetch,
                     Outcome& outcome) {
  const std::u16string index = BlockIndexNameOf(name);
  const BodyBound bound{MaxBlockIndexSize(size), std::chrono::minutes(10), 1};
  std::string text;
  const Fetched fetched = FetchWhole(fetch, baseUrl + UrlEncode(index), bound, text);
  const std::optional<BlockIndex> parsed =
      fetched.problem.empty() ? ParseBlockIndex(text) : std::nullopt;
  const bool fits = parsed && parsed->fileDigest == digest && parsed->fileSize == size;
  if (!fits) {
    outcome.warnings.push_back(
        ToUtf8(index) + ": " +
        (fetched.problem.empty() ? "not the block index of the listed bytes" : fetched.problem) +
        "; launchers fetch " + ToUtf8(name) + " whole");
  }
  return fits;
}

// Launchers fetch the changed blocks of a large file by ranges, and a server
// that answers a range with anything but that range of the plain body makes
// them fall back to the whole file: a warning, since they still update.
void CheckRanges(const std::u16string& url, uint64_t size, HttpFetch& fetch, Outcome& outcome) {
  const FetchAnswer answer = fetch.GetRange(url, 0, 0);
  const std::string fitting = "bytes 0-0/" + std::to_string(size);
  std::string why;
  if (!answer.failure.empty()) {
    why = answer.failure;
  } else if (answer.status != 206) {
    why = "bytes=0-0 answered HTTP " + std::to_string(answer.status);
  } else if (answer.compressed) {
    why = "bytes=0-0 came content-coded, a range of a .gz rather than of the file";
  } else if (answer.contentRange != fitting) {
    why = "bytes=0-0 came as \"" + answer.contentRange + "\", not \"" + fitting + "\"";
  }
  if (!why.empty()) {
    outcome.warnings.push_back(ToUtf8(url) + ": ranges off (" + why +
                               "): launchers fetch whole files, never only changed blocks");
  }
}

}  // namespace

Outcome CheckServed(const std::u16string& baseUrlGiven,
                    const std::optional<std::string>& publicKeyText, HttpFetch& fetch,
                    const ProgressLine& progressLine) {
  Outcome outcome;
  std::u16string baseUrl = baseUrlGiven;
  if (baseUrl.empty() || baseUrl.back() != u'/') baseUrl += u'/';
  const std::u16string listUrl = baseUrl + std::u16string(kListFileName);
  std::string listText;
  const Fetched list = FetchWhole(fetch, listUrl, kListBound, listText);
  if (!list.problem.empty()) {
    outcome.errors.push_back(Shown(listUrl) + ": " + list.problem);
    return outcome;
  }
  if (publicKeyText) CheckSignature(baseUrl, listText, *publicKeyText, fetch, outcome);

  const std::vector<ListedFile> listed = ReadListedFiles(listText);
  Progress progress("checking", listed.size(), std::nullopt, progressLine);
  size_t hashed = 0, indexed = 0;
  // The file a range is asked of: the first with an index, else any with
  // bytes.
  std::optional<std::pair<std::u16string, uint64_t>> ranged;
  for (const ListedFile& file : listed) {
    if (!file.name) {
      outcome.errors.push_back(file.problem);
      progress.Done(0);
      continue;
    }
    hashed += file.digest.has_value();
    if (publicKeyText && !file.digest) {
      outcome.errors.push_back(ToUtf8(*file.name) +
                               ": its line has no SHA-256; launchers built with the key fail it");
    }
    const size_t errors = outcome.errors.size();
    const uint64_t size = CheckFile(baseUrl, *file.name, file.digest, fetch, outcome);
    const bool served = outcome.errors.size() == errors;
    const bool hasIndex = served && file.digest && ServedWithBlockIndex(size);
    if (hasIndex) {
      indexed += CheckBlockIndex(baseUrl, *file.name, *file.digest, size, fetch, outcome);
    }
    if (served && size > 0 && (!ranged || (hasIndex && !ServedWithBlockIndex(ranged->second)))) {
      ranged.emplace(baseUrl + UrlEncode(*file.name), size);
    }
    progress.Done(size);
  }
  if (ranged) CheckRanges(ranged->first, ranged->second, fetch, outcome);
  const std::string summary = Shown(baseUrl) + ": " + std::to_string(listed.size()) +
                              " listed files";
  if (outcome.errors.empty()) {
    outcome.notes.push_back(summary + ", all served, " + std::to_string(hashed) +
                            " with their SHA-256 checked" +
                            (indexed ? ", " + std::to_string(indexed) +
                                           " block indices fitting them"
                                     : std::string()) +
                            (publicKeyText ? ", the list signed by the key" : ""));
  } else {
    outcome.errors.push_back(summary + ", " + std::to_string(outcome.errors.size()) +
                             " problems: launchers fail these files or take the list as no list");
  }
  return outcome;
}
