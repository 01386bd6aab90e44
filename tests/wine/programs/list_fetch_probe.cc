// Fetches the server list once, exactly as the launcher does, and prints its
// size and the time the fetch took: the floor that a launcher run with
// nothing to download is measured against. The URL is the one compiled into
// this build.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/app_paths.h"
#include "lists/server_list.h"

int wmain() {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const std::string list = FetchServerList(std::u16string(ServerListUrl), kServerListSizeLimit);
  QueryPerformanceCounter(&end);
  const double milliseconds =
      1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
  std::printf("{\"bytes\":%zu,\"fetch_ms\":%.3f}\n", list.size(), milliseconds);
  return list.empty() ? 1 : 0;
}
