// The coordinate digits as the double arithmetic of an SSE2 (or any strict
// IEEE) machine gives them, and the values to compare the library's integer
// steps against: uniform coordinates, values a few units in the last place
// either side of a minute or thousandth boundary, and arbitrary doubles
// below 2^31 down to the subnormals. Shared by the unit test, the
// many-million-value check (tests/checks) and the sentence benchmark.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "api/position_sentence.h"

namespace orvek::testing {

// The three truncated steps in doubles. Built natively for x86_64, where
// doubles are SSE2 arithmetic, with no contraction into fused operations.
inline api::CoordinateParts DoubleSteps(double value) {
  std::int32_t degrees = static_cast<std::int32_t>(value);
  double minutes = (value - degrees) * 60.0;
  std::int32_t whole_minutes = static_cast<std::int32_t>(minutes);
  std::int32_t thousandths =
      static_cast<std::int32_t>((minutes - whole_minutes) * 1000.0);
  return {degrees, whole_minutes, thousandths};
}

inline bool SameParts(const api::CoordinateParts& a,
                      const api::CoordinateParts& b) {
  return a.degrees == b.degrees && a.minutes == b.minutes &&
         a.thousandths == b.thousandths;
}

// The n-th test value, drawn in turn from the three kinds.
class CoordinateValues {
 public:
  explicit CoordinateValues(std::uint64_t seed) : random_(seed) {}

  double next() {
    switch (kind_++ % 3) {
      case 0:
        return std::uniform_real_distribution<double>(0.0, 180.0)(random_);
      case 1:
        return near_boundary();
      default:
        return any_double_below_2_pow_31();
    }
  }

 private:
  // degrees + k/60000, moved up to 4 units in the last place either way.
  double near_boundary() {
    double degrees = static_cast<double>(random_() % 181);
    double value = degrees + static_cast<double>(random_() % 60000) / 60000.0;
    int steps = static_cast<int>(random_() % 9) - 4;
    for (; steps > 0; --steps) value = std::nextafter(value, 1e300);
    for (; steps < 0; ++steps) value = std::nextafter(value, 0.0);
    return value;
  }
  double any_double_below_2_pow_31() {
    for (;;) {
      std::uint64_t bits = random_() & 0x7FFFFFFFFFFFFFFFull;
      double value;
      std::memcpy(&value, &bits, sizeof(value));
      if (value < 2147483648.0) return value;  // NaN fails too
      // Most bit patterns are huge; bring the exponent into range instead.
      bits = (bits & 0x800FFFFFFFFFFFFFull) |
             (static_cast<std::uint64_t>(random_() % (1023 + 31)) << 52);
      std::memcpy(&value, &bits, sizeof(value));
      if (value < 2147483648.0) return value;
    }
  }

  std::mt19937_64 random_;
  std::uint64_t kind_ = 0;
};

}  // namespace orvek::testing
