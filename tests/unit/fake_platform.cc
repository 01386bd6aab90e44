#include "tests/unit/fake_platform.h"

#include "base/hex_text.h"
#include "base/utf8.h"

namespace {

std::string Join(const std::vector<std::u16string>& names) {
  std::string joined;
  for (const auto& name : names) joined += (joined.empty() ? "" : ",") + Utf8(name);
  return joined;
}

}  // namespace

std::string Utf8(const std::u16string& text) { return ToUtf8(text); }

bool FakePlatform::PathExists(const std::u16string& path) {
  calls.push_back("PathExists(" + Utf8(path) + ")");
  return existingPaths.count(path) > 0;
}

bool FakePlatform::MakeDirectory(const std::u16string& path) {
  calls.push_back("MakeDirectory(" + Utf8(path) + ")");
  if (creatableDirectories.count(path) == 0) return false;
  existingPaths.insert(path);
  return true;
}

std::string FakePlatform::ReadTextFile(const std::u16string& path) {
  calls.push_back("ReadTextFile(" + Utf8(path) + ")");
  const auto found = files.find(path);
  return found == files.end() ? std::string() : found->second;
}

void FakePlatform::WriteTextFile(const std::u16string& path, const std::string& text) {
  calls.push_back("WriteTextFile(" + Utf8(path) + ")");
  files[path] = text;
}

KeptFileRead FakePlatform::ReadKeptFile(const std::u16string& path, size_t maxBytes) {
  calls.push_back("ReadKeptFile(" + Utf8(path) + ")");
  const auto found = files.find(path);
  if (unreadableFiles.count(path) > 0 || (found != files.end() && found->second.size() > maxBytes)) {
    return {KeptFileRead::Status::kUnreadable, {}};
  }
  if (found == files.end()) return {KeptFileRead::Status::kMissing, {}};
  return {KeptFileRead::Status::kRead, found->second};
}

bool FakePlatform::ReplaceFileDurably(const std::u16string& path, const std::string& text) {
  calls.push_back("ReplaceFileDurably(" + Utf8(path) + ")");
  if (unwritableFiles.count(path) > 0) return false;
  files[path] = text;
  return true;
}

std::optional<uint64_t> FakePlatform::FileSize(const std::u16string& path) {
  calls.push_back("FileSize(" + Utf8(path) + ")");
  const auto size = fileSizes.find(path);
  if (size != fileSizes.end()) return size->second;
  const auto found = files.find(path);
  if (found == files.end()) return std::nullopt;
  return found->second.size();
}

bool FakePlatform::ReadFileInPieces(const std::u16string& path,
                                    const std::function<void(std::string_view)>& onPiece) {
  calls.push_back("ReadFileInPieces(" + Utf8(path) + ")");
  const auto found = files.find(path);
  if (found == files.end() || unreadableFiles.count(path) > 0) return false;
  // Pieces of an odd size, so that blocks straddle them.
  constexpr size_t kPieceSize = 100003;
  const std::string_view bytes = found->second;
  for (size_t at = 0; at < bytes.size(); at += kPieceSize) onPiece(bytes.substr(at, kPieceSize));
  return true;
}

void FakePlatform::SettlePartialDownloads(const std::u16string& folder,
                                          const std::map<std::u16string, std::string>& wanted) {
  std::string pairs;
  for (const auto& [target, release] : wanted) {
    pairs += (pairs.empty() ? "" : ",") + Utf8(target) + "=" + release;
  }
  calls.push_back("SettlePartialDownloads(" + Utf8(folder) + "|" + pairs + ")");
}

void FakePlatform::SettleAsideCopies(const std::u16string& folder,
                                     const std::vector<std::u16string>& recordedTargets) {
  calls.push_back("SettleAsideCopies(" + Utf8(folder) + "|" + Join(recordedTargets) + ")");
}

std::string FakePlatform::FetchServerList(const std::u16string& url, uint64_t sizeLimit) {
  calls.push_back("FetchServerList(" + Utf8(url) + ")");
  const std::string& served =
      url.size() >= 4 && url.compare(url.size() - 4, 4, u".sig") == 0 ? serverSignature
                                                                       : serverList;
  return served.size() > sizeLimit ? std::string() : served;
}

std::string FakePlatform::FetchBlockIndex(const std::u16string& url) {
  calls.push_back("FetchBlockIndex(" + Utf8(url) + ")");
  const auto found = blockIndices.find(url);
  return found == blockIndices.end() ? std::string() : found->second;
}

bool FakePlatform::DownloadFile(const DownloadRequest& request) {
  const std::string digest =
      request.expectedDigest.empty() ? "" : "|sha256=" + EncodeHex(request.expectedDigest);
  calls.push_back("DownloadFile(" + Utf8(request.url) + "|" + Utf8(request.localPath) + "|" +
                  Utf8(request.displayName) + digest + ")");
  requests.push_back(request);
  if (failingDownloads.count(request.url) > 0) return false;
  existingPaths.insert(request.localPath);
  return true;
}

bool FakePlatform::CloseRunningApplications(const std::vector<std::u16string>& names) {
  calls.push_back("CloseRunningApplications(" + Join(names) + ")");
  return closeResult;
}

void FakePlatform::ShowMessage(const std::u16string& text, const std::u16string& caption,
                               MessageIcon icon) {
  calls.push_back("ShowMessage(" + Utf8(text) + "|" + Utf8(caption) + "|" +
                  std::to_string(static_cast<unsigned>(icon)) + ")");
}

void FakePlatform::CreateProgressWindow() { calls.push_back("CreateProgressWindow()"); }

void FakePlatform::SetFileListText(const std::vector<std::u16string>& names) {
  calls.push_back("SetFileListText(" + Join(names) + ")");
}

void FakePlatform::SetOverallProgressText(int current, int total) {
  calls.push_back("SetOverallProgressText(" + std::to_string(current) + "/" +
                  std::to_string(total) + ")");
}

void FakePlatform::ResetProgressBar() { calls.push_back("ResetProgressBar()"); }

void FakePlatform::DestroyProgressWindow() { calls.push_back("DestroyProgressWindow()"); }

void FakePlatform::CreateDesktopShortcut(const std::u16string& target,
                                         const std::u16string& workingDirectory,
                                         const std::u16string& iconPath) {
  calls.push_back("CreateDesktopShortcut(" + Utf8(target) + "|" + Utf8(workingDirectory) + "|" +
                  Utf8(iconPath) + ")");
}

void FakePlatform::StartProgram(const std::u16string& file, const std::u16string& parameters,
                                const std::u16string& directory) {
  calls.push_back("StartProgram(" + Utf8(file) + "|" + Utf8(parameters) + "|" + Utf8(directory) +
                  ")");
}

std::vector<std::string> FakePlatform::CallsTo(const std::string& prefix) const {
  std::vector<std::string> matching;
  for (const auto& call : calls) {
    if (call.rfind(prefix, 0) == 0) matching.push_back(call);
  }
  return matching;
}
