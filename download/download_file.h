#ifndef DOWNLOAD_DOWNLOAD_FILE_H_
#define DOWNLOAD_DOWNLOAD_FILE_H_

#include <string>

// Fetches url into localPath; true only when the whole file was stored. A
// failed transfer leaves localPath exactly as it was. When expectedDigest (a
// SHA-256, 32 bytes) is given, a body with any other digest is a failed
// transfer too.
[[nodiscard]] bool DownloadFile(const std::u16string& url, const std::u16string& localPath,
                                const std::u16string& displayName,
                                const std::string& expectedDigest);

// Creates the folder and its missing parents, outermost first; true when it
// exists afterwards (or something of that name already existed).
[[nodiscard]] bool CreateDirectories(const std::u16string& path);

#endif  // DOWNLOAD_DOWNLOAD_FILE_H_
