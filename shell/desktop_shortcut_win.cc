#include "shell/desktop_shortcut.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "base/scoped_win.h"
#include "base/wide_string_win.h"

namespace {

constexpr char16_t kShortcutFileName[] = u"\\Corvane3실행.lnk";

// Saves a new shell link with exactly three properties set. Every COM pointer
// is released here, before the caller leaves the apartment.
void SaveShortcut(const std::u16string& target, const std::u16string& workingDirectory,
                  const std::u16string& iconPath) {
  ScopedComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.ReceiveVoid())) ||
      !link) {
    return;
  }
  link->SetPath(AsWide(target));
  link->SetWorkingDirectory(AsWide(workingDirectory));
  link->SetIconLocation(AsWide(iconPath), 0);

  ScopedComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid())) || !file) return;

  wchar_t desktop[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT,
                              desktop))) {
    return;
  }
  const std::u16string shortcutPath = FromWide(desktop) + kShortcutFileName;
  file->Save(AsWide(shortcutPath), TRUE);
}

}  // namespace

void CreateDesktopShortcut(const std::u16string& target, const std::u16string& workingDirectory,
                           const std::u16string& iconPath) {
  HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (initialized == RPC_E_CHANGED_MODE) initialized = CoInitialize(nullptr);
  // The shortcut is attempted whatever the initialisation gave.
  SaveShortcut(target, workingDirectory, iconPath);
  if (SUCCEEDED(initialized)) CoUninitialize();
}
