#include "download/disk_room.h"

#include <string_view>

#include "base/ascii_case.h"

bool CanHoldBody(uint64_t length, const DriveRoom& cacheDrive, const DriveRoom& stagingDrive) {
  if (EqualsIgnoringAsciiCase<char16_t>(cacheDrive.root, stagingDrive.root)) {
    return stagingDrive.freeBytes >= length && stagingDrive.freeBytes - length >= length;
  }
  return cacheDrive.freeBytes >= length && stagingDrive.freeBytes >= length;
}
