// gpsd's report stream: one fix per time from the last TPV of that time.
#include <gtest/gtest.h>

#include <vector>

#include "gpsd_reports.h"
#include "nmea_stream.h"

namespace orvek::feed {
namespace {

std::vector<Fix> run(std::string_view text, GpsdCounts* counts = nullptr) {
  std::vector<Fix> fixes;
  GpsdReports reports([&](const Fix& fix) { fixes.push_back(fix); });
  reports.push(text);
  reports.finish();
  if (counts) *counts = reports.counts();
  return fixes;
}

TEST(GpsdReports, LastReportOfATimeIsItsFix) {
  GpsdCounts counts;
  auto fixes = run(
      R"({"class":"VERSION","release":"3.22"})" "\n"
      R"({"class":"SKY","uSat":8})" "\n"
      R"({"class":"TPV","mode":2,"time":"2022-10-18T11:32:58.000Z","lat":32.64858,"lon":-108.37411,"speed":2.727})" "\n"
      R"({"class":"TPV","mode":3,"time":"2022-10-18T11:32:58.000Z","lat":32.64858,"lon":-108.37411,"altMSL":1577.4,"alt":1577.4,"speed":2.727})" "\r\n"
      R"({"class":"TPV","mode":3,"time":"2022-10-18T11:32:59.000Z","lat":32.6486,"lon":-108.3741,"alt":-12.5})" "\n",
      &counts);
  ASSERT_EQ(fixes.size(), 2u);
  EXPECT_TRUE(fixes[0].has_altitude);
  EXPECT_DOUBLE_EQ(fixes[0].altitude_msl_m, 1577.4);
  EXPECT_NEAR(fixes[0].speed_knots, 5.3, 0.01);
  EXPECT_EQ(fixes[0].satellites, 8);
  EXPECT_EQ(fixes[0].utc_ms, 41578000u);
  EXPECT_DOUBLE_EQ(fixes[1].altitude_msl_m, -12.5) << "alt when altMSL is missing";
  EXPECT_EQ(counts.reports, 3u);
  EXPECT_EQ(counts.epochs, 2u);
}

TEST(GpsdReports, NoFixModesAndBrokenReportsGiveNothing) {
  GpsdCounts counts;
  auto fixes = run(
      // Mode 3 first, then the epoch's last word is mode 1: no fix.
      R"({"class":"TPV","mode":3,"time":"2011-11-11T07:17:34.929Z","lat":44.06863,"lon":-121.31434,"alt":1127.8})" "\n"
      R"({"class":"TPV","mode":1,"time":"2011-11-11T07:17:34.929Z"})" "\n"
      // Mode 2 drops the altitude even when one is there.
      R"({"class":"TPV","mode":2,"time":"2011-11-11T07:17:36.000Z","lat":44.0,"lon":-121.0,"alt":900})" "\n"
      R"({"class":"TPV","mode":3,"time":"2011-11-11T07:17:37.000Z","lat":"44.0","lon":-121.0})" "\n"
      R"({"class":"TPV","mode":3,"time":"2011-11-11T07:17:38.000Z","lon":-121.0})" "\n"
      R"({"class":"TPV","mode":3,"lat":44.1,)" "\n"
      "not json at all\n"
      "[1,2,3]\n",
      &counts);
  ASSERT_EQ(fixes.size(), 1u);
  EXPECT_FALSE(fixes[0].has_altitude);
  EXPECT_EQ(fixes[0].altitude_msl_m, 0);
  EXPECT_EQ(counts.unreadable, 3u);
  EXPECT_EQ(counts.epochs_without_fix, 3u);
}

// Both readers hand on only what check_fix lets through: a position off
// the globe is no fix, a value no receiver reports goes as 0.
TEST(CheckFix, EverySourcesFixIsCheckedTheSameWay) {
  GpsdCounts counts;
  auto fixes = run(
      R"({"class":"TPV","mode":3,"time":"2024-01-01T00:00:01Z","lat":95,"lon":2})" "\n"
      R"({"class":"TPV","mode":2,"time":"2024-01-01T00:00:02Z","lat":1,"lon":-180.5})" "\n"
      R"({"class":"SKY","uSat":1e300})" "\n"
      R"({"class":"TPV","mode":3,"time":"2024-01-01T00:00:03Z","lat":1,"lon":2,)"
      R"("altMSL":1e300,"speed":1e308})" "\n",
      &counts);
  ASSERT_EQ(fixes.size(), 1u);
  EXPECT_EQ(counts.epochs_without_fix, 2u);
  EXPECT_TRUE(!fixes[0].has_altitude && fixes[0].altitude_msl_m == 0 &&
              fixes[0].speed_knots == 0 && fixes[0].satellites == 0);

  std::vector<Fix> nmea;
  NmeaStream stream([&](const Fix& fix) { nmea.push_back(fix); });
  stream.push("$GPGGA,113258,3238.9148,N,10822.4466,W,2,08,1.1,1e20,M,-24.6,M,,\n"
              "$GPRMC,113259,A,3238.9148,N,10822.4466,W,1e308,247.1,181022,,\n");
  stream.finish();
  ASSERT_EQ(nmea.size(), 2u);
  EXPECT_TRUE(!nmea[0].has_altitude && nmea[0].satellites == 8 && nmea[1].speed_knots == 0);
}

}  // namespace
}  // namespace orvek::feed
