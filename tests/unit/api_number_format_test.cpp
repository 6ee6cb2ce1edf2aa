// The "%d" and "%f" writers of request bodies against fixed texts; the
// comparison with glibc's printf over any double is fuzz/fuzz_numbers.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "api/number_format.h"
#include "tests/support/number_cases.h"

namespace orvek::api {
namespace {

using orvek::testing::kDecimalCases;
using orvek::testing::kFixedCases;
using orvek::testing::kNonFiniteCases;

std::string Printf(const char* format, double value) {
  char text[kNumberTextRoom];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

TEST(FixedText, AwkwardValuesMatchTheTable) {
  for (const auto& c : kFixedCases) {
    NumberText number = FixedText(c.value);
    EXPECT_EQ(number.view(), c.text) << "value " << Printf("%.17g", c.value);
    EXPECT_EQ(std::strlen(number.text), number.length);
  }
}

TEST(FixedText, NonFiniteValuesHaveOneSpelling) {
  for (const auto& c : kNonFiniteCases)
    EXPECT_EQ(FixedText(c.value).view(), c.text) << "case " << c.text;
}

TEST(DecimalText, MatchesTheTable) {
  for (const auto& c : kDecimalCases) {
    EXPECT_EQ(DecimalText(c.value).view(), c.text) << "value " << c.text;
  }
}

}  // namespace
}  // namespace orvek::api
