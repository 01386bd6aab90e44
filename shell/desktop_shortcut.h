#ifndef SHELL_DESKTOP_SHORTCUT_H_
#define SHELL_DESKTOP_SHORTCUT_H_

#include <string>

// Writes "Corvane3실행.lnk" on the user's desktop; failures are silent.
void CreateDesktopShortcut(const std::u16string& target, const std::u16string& workingDirectory,
                           const std::u16string& iconPath);

#endif  // SHELL_DESKTOP_SHORTCUT_H_
