#include "publish/served_check.h"

#include "base/sha256.h"
#include "base/utf8.h"
#include "download/url_encode.h"
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
  size_t hashed = 0;
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
    progress.Done(CheckFile(baseUrl, *file.name, file.digest, fetch, outcome));
  }
  const std::string summary = Shown(baseUrl) + ": " + std::to_string(listed.size()) +
                              " listed files";
  if (outcome.errors.empty()) {
    outcome.notes.push_back(summary + ", all served, " + std::to_string(hashed) +
                            " with their SHA-256 checked" +
                            (publicKeyText ? ", the list signed by the key" : ""));
  } else {
    outcome.errors.push_back(summary + ", " + std::to_string(outcome.errors.size()) +
                             " problems: launchers fail these files or take the list as no list");
  }
  return outcome;
}
