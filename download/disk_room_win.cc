#include "download/disk_room_win.h"

#include <windows.h>

#include "base/wide_string_win.h"

std::optional<DriveRoom> DriveRoomOf(const std::u16string& path) {
  wchar_t root[MAX_PATH + 1] = {};
  if (!GetVolumePathNameW(AsWide(path), root, MAX_PATH + 1)) return std::nullopt;
  ULARGE_INTEGER freeForUser;
  if (!GetDiskFreeSpaceExW(root, &freeForUser, nullptr, nullptr)) return std::nullopt;
  return DriveRoom{FromWide(root), freeForUser.QuadPart};
}
