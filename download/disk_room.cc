#include "download/disk_room.h"

#include <string_view>

#include "base/ascii_case.h"

namespace {

bool OneDrive(const DriveRoom& cacheDrive, const DriveRoom& stagingDrive) {
  return EqualsIgnoringAsciiCase<char16_t>(cacheDrive.root, stagingDrive.root);
}

}  // namespace

bool CanHoldBody(uint64_t length, const DriveRoom& cacheDrive, const DriveRoom& stagingDrive) {
  if (OneDrive(cacheDrive, stagingDrive)) {
    return stagingDrive.freeBytes >= length && stagingDrive.freeBytes - length >= length;
  }
  return cacheDrive.freeBytes >= length && stagingDrive.freeBytes >= length;
}

bool CanHoldGrowingBody(uint64_t cached, const DriveRoom& cacheDrive,
                        const DriveRoom& stagingDrive) {
  const bool cacheRoom = OneDrive(cacheDrive, stagingDrive) ||
                         cacheDrive.freeBytes >= kGrowingBodyMargin;
  return cacheRoom && stagingDrive.freeBytes >= cached + kGrowingBodyMargin;
}
