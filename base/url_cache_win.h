// The internet cache's copy of a body the launcher has fetched itself.
// Windows only.
#ifndef BASE_URL_CACHE_WIN_H_
#define BASE_URL_CACHE_WIN_H_

#include <windows.h>
#include <wininet.h>

#include <string>

#include "base/wide_string_win.h"

// Drops the cache's copy of url: its committed entry and, by the name the
// platform reported (empty when it named none), the file of a transfer that
// failed or was stopped, which has no committed entry for the deletion to
// find.
inline void DropCachedCopy(const std::u16string& url, const std::u16string& cacheFile) {
  DeleteUrlCacheEntryW(AsWide(url));
  if (!cacheFile.empty()) DeleteFileW(AsWide(cacheFile));
}

#endif  // BASE_URL_CACHE_WIN_H_
