// The "%d" and "%f" writers of request bodies, against fixed texts and
// against glibc's printf as the oracle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

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

// Random doubles across the whole exponent range and near the six-decimal
// ties, each compared with glibc's correctly rounded printf.
TEST(FixedText, AgreesWithGlibcPrintf) {
  std::mt19937_64 random(20240607);
  int compared = 0;
  for (int i = 0; i < 20000; ++i) {
    double value;
    switch (i % 3) {
      case 0: {  // any bit pattern that is a finite double
        std::uint64_t bits = random();
        std::memcpy(&value, &bits, sizeof(value));
        if (!std::isfinite(value)) continue;
        break;
      }
      case 1:  // ordinary map values
        value = std::uniform_real_distribution<double>(-400.0, 400.0)(random);
        break;
      default: {  // right next to a tie at the sixth decimal
        double tie = (static_cast<double>(random() % 2000000000) + 0.5) / 1e6;
        value = std::nextafter(tie, (random() & 1) ? 0.0 : 1e300);
        break;
      }
    }
    ASSERT_EQ(FixedText(value).view(), Printf("%f", value))
        << "value " << Printf("%a", value);
    ++compared;
  }
  EXPECT_GT(compared, 15000);
}

TEST(DecimalText, MatchesTheTable) {
  for (const auto& c : kDecimalCases) {
    EXPECT_EQ(DecimalText(c.value).view(), c.text) << "value " << c.text;
  }
}

}  // namespace
}  // namespace orvek::api
