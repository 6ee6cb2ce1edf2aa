// Reading counts and numbers out of the host's query results.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "api/record_fields.h"

namespace orvek::api {
namespace {

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
      {"\n7\r", 7.0},       {"1 2", 1.0},
  };
  for (const auto& c : cases) {
    double value = ParseNumber(c.text);
    EXPECT_EQ(value, c.value) << "text \"" << c.text << "\"";
    EXPECT_EQ(std::signbit(value), std::signbit(c.value))
        << "text \"" << c.text << "\"";
  }
  EXPECT_TRUE(std::signbit(ParseNumber("-0")));
  EXPECT_TRUE(std::signbit(ParseNumber("-1e-400")));
}

}  // namespace
}  // namespace orvek::api
