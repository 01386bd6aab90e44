// Runs one program with an exact command line and reports, as one JSON object
// per line on stdout, what a user would have seen: every message box (closed
// with OK once read), samples of the download progress window, other windows
// the program opened, its exit code, and afterwards the desktop shortcut.
//
//   bench_driver.exe PROGRAM COMMAND_LINE_FILE [options]
//
// COMMAND_LINE_FILE holds the whole command line in UTF-16LE without a byte
// order mark, so that no layer re-quotes or re-encodes it on the way.
// Options:
//   --timeout-ms N       terminate the program after N ms (default 60000)
//   --sample-ms N        polling interval (default 20)
//   --shortcut HEX       after the exit, read DESKTOP\NAME back; NAME given
//                        as hex UTF-16 units, four digits each
//   --keep-boxes         leave message boxes open (the program then hangs)
//   --child-wait-ms N    after the exit, wait up to N ms for the programs it
//                        started (default 15000)
//   --kill-on-text HEX   terminate the program as soon as a control of its
//                        progress window shows this text (hex as above), e.g.
//                        to cut a run short in the middle of a download
//   --kill-after-ms N    terminate the program after N ms, reported as killed
//
// Windows of other processes are read with calls that never wait on their
// thread (GetWindowTextW reads the stored title of a foreign window) or with
// a short SendMessageTimeoutW: the progress window is only pumped while a
// transfer runs.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/scoped_win.h"
#include "tests/wine/programs/bench_io.h"

namespace {

constexpr UINT kSendTimeoutMs = 200;
constexpr int kMessageBoxIconId = 0x0440;  // stc1, the icon static of a message box

DWORD g_start_ticks = 0;

std::string Number(long long value) { return std::to_string(value); }

void Emit(const std::string& event, const std::string& fields) {
  std::string line = "{\"event\":\"" + event + "\",\"time_ms\":" +
                     Number(GetTickCount() - g_start_ticks) + fields + "}\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
            &written, nullptr);
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[8192] = {};
  GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer)));
  return buffer;
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256] = {};
  GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
  return buffer;
}

std::string Hex(unsigned long long value) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "\"0x%llx\"", value);
  return buffer;
}

std::string RectJson(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return "[" + Number(r.left) + "," + Number(r.top) + "," + Number(r.right) + "," +
         Number(r.bottom) + "]";
}

std::string StylesJson(HWND window) {
  return ",\"style\":" + Hex(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE))) +
         ",\"ex_style\":" + Hex(static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
}

// The result of a message to another process's window, or null when it does
// not answer in time.
std::string AskWindow(HWND window, UINT message, WPARAM wparam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wparam, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                           kSendTimeoutMs, &result)) {
    return "null";
  }
  return Number(static_cast<int>(result));
}

BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

// Extra fields of a control, by window: the progress bars' range and position.
using ControlFields = std::map<HWND, std::string>;

// Asks every progress bar of a window for its range and position. This waits
// until the owning thread pumps messages; a bar that does not answer the
// first question in time is not asked the other two.
ControlFields AskProgressBars(HWND parent) {
  ControlFields fields;
  for (HWND child : Children(parent)) {
    if (lstrcmpiW(ClassName(child).c_str(), PROGRESS_CLASSW) != 0) continue;
    const std::string pos = AskWindow(child, PBM_GETPOS, 0);
    const bool answers = pos != "null";
    fields[child] = ",\"low\":" + (answers ? AskWindow(child, PBM_GETRANGE, TRUE) : pos) +
                    ",\"high\":" + (answers ? AskWindow(child, PBM_GETRANGE, FALSE) : pos) +
                    ",\"pos\":" + pos;
  }
  return fields;
}

std::string ControlsJson(HWND parent, const ControlFields& extra) {
  std::string out = "[";
  for (HWND child : Children(parent)) {
    if (out.size() > 1) out += ",";
    const auto fields = extra.find(child);
    out += "{\"id\":" + Number(GetDlgCtrlID(child)) + ",\"class\":" + Quote(ClassName(child)) +
           ",\"text\":" + Quote(WindowText(child)) + ",\"rect\":" + RectJson(child) +
           StylesJson(child) + ",\"visible\":" + (IsWindowVisible(child) ? "true" : "false") +
           (fields != extra.end() ? fields->second : "") + "}";
  }
  return out + "]";
}

std::string WindowJson(HWND window, const ControlFields& extra = {}) {
  return ",\"hwnd\":" + Hex(reinterpret_cast<ULONG_PTR>(window)) +
         ",\"class\":" + Quote(ClassName(window)) + ",\"title\":" + Quote(WindowText(window)) +
         ",\"rect\":" + RectJson(window) + StylesJson(window) +
         ",\"visible\":" + (IsWindowVisible(window) ? "true" : "false") +
         ",\"owner\":" + Hex(reinterpret_cast<ULONG_PTR>(GetWindow(window, GW_OWNER))) +
         ",\"controls\":" + ControlsJson(window, extra);
}

struct WindowSearch {
  DWORD process_id;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindowOfProcess(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner_process = 0;
  GetWindowThreadProcessId(window, &owner_process);
  if (owner_process == search->process_id) search->found.push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindowsOf(DWORD process_id) {
  WindowSearch search{process_id, {}};
  EnumWindows(CollectWindowOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A message box is reported once its text is in place, then closed with OK.
// The icon static's presence is reported; which icon it shows cannot be read
// from another process (icon handles are per process), so the bench takes the
// exact style from a relay trace of MessageBoxW.
class Watcher {
 public:
  Watcher(DWORD process_id, bool keep_boxes, std::wstring kill_text)
      : process_id_(process_id), keep_boxes_(keep_boxes), kill_text_(std::move(kill_text)) {}

  // True once the progress window showed the text the run is to be cut at.
  bool KillTextSeen() const { return text_seen_; }

  void Poll() {
    for (HWND window : TopLevelWindowsOf(process_id_)) {
      const std::wstring class_name = ClassName(window);
      if (class_name == L"#32770") {
        HandleMessageBox(window);
      } else if (class_name == L"DownloadProgressClass") {
        SampleProgressWindow(window);
      } else if (class_name != L"IME" && seen_.insert(window).second) {
        Emit("window", WindowJson(window));
      }
    }
  }

 private:
  void HandleMessageBox(HWND box) {
    if (answered_.count(box)) return;
    HWND text_control = GetDlgItem(box, 0xFFFF);
    const std::wstring text = text_control ? WindowText(text_control) : L"";
    // A box is still being built until it is visible with its text; one whose
    // text stays empty is reported after a grace period rather than never.
    const DWORD first_seen = first_seen_.emplace(box, GetTickCount()).first->second;
    if (!IsWindowVisible(box) || (text.empty() && GetTickCount() - first_seen < 1000)) return;
    HWND icon = GetDlgItem(box, kMessageBoxIconId);
    Emit("message_box", ",\"caption\":" + Quote(WindowText(box)) + ",\"text\":" + Quote(text) +
                            ",\"has_icon\":" +
                            (icon && IsWindowVisible(icon) ? "true" : "false") +
                            WindowJson(box));
    answered_.insert(box);
    if (!keep_boxes_) PostMessageW(box, WM_COMMAND, IDOK, 0);
  }

  void SampleProgressWindow(HWND window) {
    for (HWND child : Children(window)) {
      if (!kill_text_.empty() && WindowText(child).find(kill_text_) != std::wstring::npos) {
        text_seen_ = true;
      }
    }
    // The bars answer while the program pumps messages, right after it moved
    // them and set the status; the texts are read just after that, twice,
    // and the sample counts only when both readings agree, so that it never
    // mixes two moments of the window.
    std::string sample;
    for (int attempt = 0; attempt < 10 && sample.empty(); ++attempt) {
      const ControlFields bars = AskProgressBars(window);
      sample = WindowJson(window, bars);
      if (WindowJson(window, bars) != sample) sample.clear();
    }
    if (sample.empty() || sample == last_progress_sample_) return;
    last_progress_sample_ = sample;
    Emit("progress", sample);
  }

  DWORD process_id_;
  bool keep_boxes_;
  std::wstring kill_text_;
  bool text_seen_ = false;
  std::set<HWND> answered_;
  std::map<HWND, DWORD> first_seen_;
  std::set<HWND> seen_;
  std::string last_progress_sample_;
};

// Programs started by the watched process, opened as soon as they are seen so
// that their exit can be awaited and reported after the watched one is gone.
class ChildTracker {
 public:
  explicit ChildTracker(DWORD parent_id) : parent_id_(parent_id) {}

  void Poll() {
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid()) return;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
      if (entry.th32ParentProcessID != parent_id_ || children_.count(entry.th32ProcessID)) continue;
      // Wine starts its desktop process from the first program that opens a
      // window; it is not the program's doing and never exits.
      if (lstrcmpiW(entry.szExeFile, L"explorer.exe") == 0) continue;
      auto& child = children_[entry.th32ProcessID];
      child.name = entry.szExeFile;
      child.process = std::make_unique<ScopedHandle>(
          OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    }
  }

  void WaitAndReport(DWORD wait_ms) {
    const DWORD deadline = GetTickCount() + wait_ms;
    for (auto& [id, child] : children_) {
      DWORD exit_code = STILL_ACTIVE;
      if (child.process->IsValid()) {
        const LONG left = static_cast<LONG>(deadline - GetTickCount());
        WaitForSingleObject(child.process->Get(), left > 0 ? left : 0);
        GetExitCodeProcess(child.process->Get(), &exit_code);
      }
      Emit("child", ",\"pid\":" + Number(id) + ",\"name\":" + Quote(child.name) +
                        ",\"running\":" + (exit_code == STILL_ACTIVE ? "true" : "false") +
                        ",\"code\":" + Number(exit_code));
    }
  }

 private:
  struct Child {
    std::wstring name;
    std::unique_ptr<ScopedHandle> process;
  };
  DWORD parent_id_;
  std::map<DWORD, Child> children_;
};

std::wstring ReadCommandLine(const wchar_t* path) {
  ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr));
  if (!file.IsValid()) return {};
  std::wstring text(GetFileSize(file.Get(), nullptr) / sizeof(wchar_t), L'\0');
  DWORD read = 0;
  ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read,
           nullptr);
  text.resize(read / sizeof(wchar_t));
  return text;
}

std::wstring FromHex(const wchar_t* hex) {
  std::wstring out;
  for (const wchar_t* p = hex; p[0] && p[1] && p[2] && p[3]; p += 4) {
    out += static_cast<wchar_t>(std::wcstoul(std::wstring(p, 4).c_str(), nullptr, 16));
  }
  return out;
}

// Reads the shortcut back through the shell, as Explorer would see it.
void ReportShortcut(const std::wstring& name) {
  wchar_t desktop[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop);
  const std::wstring path = std::wstring(desktop) + L"\\" + name;
  std::string fields = ",\"path\":" + Quote(path);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Emit("shortcut", fields + ",\"exists\":false");
    return;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    ScopedComPtr<IShellLinkW> link;
    ScopedComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.ReceiveVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid())) ||
        FAILED(file->Load(path.c_str(), STGM_READ))) {
      Emit("shortcut", fields + ",\"exists\":true,\"readable\":false");
    } else {
      wchar_t target[MAX_PATH] = {}, directory[MAX_PATH] = {}, icon[MAX_PATH] = {},
              arguments[1024] = {}, description[1024] = {};
      int icon_index = -1, show = 0;
      WORD hotkey = 0;
      link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
      link->GetWorkingDirectory(directory, MAX_PATH);
      link->GetIconLocation(icon, MAX_PATH, &icon_index);
      link->GetArguments(arguments, 1024);
      link->GetDescription(description, 1024);
      link->GetShowCmd(&show);
      link->GetHotkey(&hotkey);
      Emit("shortcut", fields + ",\"exists\":true,\"readable\":true,\"target\":" + Quote(target) +
                           ",\"working_directory\":" + Quote(directory) +
                           ",\"icon\":" + Quote(icon) + ",\"icon_index\":" + Number(icon_index) +
                           ",\"arguments\":" + Quote(arguments) +
                           ",\"description\":" + Quote(description) +
                           ",\"show_command\":" + Number(show) + ",\"hotkey\":" + Number(hotkey));
    }
  }
  CoUninitialize();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  g_start_ticks = GetTickCount();
  if (argc < 3) {
    std::fputs("usage: bench_driver PROGRAM COMMAND_LINE_FILE [options]\n", stderr);
    return 2;
  }
  DWORD timeout_ms = 60000, sample_ms = 20, child_wait_ms = 15000, kill_after_ms = 0;
  std::wstring kill_text;
  bool keep_boxes = false;
  std::wstring shortcut;
  for (int i = 3; i < argc; ++i) {
    const std::wstring option = argv[i];
    const bool has_value = i + 1 < argc;
    if (option == L"--timeout-ms" && has_value) {
      timeout_ms = std::wcstoul(argv[++i], nullptr, 10);
    } else if (option == L"--sample-ms" && has_value) {
      sample_ms = std::wcstoul(argv[++i], nullptr, 10);
    } else if (option == L"--shortcut" && has_value) {
      shortcut = FromHex(argv[++i]);
    } else if (option == L"--child-wait-ms" && has_value) {
      child_wait_ms = std::wcstoul(argv[++i], nullptr, 10);
    } else if (option == L"--kill-on-text" && has_value) {
      kill_text = FromHex(argv[++i]);
    } else if (option == L"--kill-after-ms" && has_value) {
      kill_after_ms = std::wcstoul(argv[++i], nullptr, 10);
    } else if (option == L"--keep-boxes") {
      keep_boxes = true;
    }
  }

  const std::wstring command_line = ReadCommandLine(argv[2]);
  std::wstring writable_command_line = command_line;  // CreateProcessW may write to it
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(argv[1], writable_command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    Emit("start_failed", ",\"error\":" + Number(GetLastError()));
    return 2;
  }
  ScopedHandle process(info.hProcess);
  ScopedHandle thread(info.hThread);
  Emit("started", ",\"pid\":" + Number(info.dwProcessId) + ",\"command_line\":" +
                      Quote(command_line) + ",\"screen\":[" +
                      Number(GetSystemMetrics(SM_CXSCREEN)) + "," +
                      Number(GetSystemMetrics(SM_CYSCREEN)) + "]");

  Watcher watcher(info.dwProcessId, keep_boxes, kill_text);
  ChildTracker children(info.dwProcessId);
  const DWORD deadline = GetTickCount() + timeout_ms;
  while (WaitForSingleObject(process.Get(), sample_ms) == WAIT_TIMEOUT) {
    watcher.Poll();
    children.Poll();
    const DWORD elapsed = GetTickCount() - g_start_ticks;
    const char* stop_reason = nullptr;
    if (watcher.KillTextSeen() || (kill_after_ms && elapsed >= kill_after_ms)) {
      stop_reason = "killed";
    } else if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
      stop_reason = "timeout";
    }
    if (stop_reason) {
      Emit(stop_reason, "");
      TerminateProcess(process.Get(), 259);
      WaitForSingleObject(process.Get(), INFINITE);
    }
  }
  DWORD exit_code = 0;
  GetExitCodeProcess(process.Get(), &exit_code);
  Emit("exit", ",\"code\":" + Number(exit_code));
  children.Poll();
  children.WaitAndReport(child_wait_ms);
  if (!shortcut.empty()) ReportShortcut(shortcut);
  return 0;
}
