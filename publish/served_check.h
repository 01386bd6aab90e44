// Checks what an update server really serves: the list (and its signature)
// and every listed file, fetched as the launcher fetches them, compared with
// the list's digests. A missing upload, a stale copy on a CDN edge or a
// precompressed .gz beside a file, a server that refuses an extension, a
// list that is not signed by the key: each is one line naming the file.
#ifndef PUBLISH_SERVED_CHECK_H_
#define PUBLISH_SERVED_CHECK_H_

#include <optional>
#include <string>

#include "publish/http_fetch.h"
#include "publish/publisher.h"

// baseUrl: where filelist.txt is served, as the launcher is built with it
// (a missing final "/" is added). publicKeyText: 128 hex digits.
Outcome CheckServed(const std::u16string& baseUrl, const std::optional<std::string>& publicKeyText,
                    HttpFetch& fetch, const ProgressLine& progress);

#endif  // PUBLISH_SERVED_CHECK_H_
