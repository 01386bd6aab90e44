// Whether the drives can hold the copies of a body that a transfer makes.
#ifndef DOWNLOAD_DISK_ROOM_H_
#define DOWNLOAD_DISK_ROOM_H_

#include <cstdint>
#include <string>

// A drive, named by its root (as "C:\"), and the bytes free on it for the
// current user.
struct DriveRoom {
  std::u16string root;
  uint64_t freeBytes = 0;
};

// A transfer of a body of length bytes keeps two full copies on disk at its
// end: the platform's cache file and the staged file (the installed file
// stays until the staged one replaces it). True when the cache's drive and
// the staging drive can hold them; one drive must hold both.
[[nodiscard]] bool CanHoldBody(uint64_t length, const DriveRoom& cacheDrive,
                               const DriveRoom& stagingDrive);

#endif  // DOWNLOAD_DISK_ROOM_H_
