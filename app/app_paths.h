// Constants built into the launcher and the application paths derived from
// them by plain concatenation.
#ifndef APP_APP_PATHS_H_
#define APP_APP_PATHS_H_

#include <string>
#include <string_view>

#include "app/update_url.h"
#include "lists/application_names.h"

inline constexpr std::u16string_view BaseUrl = LAUNCHER_BASE_URL;
inline constexpr std::u16string_view ServerListUrl = LAUNCHER_SERVER_LIST_URL;
inline constexpr std::u16string_view ServerListSignatureUrl = LAUNCHER_LIST_SIGNATURE_URL;
// The hex text of the key that must sign the list; empty when it is not signed.
inline constexpr std::string_view ListPublicKeyText = LAUNCHER_LIST_PUBLIC_KEY;

struct AppPaths {
  std::u16string applicationDirectory;  // C:\corvane3, no trailing separator
  std::u16string localListPath;         // ...\local_list.txt
  std::u16string acceptedReleasePath;   // ...\release_number.txt
  std::u16string executablePath;        // ...\crv3v2.exe
};

AppPaths MakeAppPaths();
std::u16string MakeInfoFilePath(const std::u16string& applicationDirectory);

#endif  // APP_APP_PATHS_H_
