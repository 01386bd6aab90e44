// The launcher's entry point: the GUI entry in its UTF-16 form.
#include <windows.h>

#include <commctrl.h>

#include "app/app_paths.h"
#include "app/platform_win.h"
#include "app/update_run.h"
#include "base/wide_string_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  // Registers the common-control classes, among them the progress bar.
  InitCommonControls();
  WindowsPlatform platform(instance, MakeAppPaths().applicationDirectory);
  return RunUpdate(FromWide(commandLine), platform, ListPublicKeyText);
}
