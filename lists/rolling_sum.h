// The weak checksum of a block: a polynomial over a fixed byte-to-64-bit
// table, mod 2^64. Rolling it one byte costs two multiplications, and unlike
// an XOR/rotate hash it does not cancel on runs of equal bytes, so blocks of
// zeros or other repeats do not all collide. Builder and matcher must agree
// on it bit for bit: changing it changes the served format.
#ifndef LISTS_ROLLING_SUM_H_
#define LISTS_ROLLING_SUM_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rolling_sum_detail {

inline constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull | 1;

constexpr uint64_t SplitMix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

constexpr std::array<uint64_t, 256> MakeByteTable() {
  std::array<uint64_t, 256> table{};
  for (size_t i = 0; i < table.size(); ++i) table[i] = SplitMix(i);
  return table;
}

inline constexpr std::array<uint64_t, 256> kByteTable = MakeByteTable();

constexpr uint64_t PowerOfMultiplier(uint64_t exponent) {
  uint64_t result = 1, base = kMultiplier;
  for (; exponent; exponent >>= 1, base *= base)
    if (exponent & 1) result *= base;
  return result;
}

inline uint64_t Horner(const unsigned char* p, size_t n) {
  uint64_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum = sum * kMultiplier + kByteTable[p[i]];
  return sum;
}

}  // namespace rolling_sum_detail

// sum(b[0..n)) = T[b0]*M^(n-1) + T[b1]*M^(n-2) + ... + T[b(n-1)].
// Computed in four independent chains so the multiplier's latency overlaps:
// the block search computes a fresh sum after every match.
inline uint64_t RollingSumOf(std::string_view bytes) {
  using namespace rolling_sum_detail;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t quarter = bytes.size() / 4;
  const size_t last = bytes.size() - 3 * quarter;
  uint64_t a = 0, b = 0, c = 0, d = 0;
  for (size_t i = 0; i < quarter; ++i) {
    a = a * kMultiplier + kByteTable[p[i]];
    b = b * kMultiplier + kByteTable[p[quarter + i]];
    c = c * kMultiplier + kByteTable[p[2 * quarter + i]];
    d = d * kMultiplier + kByteTable[p[3 * quarter + i]];
  }
  // The last part may be up to three bytes longer than the others.
  d = d * PowerOfMultiplier(last - quarter) +
      Horner(p + 4 * quarter, last - quarter);
  const uint64_t shiftQuarter = PowerOfMultiplier(quarter);
  const uint64_t shiftLast = PowerOfMultiplier(last);
  return ((a * shiftQuarter + b) * shiftQuarter + c) * shiftLast + d;
}

// Moves the sum of a window of fixed length one byte on.
class RollingSumWindow {
 public:
  explicit RollingSumWindow(size_t length)
      : outgoingFactor_(
            rolling_sum_detail::PowerOfMultiplier(length ? length - 1 : 0)) {}

  uint64_t Roll(uint64_t sum, unsigned char out, unsigned char in) const {
    using namespace rolling_sum_detail;
    return (sum - kByteTable[out] * outgoingFactor_) * kMultiplier +
           kByteTable[in];
  }

 private:
  uint64_t outgoingFactor_;
};

#endif  // LISTS_ROLLING_SUM_H_
