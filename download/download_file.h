#ifndef DOWNLOAD_DOWNLOAD_FILE_H_
#define DOWNLOAD_DOWNLOAD_FILE_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "download/download_request.h"

// Shows a file's name and its progress in percent (0 to 100, never less than
// before within the file); false when nothing is shown, and then the
// transfer lets no waiting window messages through during that report.
using ProgressDisplay = std::function<bool(const std::u16string& name, uint64_t percentage)>;

// Fetches the request's url into its localPath, reporting its progress under
// its displayName to showProgress; true only when the whole file was stored.
// The transfer is made in ranged pieces staged beside the target and noted
// in the journal of journalFolder, so a cut transfer of the same release
// continues where it stopped at the next call; a server that answers whole
// bodies is taken as it answers. A plan, when given, reuses the installed
// copy's bytes; on any failure on the way the file is fetched whole.
// A failed transfer leaves localPath exactly as it was. When an expected
// digest is given, a body with any other digest is a failed transfer too. A
// body of announced length that the drives cannot hold beside the platform's
// cache copy fails at its start (see CanHoldBody). A target that a running
// program holds is renamed aside first, noted in the journal of
// journalFolder, a folder above localPath (see PutStagedInPlace).
[[nodiscard]] bool DownloadFile(const DownloadRequest& request,
                                const ProgressDisplay& showProgress,
                                const std::u16string& journalFolder);

// The files a pass fetches: each target's full path and its release.
using WantedReleases = std::map<std::u16string, std::string>;

// Removes what cut transfers left below folder and no fetch of this pass
// continues: every partial the journal notes whose target and release are
// not wanted, with its staged file, and the staged files of wanted targets
// that the journal does not note for their release. Run once per pass,
// before its downloads.
void SettlePartialDownloads(const std::u16string& folder, const WantedReleases& wanted);

// Creates the folder and its missing parents, outermost first; true when it
// exists afterwards (or something of that name already existed).
[[nodiscard]] bool CreateDirectories(const std::u16string& path);

#endif  // DOWNLOAD_DOWNLOAD_FILE_H_
