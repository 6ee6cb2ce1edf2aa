#include "OrvekPORT/arm/division.h"

#include <bit>

namespace {

struct Division {
  std::uint64_t quotient;
  std::uint64_t remainder;
};

// Long division from the dividend's highest set bit down. The remainder
// stays below the divisor, but shifted it may need a 65th bit when the
// divisor is above 2^63: that bit is carried apart, and the subtraction
// that follows brings the value back under 2^64.
Division DivideUnsigned(std::uint64_t divisor, std::uint64_t dividend) {
  Division result{0, 0};
  for (int bit = 63 - std::countl_zero(dividend); bit >= 0; --bit) {
    const bool carry = (result.remainder >> 63) != 0;
    result.remainder = result.remainder << 1 | (dividend >> bit & 1);
    if (carry || result.remainder >= divisor) {
      result.remainder -= divisor;
      result.quotient |= std::uint64_t{1} << bit;
    }
  }
  return result;
}

std::uint64_t Magnitude(std::int64_t value) {
  return value < 0 ? 0 - static_cast<std::uint64_t>(value)
                   : static_cast<std::uint64_t>(value);
}

// Truncated toward zero, the remainder with the dividend's sign. The one
// overflow, the most negative number divided by -1, wraps to itself, as
// the ARM divide instruction does.
Division DivideSigned(std::int64_t divisor, std::int64_t dividend) {
  Division result = DivideUnsigned(Magnitude(divisor), Magnitude(dividend));
  if ((divisor < 0) != (dividend < 0)) result.quotient = 0 - result.quotient;
  if (dividend < 0) result.remainder = 0 - result.remainder;
  return result;
}

std::uint64_t Pack32(const Division& division) {
  return (division.quotient & 0xFFFFFFFFu) | division.remainder << 32;
}

}  // namespace

extern "C" std::uint64_t orvek_divide_u32(std::uint32_t divisor,
                                          std::uint32_t dividend) {
  return Pack32(DivideUnsigned(divisor, dividend));
}

extern "C" std::uint64_t orvek_divide_s32(std::int32_t divisor,
                                          std::int32_t dividend) {
  Division division = DivideSigned(divisor, dividend);
  division.remainder &= 0xFFFFFFFFu;
  return Pack32(division);
}

extern "C" void orvek_divide_u64(std::uint64_t divisor, std::uint64_t dividend,
                                 std::uint64_t* result) {
  const Division division = DivideUnsigned(divisor, dividend);
  result[0] = division.quotient;
  result[1] = division.remainder;
}

extern "C" void orvek_divide_s64(std::int64_t divisor, std::int64_t dividend,
                                 std::int64_t* result) {
  const Division division = DivideSigned(divisor, dividend);
  result[0] = static_cast<std::int64_t>(division.quotient);
  result[1] = static_cast<std::int64_t>(division.remainder);
}
