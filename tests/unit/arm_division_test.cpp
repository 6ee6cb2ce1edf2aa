// The arithmetic of the ARMv7 division helpers (OrvekPORT/arm) against this
// machine's own division: every pair of edge values of each width and sign,
// and pseudo-random pairs of every bit length. (Their register convention
// and the trap on a zero divisor are checked on ARMv7 under emulation:
// tests/arm/helpers_run.cpp.)
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "OrvekPORT/arm/division.h"

namespace {

std::vector<std::uint64_t> Values() {
  std::vector<std::uint64_t> values = {
      0, 1, 2, 3, 7, 10, 1000000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
      0x100000000, 10000000000000000000u, 0x7FFFFFFFFFFFFFFF,
      0x8000000000000000, 0x8000000000000001, 0xFFFFFFFFFFFFFFFF};
  for (std::uint64_t v : std::vector<std::uint64_t>(values)) values.push_back(0 - v);
  std::uint64_t state = 0x9E3779B97F4A7C15;
  for (int i = 0; i < 200; ++i) {  // xorshift64, cut to every bit length
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    values.push_back(state >> (i % 64));
  }
  return values;
}

TEST(ArmDivision, QuotientAndRemainderOfEveryWidthAndSign) {
  const std::vector<std::uint64_t> values = Values();
  for (std::uint64_t n : values) {
    for (std::uint64_t d : values) {
      if (d == 0) continue;
      SCOPED_TRACE(testing::Message() << n << " / " << d);
      std::uint64_t u[2];
      orvek_divide_u64(d, n, u);
      EXPECT_EQ(u[0], n / d);
      EXPECT_EQ(u[1], n % d);
      const auto sn = static_cast<std::int64_t>(n), sd = static_cast<std::int64_t>(d);
      std::int64_t s[2];
      orvek_divide_s64(sd, sn, s);
      if (sn == std::numeric_limits<std::int64_t>::min() && sd == -1) {
        EXPECT_EQ(s[0], sn);  // wraps, as the ARM divide instruction does
        EXPECT_EQ(s[1], 0);
      } else {
        EXPECT_EQ(s[0], sn / sd);
        EXPECT_EQ(s[1], sn % sd);
      }
      const auto n32 = static_cast<std::uint32_t>(n), d32 = static_cast<std::uint32_t>(d);
      if (d32 == 0) continue;
      const std::uint64_t u32 = orvek_divide_u32(d32, n32);
      EXPECT_EQ(u32, (n32 / d32) | std::uint64_t{n32 % d32} << 32);
      const auto sn32 = static_cast<std::int32_t>(n32), sd32 = static_cast<std::int32_t>(d32);
      const std::uint64_t s32 = orvek_divide_s32(sd32, sn32);
      if (sn32 == std::numeric_limits<std::int32_t>::min() && sd32 == -1) {
        EXPECT_EQ(s32, std::uint64_t{0x80000000});
      } else {
        EXPECT_EQ(static_cast<std::int32_t>(s32), sn32 / sd32);
        EXPECT_EQ(static_cast<std::int32_t>(s32 >> 32), sn32 % sd32);
      }
    }
  }
}

}  // namespace
