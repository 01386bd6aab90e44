// Drives DownloadFile and the progress window the way the update pass does,
// for checks under Wine:
//   download_probe [--bare | --no-window] [--digests] [--settle] [--plan RUNS] URL LOCAL_PATH
//                  DISPLAY_NAME [DIGEST] ...
// --bare calls URLDownloadToFileW alone for each file (no callback, no
// staging, no checks): the floor of the platform's URL services.
// With --digests every file carries a fourth argument, the SHA-256 its body
// must have as 64 hex digits, which is also its release (a cut transfer of
// it continues at the next call). --plan puts every file together from its
// installed copy: RUNS is "h<offset>+<length>" (held, from that offset of the
// installed copy) or "f<length>" (fetched), separated by commas. --settle
// fetches nothing: it runs SettlePartialDownloads for the folder of the first
// file, wanting the files given at their releases.
// Prints one line per file, "k/n ok" or "k/n failed", and then the status
// label's last text as UTF-8. Exit code 0 when every file was stored, 1 when
// one failed, 2 on bad arguments.
#include <windows.h>

#include <commctrl.h>
#include <urlmon.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/hex_text.h"
#include "base/wide_string_win.h"
#include "download/download_file.h"
#include "download/url_encode.h"
#include "ui/progress_window_win.h"

namespace {

struct FileToFetch {
  std::u16string url;
  std::u16string localPath;
  std::u16string displayName;
  std::string expectedDigest;
};

std::optional<uint64_t> Number(const std::wstring& text) {
  if (text.empty() || text.find_first_not_of(L"0123456789") != std::wstring::npos) {
    return std::nullopt;
  }
  return std::stoull(text);
}

std::optional<AssemblyPlan> ParsePlan(std::wstring runs) {
  AssemblyPlan plan;
  runs += L',';
  for (size_t end; (end = runs.find(L',')) != std::wstring::npos; runs.erase(0, end + 1)) {
    const std::wstring run = runs.substr(0, end);
    const size_t plus = run.find(L'+');
    const bool held = !run.empty() && run[0] == L'h' && plus != std::wstring::npos;
    const auto offset = held ? Number(run.substr(1, plus - 1)) : uint64_t{0};
    const auto length = Number(held ? run.substr(plus + 1) : run.substr(run.empty() ? 0 : 1));
    if (!offset || !length || (!held && run[0] != L'f')) return std::nullopt;
    plan.runs.push_back({*length, held, *offset});
    plan.fileSize += *length;
  }
  return plan;
}

std::string Utf8(const std::u16string& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, AsWide(text), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(size > 0 ? size : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, AsWide(text), -1, bytes.data(), size, nullptr, nullptr);
  bytes.resize(bytes.size() - 1);
  return bytes;
}

std::u16string WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return FromWide(text);
}

// The journal of aside copies goes beside each file.
std::u16string FolderOf(const std::u16string& path) {
  return path.substr(0, path.find_last_of(u"\\/"));
}

bool FetchBare(const FileToFetch& file) {
  return URLDownloadToFileW(nullptr, AsWide(UrlEncode(file.url)), AsWide(file.localPath), 0,
                            nullptr) == S_OK;
}

bool FetchAll(const std::vector<FileToFetch>& files, bool bare,
              const std::optional<AssemblyPlan>& plan) {
  const int total = static_cast<int>(files.size());
  bool allStored = true;
  for (int k = 1; k <= total; ++k) {
    const FileToFetch& file = files[k - 1];
    SetOverallProgressText(k, total);
    const bool stored =
        bare ? FetchBare(file)
             : DownloadFile({file.url, file.localPath, file.displayName, file.expectedDigest,
                             file.expectedDigest, plan},
                            ShowDownloadProgress, FolderOf(file.localPath));
    ResetProgressBar();
    std::printf("%d/%d %s\n", k, total, stored ? "ok" : "failed");
    std::fflush(stdout);
    allStored = allStored && stored;
  }
  return allStored;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int first = 1;
  const bool bare = argc > 1 && std::wstring(argv[1]) == L"--bare";
  const bool withWindow = !bare && !(argc > 1 && std::wstring(argv[1]) == L"--no-window");
  if (!withWindow) ++first;
  const bool withDigests = argc > first && std::wstring(argv[first]) == L"--digests";
  if (withDigests) ++first;
  const bool settle = argc > first && std::wstring(argv[first]) == L"--settle";
  if (settle) ++first;
  std::optional<AssemblyPlan> plan;
  if (argc > first + 1 && std::wstring(argv[first]) == L"--plan") {
    plan = ParsePlan(argv[first + 1]);
    if (!plan) return 2;
    first += 2;
  }
  const int perFile = withDigests ? 4 : 3;
  if (argc - first < perFile || (argc - first) % perFile != 0) {
    std::fprintf(stderr,
                 "usage: download_probe [--bare | --no-window] [--digests] [--settle] [--plan RUNS] URL "
                 "LOCAL_PATH DISPLAY_NAME [DIGEST] ...\n");
    return 2;
  }
  std::vector<FileToFetch> files;
  std::vector<std::u16string> names;
  for (int i = first; i < argc; i += perFile) {
    files.push_back({FromWide(argv[i]), FromWide(argv[i + 1]), FromWide(argv[i + 2]), ""});
    if (withDigests) {
      const std::optional<std::string> digest = DecodeHex(Utf8(FromWide(argv[i + 3])));
      if (!digest) return 2;
      files.back().expectedDigest = *digest;
    }
    names.push_back(files.back().displayName);
  }

  if (settle) {
    WantedReleases wanted;
    for (const FileToFetch& file : files) wanted[file.localPath] = file.expectedDigest;
    SettlePartialDownloads(FolderOf(files.front().localPath), wanted);
    return 0;
  }
  InitCommonControls();
  if (withWindow) {
    CreateProgressWindow(GetModuleHandleW(nullptr));
    SetFileListText(names);
    SetOverallProgressText(0, static_cast<int>(files.size()));
  }
  const bool allStored = FetchAll(files, bare, plan);
  // The status label is the control created right after the file list.
  const HWND window = FindWindowW(L"DownloadProgressClass", nullptr);
  if (window != nullptr) {
    const HWND statusLabel = GetWindow(GetDlgItem(window, IDC_FILE_LIST), GW_HWNDNEXT);
    std::printf("status: %s\n", Utf8(WindowText(statusLabel)).c_str());
  }
  DestroyProgressWindow();
  return allStored ? 0 : 1;
}
