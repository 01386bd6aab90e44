// WithoutLinesNaming, the rewrite of local_list.txt after a pass, for any
// list text and any choice of failed files among the names it lists (the
// first input byte picks them, one bit per line, repeating every eight
// lines). The result is the input's lines (each with its own LF) with some
// left out: every line kept is byte-identical and in its order, no line that
// names no failed file is left out, and the list parser finds no failed file
// in the result (files by StoredNameKey). KeepingRecordedLines then adds a
// local list's lines (the input after its first form feed) without losing a
// recorded version.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/update_pass.h"
#include "fuzz/fuzz_text.h"
#include "lists/ansi.h"
#include "lists/storable_name.h"
#include "lists/version_list.h"

namespace {

// The text cut after every LF; the last piece may lack one.
std::vector<std::string_view> RawLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const size_t length = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

std::u16string StoredName(std::string_view name) { return AnsiToWide(std::string(name)); }

// The failed names: those of the lines whose bit in mask is set.
std::set<std::u16string> FailedNames(std::string_view text, uint8_t mask) {
  std::set<std::u16string> failed;
  size_t index = 0;
  ReadListLines(text, [&](std::string_view line) {
    if (mask & (1u << (index++ % 8))) failed.insert(StoredName(ListLineName(line)));
  });
  return failed;
}

// The files the listed names stand for, of the failed names alone if given.
std::set<std::string> FilesOf(const VersionList& server,
                              const std::set<std::u16string>* failed = nullptr) {
  std::set<std::string> files;
  for (const auto& entry : server) {
    if (!failed || failed->count(StoredName(entry.first))) files.insert(StoredNameKey(entry.first));
  }
  return files;
}

bool NamesFailedFile(std::string_view rawLine, const std::set<std::string>& failedFiles) {
  bool names = false;
  ReadListLines(rawLine, [&](std::string_view line) {
    names = failedFiles.count(StoredNameKey(ListLineName(line))) != 0;
  });
  return names;
}

// What a signed list leaves recorded: every name whose line this list does
// not replace (not listed, or failed) keeps the local list's version, every
// other name the server list's.
void CheckKeptRecord(const std::string& kept, const std::string& serverText,
                     const std::string& localText, const std::set<std::u16string>& failed) {
  const VersionList server = ParseVersionList(serverText);
  const VersionList local = ParseVersionList(localText);
  const VersionList record =
      ParseVersionList(KeepingRecordedLines(kept, localText, server, failed));
  const std::set<std::string> listedFiles = FilesOf(server);
  const std::set<std::string> failedFiles = FilesOf(server, &failed);
  for (const auto& [name, version] : local) {
    const std::string file = StoredNameKey(name);
    if (!listedFiles.count(file) || failedFiles.count(file)) {
      Require(record.count(name) && record.at(name) == version, "no recorded version is lost");
    }
  }
  for (const auto& [name, version] : record) {
    const bool fromServer = server.count(name) && failedFiles.count(StoredNameKey(name)) == 0;
    Require(fromServer ? version == server.at(name) : local.count(name) != 0,
            "every recorded version comes from the list or from the record before");
  }
}

}  // namespace

// Input: a mask byte, the server text, and after the first form feed the
// local list that a signed list's record keeps lines of.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view input = AsText(data + 1, size - 1);
  const size_t split = std::min(input.find('\f'), input.size());
  const std::string text(input.substr(0, split));
  const std::string localText(input.substr(std::min(split + 1, input.size())));
  const std::set<std::u16string> failed = FailedNames(text, data[0]);
  const std::set<std::string> failedFiles = FilesOf(ParseVersionList(text), &failed);

  const std::string kept = WithoutLinesNaming(text, failed);

  std::string expected;
  for (const std::string_view line : RawLines(text)) {
    if (!NamesFailedFile(line, failedFiles)) expected.append(line);
  }
  Require(kept == expected,
          "keeps exactly the lines that name no failed file, byte for byte and in order");
  for (const auto& entry : ParseVersionList(kept)) {
    Require(!failedFiles.count(StoredNameKey(entry.first)), "no kept line names a failed file");
  }
  CheckKeptRecord(kept, text, localText, failed);
  return 0;
}
