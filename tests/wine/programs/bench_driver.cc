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
//   --capture-dir DIR    save what the screen shows of each message box (just
//                        before pressing OK) and of the progress window (at
//                        most every --capture-ms N, default 250) as
//                        DIR\NNN.bmp, named in the event's "capture" field
//                        with a check of its Hangul text (see Camera)
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

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "base/scoped_win.h"
#include "tests/wine/programs/bench_io.h"

namespace {

constexpr UINT kSendTimeoutMs = 200;
constexpr int kMessageBoxIconId = 0x0440;  // stc1, the icon static of a message box
constexpr DWORD kPaintGraceMs = 500;

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

// --- pictures ---------------------------------------------------------------

bool IsHangul(wchar_t unit) { return unit >= 0xAC00 && unit <= 0xD7A3; }

// Dark pixels of a picture: text is drawn dark on the light faces of the
// classic colour scheme, so a fixed threshold tells ink from background
// whether or not the font is smoothed.
struct Ink {
  int width = 0, height = 0;
  std::vector<bool> dots;
  bool At(int x, int y) const { return dots[static_cast<size_t>(y) * width + x]; }
  bool operator<(const Ink& other) const {
    return std::tie(width, height, dots) < std::tie(other.width, other.height, other.dots);
  }
};

// A top-down 24-bit bitmap selected into a memory DC.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                               nullptr, 0);
    if (bitmap_) old_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    if (bitmap_) DeleteObject(SelectObject(dc_, old_));
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  bool IsValid() const { return bitmap_ != nullptr; }
  HDC Dc() const { return dc_; }
  int Stride() const { return (width_ * 3 + 3) & ~3; }
  const BYTE* Pixel(int x, int y) const { return bits_ + y * Stride() + x * 3; }

  Ink InkOf(const RECT& area) const {
    Ink ink{area.right - area.left, area.bottom - area.top, {}};
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        const BYTE* p = Pixel(x, y);
        ink.dots.push_back(p[0] * 114 + p[1] * 587 + p[2] * 299 < 128 * 1000);
      }
    }
    return ink;
  }

  // Writes the canvas as a BMP file.
  bool Save(const std::wstring& path) const {
    const DWORD image_size = static_cast<DWORD>(Stride() * height_);
    BITMAPFILEHEADER file_header = {};
    BITMAPINFOHEADER header = {};
    file_header.bfType = 0x4D42;  // "BM"
    file_header.bfOffBits = sizeof file_header + sizeof header;
    file_header.bfSize = file_header.bfOffBits + image_size;
    header.biSize = sizeof header;
    header.biWidth = width_;
    header.biHeight = -height_;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file.IsValid() && WriteFile(file.Get(), &file_header, sizeof file_header, &written, nullptr) &&
           WriteFile(file.Get(), &header, sizeof header, &written, nullptr) &&
           WriteFile(file.Get(), bits_, image_size, &written, nullptr);
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  BYTE* bits_ = nullptr;
};

// The ink of text drawn black on white in a font, cut to the ink's bounds
// when `trim` (for finding it in a picture at any offset).
Ink TextInk(const LOGFONTW& logfont, const std::wstring& text, bool trim) {
  Canvas canvas(400, 64);
  if (!canvas.IsValid()) return {};
  HFONT font = CreateFontIndirectW(&logfont);
  HGDIOBJ old_font = SelectObject(canvas.Dc(), font);
  RECT all = {0, 0, 400, 64};
  FillRect(canvas.Dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetTextColor(canvas.Dc(), RGB(0, 0, 0));
  SetBkMode(canvas.Dc(), TRANSPARENT);
  TextOutW(canvas.Dc(), 2, 2, text.c_str(), static_cast<int>(text.size()));
  GdiFlush();
  SelectObject(canvas.Dc(), old_font);
  DeleteObject(font);
  const Ink whole = canvas.InkOf(all);
  if (!trim) return whole;
  RECT bounds = {400, 64, 0, 0};
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 400; ++x) {
      if (!whole.At(x, y)) continue;
      bounds = {std::min<LONG>(bounds.left, x), std::min<LONG>(bounds.top, y),
                std::max<LONG>(bounds.right, x + 1), std::max<LONG>(bounds.bottom, y + 1)};
    }
  }
  return bounds.right > bounds.left ? canvas.InkOf(bounds) : Ink{};
}

// Whether `part` appears in `picture` at some offset, allowing a few
// differing dots for smoothed edges drawn on another background.
bool Contains(const Ink& picture, const Ink& part) {
  if (part.dots.empty()) return false;
  const int allowed = static_cast<int>(part.dots.size() / 50);
  for (int top = 0; top + part.height <= picture.height; ++top) {
    for (int left = 0; left + part.width <= picture.width; ++left) {
      int differing = 0;
      for (int y = 0; y < part.height && differing <= allowed; ++y) {
        for (int x = 0; x < part.width && differing <= allowed; ++x) {
          differing += part.At(x, y) != picture.At(left + x, top + y);
        }
      }
      if (differing <= allowed) return true;
    }
  }
  return false;
}

// The first line of a control's text that holds Hangul, up to its first
// digit (a percentage may have moved on between the reading and the picture).
std::wstring HangulSample(const std::wstring& text) {
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find(L'\r', start), text.find(L'\n', start));
    std::wstring line = text.substr(start, end - start);
    if (std::any_of(line.begin(), line.end(), IsHangul)) {
      line = line.substr(0, line.find_first_of(L"0123456789"));
      while (!line.empty() && line.back() == L' ') line.pop_back();
      return line;
    }
    start = end == std::wstring::npos ? end : end + 1;
  }
  return {};
}

// Saves pictures of the screen where a window is and checks that its Hangul
// is drawn as Hangul: the first Hangul line of every control, drawn here in
// the font the control uses, is found in the picture, and in that font every
// syllable drawn looks different from the others and from a code point no
// font has (what a missing glyph looks like: an empty box, or nothing).
class Camera {
 public:
  Camera(std::wstring folder, DWORD interval_ms) : folder_(std::move(folder)), interval_ms_(interval_ms) {}

  bool Enabled() const { return !folder_.empty(); }
  bool Due() const { return Enabled() && GetTickCount() - last_ms_ >= interval_ms_; }

  // The event fields naming the picture and telling what the check found.
  std::string Capture(HWND window, const LOGFONTW& font) {
    last_ms_ = GetTickCount();
    RECT frame = {};
    GetWindowRect(window, &frame);
    Canvas canvas(frame.right - frame.left, frame.bottom - frame.top);
    HDC screen = GetDC(nullptr);
    const bool copied = canvas.IsValid() && BitBlt(canvas.Dc(), 0, 0, frame.right - frame.left,
                                                   frame.bottom - frame.top, screen, frame.left,
                                                   frame.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    wchar_t name[16];
    std::swprintf(name, 16, L"%03d.bmp", ++count_);
    if (!copied || !canvas.Save(folder_ + L"\\" + name)) return ",\"capture\":null";

    std::string samples = "[";
    std::set<wchar_t> syllables;
    for (HWND child : Children(window)) {
      RECT area = {};
      GetWindowRect(child, &area);
      OffsetRect(&area, -frame.left, -frame.top);
      const std::wstring sample = HangulSample(WindowText(child));
      if (sample.empty() || !IsWindowVisible(child)) continue;
      syllables.insert(sample.begin(), sample.end());
      if (samples.size() > 1) samples += ",";
      samples += "{\"text\":" + Quote(sample) + ",\"found\":" +
                 (Contains(canvas.InkOf(area), TextInk(font, sample, true)) ? "true" : "false") + "}";
    }
    std::set<Ink> looks = {TextInk(font, L"\x0378", false)};
    size_t hangul = 0;
    for (wchar_t unit : syllables) {
      if (!IsHangul(unit)) continue;
      ++hangul;
      looks.insert(TextInk(font, std::wstring(1, unit), false));
    }
    return ",\"capture\":" + Quote(name) + ",\"hangul\":{\"samples\":" + samples +
           "],\"syllables\":" + Number(hangul) +
           ",\"distinct_looks\":" + Number(static_cast<long long>(looks.size()) - 1) + "}";
  }

 private:
  std::wstring folder_;
  DWORD interval_ms_;
  DWORD last_ms_ = 0;
  int count_ = 0;
};

// The fonts the windows draw their text in: a message box sets the message
// font of the system's metrics on its text; a static control given no font
// draws in the system font.
LOGFONTW MessageBoxFont() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  return metrics.lfMessageFont;
}

LOGFONTW SystemFont() {
  LOGFONTW font = {};
  GetObjectW(GetStockObject(SYSTEM_FONT), sizeof font, &font);
  return font;
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
  Watcher(DWORD process_id, bool keep_boxes, std::wstring kill_text, Camera* camera)
      : process_id_(process_id),
        keep_boxes_(keep_boxes),
        kill_text_(std::move(kill_text)),
        camera_(camera) {}

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
    // A picture waits a moment for the box to be painted.
    if (camera_->Enabled() && GetTickCount() - first_seen < kPaintGraceMs) return;
    HWND icon = GetDlgItem(box, kMessageBoxIconId);
    Emit("message_box", ",\"caption\":" + Quote(WindowText(box)) + ",\"text\":" + Quote(text) +
                            ",\"has_icon\":" +
                            (icon && IsWindowVisible(icon) ? "true" : "false") +
                            WindowJson(box) +
                            (camera_->Enabled() ? camera_->Capture(box, MessageBoxFont()) : ""));
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
    Emit("progress", sample + (camera_->Due() ? camera_->Capture(window, SystemFont()) : ""));
  }

  DWORD process_id_;
  bool keep_boxes_;
  std::wstring kill_text_;
  Camera* camera_;
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
  DWORD capture_ms = 250;
  std::wstring kill_text, capture_dir;
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
    } else if (option == L"--capture-dir" && has_value) {
      capture_dir = argv[++i];
    } else if (option == L"--capture-ms" && has_value) {
      capture_ms = std::wcstoul(argv[++i], nullptr, 10);
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

  Camera camera(capture_dir, capture_ms);
  Watcher watcher(info.dwProcessId, keep_boxes, kill_text, &camera);
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
