#include "publish/body_bound.h"

std::string BoundBreach(const BodyBound& bound, uint64_t bytes, std::chrono::seconds elapsed) {
  if (bound.maxBytes != 0 && bytes > bound.maxBytes) {
    return "the body passed its limit of " + std::to_string(bound.maxBytes) + " bytes";
  }
  if (bound.maxTime.count() != 0 && elapsed > bound.maxTime) {
    return "the body took longer than " + std::to_string(bound.maxTime.count()) + " s";
  }
  if (elapsed >= kSpeedGrace &&
      bytes < bound.minBytesPerSecond * static_cast<uint64_t>(elapsed.count())) {
    return "the body came slower than " + std::to_string(bound.minBytesPerSecond) +
           " bytes a second";
  }
  return std::string();
}
