#include "lists/server_list.h"

#include <windows.h>

#include <urlmon.h>
#include <wininet.h>

#include <algorithm>

#include "app/app_paths.h"
#include "app/scoped_win.h"
#include "app/wide_string_win.h"

namespace {

constexpr ULONG kReadSize = 1024;

// Appends the stream's bytes until a read is not S_OK or delivers nothing;
// the bytes of such a last read are not kept.
std::string ReadWholeStream(IStream& stream) {
  std::string text;
  char buffer[kReadSize];
  for (;;) {
    ULONG delivered = 0;
    if (stream.Read(buffer, kReadSize, &delivered) != S_OK || delivered == 0) break;
    text.append(buffer, std::min(delivered, kReadSize));
  }
  return text;
}

}  // namespace

std::string FetchServerList() {
  const std::u16string url(ServerListUrl);
  // A cached copy must never stand in for the server's current list.
  DeleteUrlCacheEntryW(AsWide(url));

  ScopedComPtr<IStream> stream;
  if (URLOpenBlockingStreamW(nullptr, AsWide(url), stream.Receive(), 0, nullptr) != S_OK ||
      !stream) {
    return std::string();
  }
  return ReadWholeStream(*stream.Get());
}
