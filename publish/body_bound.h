// How much of a body `check` takes, and for how long, before it gives up on
// it: a server that sends without end, or a trickle, must not hold the check
// for good nor fill the memory it keeps the list and its signature in. The
// libcurl and the WinINet transports both take their bounds from here.
#ifndef PUBLISH_BODY_BOUND_H_
#define PUBLISH_BODY_BOUND_H_

#include <chrono>
#include <cstdint>
#include <string>

#include "lists/server_list.h"

struct BodyBound {
  uint64_t maxBytes = 0;                 // 0: any size
  std::chrono::seconds maxTime{0};       // 0: any time
  uint64_t minBytesPerSecond = 1;        // once the first kSpeedGrace has passed
};

// No byte for this long ends any body, and a body slower than its floor is
// given up once this long has passed (libcurl measures the speed over any
// such stretch, the WinINet transport over the whole body so far).
inline constexpr std::chrono::seconds kSpeedGrace{60};

// The list and its signature as the launcher limits them, each with time to
// spare on a slow line.
inline constexpr BodyBound kListBound{kServerListSizeLimit, std::chrono::minutes(10), 1};
inline constexpr BodyBound kSignatureBound{kListSignatureSizeLimit, std::chrono::minutes(1), 1};
// A listed file may be of any size (the launcher takes files of 4 GB and
// more), so only its speed is bounded: a body that still comes is read on.
inline constexpr BodyBound kFileBound{0, std::chrono::seconds(0), 16 * 1024};

// Why a body that brought bytes in elapsed breaks bound; empty while it
// keeps it.
[[nodiscard]] std::string BoundBreach(const BodyBound& bound, uint64_t bytes,
                                      std::chrono::seconds elapsed);

#endif  // PUBLISH_BODY_BOUND_H_
