// One file for DownloadFile to fetch, and what it may reuse on the way.
#ifndef DOWNLOAD_DOWNLOAD_REQUEST_H_
#define DOWNLOAD_DOWNLOAD_REQUEST_H_

#include <optional>
#include <string>

#include "download/assembly_plan.h"

struct DownloadRequest {
  std::u16string url;          // not yet encoded
  std::u16string localPath;    // the target's full path
  std::u16string displayName;  // shown while the file is fetched
  // The SHA-256 (32 bytes) the stored body must have, or empty when the list
  // gives none.
  std::string expectedDigest;
  // What the list says of this file (its version and digest): the bytes a
  // cut transfer left are resumed only for the same text.
  std::string release;
  // Present: the file is put together from the installed copy and ranged
  // requests; on any failure on the way it is fetched whole in the same call.
  std::optional<AssemblyPlan> plan;
};

#endif  // DOWNLOAD_DOWNLOAD_REQUEST_H_
