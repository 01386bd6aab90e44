// The status callback handed to URLDownloadToFileW for one file.
#ifndef DOWNLOAD_DOWNLOAD_CALLBACK_WIN_H_
#define DOWNLOAD_DOWNLOAD_CALLBACK_WIN_H_

#include <windows.h>

#include <urlmon.h>

#include <string>

#include "download/download_file.h"
#include "download/download_response.h"

// A new callback that hands displayName and its progress to showProgress
// and fills response. It stops a transfer whose announced length the drives
// of the platform's cache and of stagingPath cannot hold (see CanHoldBody).
// requestHeaders ("Name: value" lines, each ended by "\r\n") go with the
// request, e.g. a Range.
// The caller owns the one reference it starts with; the object deletes
// itself when its last reference is released.
IBindStatusCallback* NewDownloadCallback(const std::u16string& displayName,
                                         ProgressDisplay showProgress,
                                         const std::u16string& stagingPath,
                                         const std::u16string& requestHeaders,
                                         DownloadResponse* response);

#endif  // DOWNLOAD_DOWNLOAD_CALLBACK_WIN_H_
