// The drive room of a path, from the file system.
#ifndef DOWNLOAD_DISK_ROOM_WIN_H_
#define DOWNLOAD_DISK_ROOM_WIN_H_

#include <optional>
#include <string>

#include "download/disk_room.h"

// The drive that holds path (which need not exist yet) and its free bytes for
// this user; nothing when either cannot be read.
std::optional<DriveRoom> DriveRoomOf(const std::u16string& path);

#endif  // DOWNLOAD_DISK_ROOM_WIN_H_
