// The "%d" and "%f" writers of request bodies against fixed texts, those
// that glibc's printf gives for awkward values (the "%f" ones shared with the
// ARM runs: tests/support/fixed_text_cases.h). The comparison with printf
// over any double is fuzz/fuzz_numbers.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "api/number_format.h"
#include "tests/support/fixed_text_cases.h"

namespace orvek::api {
namespace {

struct DecimalCase {
  std::int32_t value;
  const char* text;  // "%d"
};

constexpr DecimalCase kDecimalCases[] = {
    {0, "0"},
    {-1, "-1"},
    {1000000, "1000000"},
    {std::numeric_limits<std::int32_t>::max(), "2147483647"},
    {std::numeric_limits<std::int32_t>::min(), "-2147483648"},
};

TEST(FixedText, AwkwardValuesMatchTheTable) {
  for (const auto& c : testing::kFixedCases) {
    char shortest[32];
    std::snprintf(shortest, sizeof(shortest), "%.17g", c.value);
    NumberText number = FixedText(c.value);
    EXPECT_EQ(number.view(), c.text) << "value " << shortest;
    EXPECT_EQ(std::strlen(number.text), number.length);
  }
}

TEST(DecimalText, MatchesTheTable) {
  for (const auto& c : kDecimalCases)
    EXPECT_EQ(DecimalText(c.value).view(), c.text) << "value " << c.text;
}

}  // namespace
}  // namespace orvek::api
