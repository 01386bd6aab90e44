#ifndef DOWNLOAD_DOWNLOAD_FILE_H_
#define DOWNLOAD_DOWNLOAD_FILE_H_

#include <cstdint>
#include <functional>
#include <string>

#include "download/download_request.h"

// Shows a file's name and its progress in percent (0 to 100, never less than
// before within the file); false when nothing is shown, and then the
// transfer lets no waiting window messages through during that report.
using ProgressDisplay = std::function<bool(const std::u16string& name, uint64_t percentage)>;

// Fetches the request's url into its localPath, reporting its progress under
// its displayName to showProgress; true only when the whole file was stored.
// A failed transfer leaves localPath exactly as it was. When an expected
// digest is given, a body with any other digest is a failed transfer too. A
// body of announced length that the drives cannot hold beside the platform's
// cache copy fails at its start (see CanHoldBody). A target that a running
// program holds is renamed aside first, noted in the journal of
// journalFolder, a folder above localPath (see PutStagedInPlace).
[[nodiscard]] bool DownloadFile(const DownloadRequest& request,
                                const ProgressDisplay& showProgress,
                                const std::u16string& journalFolder);

// Creates the folder and its missing parents, outermost first; true when it
// exists afterwards (or something of that name already existed).
[[nodiscard]] bool CreateDirectories(const std::u16string& path);

#endif  // DOWNLOAD_DOWNLOAD_FILE_H_
