// The arithmetic of the ARMv7 division helpers (division_armv7.S holds their
// entry points and says how they are called). A division on ARMv7 becomes a
// call of those helpers, so this code divides without the / and %
// operators: long division, one bit at a time. tests/arm/helpers_run.cpp
// checks it through the compiler's own division calls on ARMv7 under
// emulation. The divisor is never 0 here: the entry points trap first.
#pragma once

#include <cstdint>

extern "C" {
// The quotient in the low half and the remainder in the high half, as a
// 64-bit return value leaves them in r0 and r1. The quotient is truncated
// toward zero; the remainder has the dividend's sign.
std::uint64_t orvek_divide_u32(std::uint32_t divisor, std::uint32_t dividend);
std::uint64_t orvek_divide_s32(std::int32_t divisor, std::int32_t dividend);
// The same for 64 bits: quotient and remainder to result[0] and result[1].
void orvek_divide_u64(std::uint64_t divisor, std::uint64_t dividend,
                      std::uint64_t* result);
void orvek_divide_s64(std::int64_t divisor, std::int64_t dividend,
                      std::int64_t* result);
}
