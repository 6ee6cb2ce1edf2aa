// The position sentence of OrvekGPSPort_NewPoint: its bytes, its checksum
// and its refusals (its "E" command is in api_host_calls_test.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "api/position_sentence.h"
#include "tests/support/coordinate_cases.h"

namespace orvek::api {
namespace {


constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Fix {
  double longitude = 0, latitude = 0, altitude = 0;
  const char* text1 = "";
  const char* text2 = "";
  double real = 0;
  std::int32_t integer = 0;
};

StatusCode Build(const Fix& fix, std::string* sentence) {
  char buffer[kMaxSentence + 1];
  StatusCode status = BuildPositionSentence(
      fix.longitude, fix.latitude, fix.altitude, fix.text1, fix.text2,
      fix.real, fix.integer, buffer);
  *sentence = buffer;
  return status;
}

std::vector<std::string> Fields(const std::string& sentence) {
  std::vector<std::string> fields(1);
  for (char c : sentence.substr(0, sentence.rfind('*'))) {
    if (c == ',') fields.emplace_back();
    else fields.back() += c;
  }
  return fields;
}

// A whole sentence, or a refusal that leaves it empty. West and north, and
// the longest sentence (196 bytes with its CR LF), are pinned through
// NewPoint's "E" command in api_host_calls_test.cpp.
TEST(PositionSentence, WholeSentencesAndRefusals) {
  const std::string x135(135, 'x');  // one byte too many
  const StatusCode kBad = ORVEKPORT_E_INVALID_ARGUMENT;
  const StatusCode kLong = ORVEKPORT_E_TOO_LONG;
  struct {
    const char* name;
    Fix fix;
    std::string sentence;
    StatusCode status = ORVEKPORT_OK;
  } cases[] = {
      {"all zero, empty texts",
       {},
       "$AAGGAM,,000.000,N,000.000,E,1,5,0,0,m,,,,,,,,,0.000000,0*40\r\n"},
      {"texts with a star and a comma, negative numbers",
       {2.35, 48.85, 35, "Boat 1", "x*y,z", -0.25, -7},
       "$AAGGAM,,4851.000,N,221.000,E,1,5,0,35,m,,,,,,,Boat 1,x*y,z,"
       "-0.250000,-7*1B\r\n"},
      {"south-west extremes, 8-bit text, widest real and integer",
       {-179.999999, -89.999999, -12.9, "\xE9t\xE9", "", 1e41, INT32_MIN},
       "$AAGGAM,,8959.999,S,17959.999,W,1,5,0,-12,m,,,,,,,\xE9t\xE9,,"
       "100000000000000000620008645040778319495168.000000,-2147483648*39\r\n"},
      {"null text1", {.text1 = nullptr}, "", kBad},
      {"null text2", {.text2 = nullptr}, "", kBad},
      {"NaN longitude", {.longitude = kNaN}, "", kBad},
      {"infinite latitude", {.latitude = -kInf}, "", kBad},
      {"infinite altitude", {.altitude = kInf}, "", kBad},
      {"latitude 2^31", {.latitude = 2147483648.0}, "", kBad},
      {"longitude -2^31", {.longitude = -2147483648.0}, "", kBad},
      {"altitude -2^31", {.altitude = -2147483648.0}, "", kBad},
      {"altitude 1e300", {.altitude = 1e300}, "", kBad},
      {"real value of 50 characters", {.real = -1e41}, "", kLong},
      {"real value 1e300", {.real = 1e300}, "", kLong},
      {"text1 one byte over", {.text1 = x135.c_str()}, "", kLong},
      {"text2 one byte over", {.text2 = x135.c_str()}, "", kLong},
  };
  for (const auto& c : cases) {
    std::string sentence = "untouched";
    EXPECT_EQ(Build(c.fix, &sentence), c.status) << c.name;
    EXPECT_EQ(sentence, c.sentence) << c.name;
  }
}

// Each step truncates: the double nearest 41.4 lies just below it.
TEST(PositionSentence, CoordinatesTruncateEveryStep) {
  struct {
    double value;
    const char* field;
    bool negative;  // "S" and "W"
  } cases[] = {
      {40.25, "4015.000", false},
      {41.4, "4123.999", false},
      {-33.8568, "3351.407", true},
      {5.5, "530.000", false},
      {-0.5, "030.000", true},
      {0.1, "006.000", false},
      {179.999999, "17959.999", false},
      {100, "10000.000", false},  // no range check
      {-0.0, "000.000", false},   // not less than zero
      {-0.000001, "000.000", true},
      {0.0166666, "000.999", false},
      {1 - 0x1p-53, "059.999", false},  // minutes stay below 60
      {2147483647.9999998, "214748364759.999", false},
      {-2147483647.9999998, "214748364759.999", true},
  };
  for (const auto& c : cases) {
    std::string sentence;
    ASSERT_EQ(Build({.latitude = c.value}, &sentence), ORVEKPORT_OK) << c.value;
    std::vector<std::string> fields = Fields(sentence);
    ASSERT_EQ(fields.size(), 21u) << sentence;
    EXPECT_EQ(fields[2], c.field) << "latitude " << c.value;
    EXPECT_EQ(fields[3], c.negative ? "S" : "N") << "latitude " << c.value;

    ASSERT_EQ(Build({.longitude = c.value}, &sentence), ORVEKPORT_OK)
        << c.value;
    fields = Fields(sentence);
    EXPECT_EQ(fields[4], c.field) << "longitude " << c.value;
    EXPECT_EQ(fields[5], c.negative ? "W" : "E") << "longitude " << c.value;
    EXPECT_EQ(fields[2], "000.000") << "longitude must not leak into field 2";
  }
}

// The digits are worked out in whole numbers, so that no floating-point
// unit can change them; they must still be what strict double arithmetic
// gives. (orvek-coordinate-check runs the same comparison over 10 million.)
TEST(SplitCoordinate, SameAsTheDoubleSteps) {
  testing::CoordinateValues values(12);
  for (int i = 0; i < 300'000; ++i) {
    double value = values.next();
    CoordinateParts integer = SplitCoordinate(value);
    CoordinateParts reference = testing::DoubleSteps(value);
    ASSERT_TRUE(testing::SameParts(integer, reference))
        << std::hexfloat << value << ": " << integer.degrees << " "
        << integer.minutes << " " << integer.thousandths << " against "
        << reference.degrees << " " << reference.minutes << " "
        << reference.thousandths;
  }
}

// The altitude truncates toward zero (650.7 and -12.9 are in whole
// sentences, here and in the "E" command); realValue is no coordinate, so a
// non-finite one is printed, not refused.
TEST(PositionSentence, AltitudeAndRealValueFields) {
  struct {
    Fix fix;
    std::size_t field;
    const char* text;
  } cases[] = {
      {{.altitude = -0.9}, 9, "0"},
      {{.altitude = 0.999}, 9, "0"},
      {{.altitude = 2147483647.9}, 9, "2147483647"},
      {{.altitude = -2147483647.9}, 9, "-2147483647"},
      {{.real = -kInf}, 19, "-inf"},
      {{.real = kNaN}, 19, "nan"},
  };
  for (const auto& c : cases) {
    std::string sentence;
    ASSERT_EQ(Build(c.fix, &sentence), ORVEKPORT_OK) << c.text;
    EXPECT_EQ(Fields(sentence)[c.field], c.text);
  }
}

}  // namespace
}  // namespace orvek::api
