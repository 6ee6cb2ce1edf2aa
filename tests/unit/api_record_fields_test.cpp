// Reading counts and numbers out of the host's query results.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "api/record_fields.h"

namespace orvek::api {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(ParseCount, AtoiRuleSaturating) {
  struct {
    const char* text;
    std::int32_t count;
  } cases[] = {
      {"12", 12},        {"12\n", 12},       {"  \t7x", 7},   {"+5", 5},
      {"-3", -3},        {"", 0},            {"abc", 0},      {"x12", 0},
      {"- 3", 0},        {"\n\r 42", 42},    {"007", 7},      {"1,2", 1},
      {"2147483647", 2147483647},            {"2147483648", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"-2147483649", std::numeric_limits<std::int32_t>::min()},
      {"99999999999999999999999", 2147483647},
      // 2^64: an unclamped 64-bit sum wraps to exactly 0.
      {"18446744073709551616", 2147483647},
      {"-18446744073709551616", std::numeric_limits<std::int32_t>::min()},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseCount(c.text), c.count) << "text \"" << c.text << "\"";
}

TEST(ParseNumber, DecimalFormsOnly) {
  const double inf = std::numeric_limits<double>::infinity();
  struct {
    const char* text;
    double value;
  } cases[] = {
      {"1.5", 1.5},         {"  -2.5", -2.5},    {"+3", 3.0},
      {"41.5x", 41.5},      {".5", 0.5},         {"5.", 5.0},
      {"1e3", 1000.0},      {"1E-2", 0.01},      {"2.5e+1,", 25.0},
      {"1e", 1.0},          {"1e+", 1.0},        {"3.e2", 300.0},
      {"", 0.0},            {",", 0.0},          {"x1", 0.0},
      {".", 0.0},           {"-", 0.0},          {"e5", 0.0},
      {"inf", 0.0},         {"nan", 0.0},        {"0x1p3", 0.0},
      {"1e400", inf},       {"-1e400", -inf},    {"1e-400", 0.0},
      {"0.000e999", 0.0},   {"1000e-326", 1e-323},
      {"123456789012345678901234567890e-29", 1.2345678901234568},
      {"\n7\r", 7.0},       {"1 2", 1.0},        {"-0", -0.0},
      {"-1e-400", -0.0},
  };
  for (const auto& c : cases) {
    double value = ParseNumber(c.text);
    EXPECT_EQ(value, c.value) << "text \"" << c.text << "\"";
    EXPECT_EQ(std::signbit(value), std::signbit(c.value))
        << "text \"" << c.text << "\"";
  }
}

// The hard cases of correct rounding: texts exactly halfway between two
// doubles (ties go to the even one), a hair above or below halfway, with
// the deciding digit beyond the 780 digits kept, subnormals, and the edges
// of the range. The halfway points are exact in x87 long doubles, whose
// "%Le" glibc prints exactly.
TEST(ParseNumber, HalfwayTextsRoundLikeStrtod) {
  std::mt19937_64 random(31);
  for (int i = 0; i < 3000; ++i) {
    std::uint64_t bits = random() & 0x7FEFFFFFFFFFFFFFull;  // finite, < max
    if (i % 3 == 0) bits &= 0x000FFFFFFFFFFFFFull;          // subnormal
    double low;
    std::memcpy(&low, &bits, sizeof(low));
    double high = std::nextafter(low, kInfinity);
    long double halfway = (static_cast<long double>(low) + high) / 2;
    char exact[1000];
    std::snprintf(exact, sizeof(exact), "%.800Le", halfway);
    std::string text = exact;
    std::size_t e = text.find('e');
    std::string above = text.substr(0, e) + "00001" + text.substr(e);
    std::string below = text.substr(0, 20) + text.substr(e);  // cut short
    for (const std::string& t : {text, above, below})
      ASSERT_EQ(ParseNumber(t), std::strtod(t.c_str(), nullptr))
          << t.substr(0, 40) << "..." << t.substr(e);
  }
  const char* edges[] = {
      "1.7976931348623157e308",
      "1.7976931348623158e308",
      "1.7976931348623159e308",
      "179769313486231580793728971405301e276",
      "4.9406564584124654e-324",
      "2.4703282292062328e-324",
      "2.4703282292062327e-324",
      "2.2250738585072011e-308",
      "2.2250738585072012e-308",
      "9007199254740993",
      "0.000000000000000000000000000000000000000001e42",
      "123456789012345678901234567890e-30",
  };
  for (const char* t : edges)
    EXPECT_EQ(ParseNumber(t), std::strtod(t, nullptr)) << t;
}

}  // namespace
}  // namespace orvek::api
