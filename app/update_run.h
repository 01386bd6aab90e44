// One run of the launcher, from the command line to the start of the
// application. Returns the process exit code (0 or 1).
#ifndef APP_UPDATE_RUN_H_
#define APP_UPDATE_RUN_H_

#include <string_view>

class Platform;

// listPublicKeyText: the hex text of the key that must sign the server's
// list (ListPublicKeyText), empty for a launcher whose list is not signed.
int RunUpdate(std::u16string_view commandLine, Platform& platform,
              std::string_view listPublicKeyText);

#endif  // APP_UPDATE_RUN_H_
