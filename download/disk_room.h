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

// A body whose length is not known before it ends (none announced, or a
// content coding) is checked while it arrives, each time this much more has
// come, so a smaller one is never checked. The margin is what must stay
// free beyond the staged copy of what has come: far more than arrives
// between two checks, so an endless body stops well before the drive is
// full.
inline constexpr uint64_t kGrowingBodyCheckStep = uint64_t{16} << 20;
inline constexpr uint64_t kGrowingBodyMargin = uint64_t{256} << 20;

// True when the drives can hold a body of unknown length of which cached
// bytes are in the platform's cache file (already counted in the cache
// drive's free bytes): a staged copy of them with the margin to spare, and
// the margin on the cache's drive.
[[nodiscard]] bool CanHoldGrowingBody(uint64_t cached, const DriveRoom& cacheDrive,
                                      const DriveRoom& stagingDrive);

#endif  // DOWNLOAD_DISK_ROOM_H_
