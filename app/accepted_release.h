// What a launcher with a key keeps of the numbered lists it accepted: the
// highest release number and the SHA-256 of the list bytes accepted with it,
// in a file of its own beside local_list.txt ("42 " and 64 hex digits, one
// line end). Numbers only grow, so a signed list of an older release, served
// again, is refused however its files' versions compare.
#ifndef APP_ACCEPTED_RELEASE_H_
#define APP_ACCEPTED_RELEASE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct AcceptedRelease {
  int64_t number = 0;
  std::string listDigest;  // SHA-256 of the list's bytes, 32 bytes

  bool operator==(const AcceptedRelease& other) const {
    return number == other.number && listDigest == other.listDigest;
  }
};

// The file's record; nothing for any text but the one FormatAcceptedRelease
// writes (an optional CR before the LF aside).
std::optional<AcceptedRelease> ParseAcceptedRelease(std::string_view text);
std::string FormatAcceptedRelease(const AcceptedRelease& release);

enum class ReleaseCheck {
  // No number in the list and none accepted before: the list is held to the
  // recorded versions, as lists were before they carried numbers.
  kUnnumbered,
  // Exactly the list accepted last.
  kAccepted,
  // A higher number than any accepted: it becomes the one to keep.
  kNewer,
  // A lower number, the same number over other bytes, or no number once a
  // numbered list was accepted.
  kRefused,
};

// listText: the signed list; accepted: what was kept, if anything.
ReleaseCheck CheckRelease(std::string_view listText, const std::optional<AcceptedRelease>& accepted);

// What to keep after accepting listText, a numbered list.
AcceptedRelease AcceptedReleaseOf(std::string_view listText);

// True when Windows would store a listed file (by its local name) as the
// file that keeps the accepted release: such a download would overwrite it.
bool IsStoredAsAcceptedReleaseFile(std::u16string_view localName);

#endif  // APP_ACCEPTED_RELEASE_H_
