// The NMEA reader against real sentences from the receiver logs and broken
// variants of them, and the epoch grouping against short streams.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include "nmea_stream.h"
#include "tools/common/gpx_text.h"

namespace orvek::feed {
namespace {

// One minute of arc in degrees, the tolerance of a sentence's thousandths.
constexpr double kMilliMinute = 1.0 / 60000.0;

struct SentenceCase {
  const char* line;
  LineVerdict verdict;
  bool says_fix;
  double latitude, longitude;  // NAN: no position
  double altitude;             // NAN: none
};

TEST(NmeaSentence, ReadsRealAndBrokenSentences) {
  const SentenceCase cases[] = {
      // garmin15x: north/west, altitude.
      {"$GPGGA,113258,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,,*4D",
       LineVerdict::kUsed, true, 32.64858, -108.37411, 1577.4},
      {"$GPRMC,113258,A,3238.9148,N,10822.4466,W,005.3,247.1,181022,009.3,E*6B",
       LineVerdict::kUsed, true, 32.64858, -108.37411, NAN},
      // tr737A+: the placeholder (89 degrees 60 minutes) with status V.
      {"$GPRMC,071732.929,V,8960.0000,N,00000.0000,E,0.00,0.00,111111,,,N*73",
       LineVerdict::kUsed, false, NAN, NAN, NAN},
      {"$GPGGA,071734.929,4404.1178,N,12118.8608,W,0,4,,1127.8,M,-19.6,M,,*49",
       LineVerdict::kUsed, false, 44.068630, -121.314347, 1127.8},
      // hp58534a: no checksum, zero-padded altitude, south/east.
      {"$GPGGA,222449,3349.0337,S,01843.9282,E,1,07,02.31,000115.4,M,0033.3,M,,",
       LineVerdict::kUsed, true, -33.817228, 18.732137, 115.4},
      // A lower-case checksum is still a checksum.
      {"$GPGGA,113258,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,,*4d",
       LineVerdict::kUsed, true, 32.64858, -108.37411, 1577.4},
      // GLL with and without status, GNS with and without a fix, any talker.
      {"$GPGLL,3751.65,S,14507.36,E*77", LineVerdict::kUsed, true, -37.860833,
       145.122667, NAN},
      {"$GNGLL,4916.45,N,12311.12,W,225444,V,N*5A", LineVerdict::kUsed, false,
       49.274167, -123.185333, NAN},
      {"$GNGNS,014035.00,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,*70",
       LineVerdict::kUsed, true, -43.544877, 172.591425, 25.63},
      {"$GNGNS,014035.00,,,,,NN,00,,,,,*7E", LineVerdict::kUsed, false, NAN,
       NAN, NAN},
      // Negative altitude (ac12).
      {"$GPGGA,100000,4807.038,N,01131.000,E,1,08,0.9,-12.5,M,46.9,M,,*50",
       LineVerdict::kUsed, true, 48.1173, 11.516667, -12.5},
      // One bit flipped in a digit: the checksum no longer matches.
      {"$GPGGA,113258,3238.9148,N,10822.4467,W,2,08,1.1,1577.4,M,-24.6,M,,*4D",
       LineVerdict::kBadChecksum, true, NAN, NAN, NAN},
      {"$GPGSV,3,1,09,07,38,351,00,08,60,306,31,11,73,114,35,17,36,265,46",
       LineVerdict::kOtherKind, true, NAN, NAN, NAN},
      {"# Submitter: someone", LineVerdict::kComment, true, NAN, NAN, NAN},
      {"", LineVerdict::kBlank, true, NAN, NAN, NAN},
      {"$GPGGA,1132\x01\xff,3238.9148,N", LineVerdict::kBinary, true, NAN, NAN, NAN},
      // Cut off at the front, in the middle, or glued to the next sentence.
      {"38.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,,*4D",
       LineVerdict::kCutOff, true, NAN, NAN, NAN},
      {"$GPGGA,113258,3238.9148,N,108$GPRMC,113258,A,3238.9148,N*6B",
       LineVerdict::kCutOff, true, NAN, NAN, NAN},
      {"$GPGGA,113258,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,,*4",
       LineVerdict::kCutOff, true, NAN, NAN, NAN},
      {"$GPGGA,113258,3238.9148,N,10822.4466", LineVerdict::kMalformed, true,
       NAN, NAN, NAN},
      {"$GPGGA,11:32:58,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,,,,",
       LineVerdict::kMalformed, true, NAN, NAN, NAN},
      {"$GP,113258", LineVerdict::kMalformed, true, NAN, NAN, NAN},
      // Readable frame, unreadable position: a sentence without a position.
      {"$GPGGA,113258,32X8.9148,N,10822.4466,W,1,08,1.1,1577.4,M,,,,",
       LineVerdict::kUsed, true, NAN, NAN, 1577.4},
      {"$GPGGA,113258,3238.9148,Q,10822.4466,W,1,08,1.1,1577.4,M,,,,",
       LineVerdict::kUsed, true, NAN, NAN, 1577.4},
      {"$GPGGA,113258,9100.0000,N,10822.4466,W,1,08,1.1,1577.4,M,,,,",
       LineVerdict::kUsed, true, NAN, NAN, 1577.4},
  };
  for (const SentenceCase& c : cases) {
    SCOPED_TRACE(c.line);
    Sentence s;
    ASSERT_EQ(read_sentence(c.line, &s), c.verdict)
        << verdict_name(read_sentence(c.line, &s));
    if (c.verdict != LineVerdict::kUsed) continue;
    EXPECT_EQ(s.says_fix, c.says_fix);
    ASSERT_EQ(s.latitude.has_value(), !std::isnan(c.latitude));
    if (s.latitude) {
      EXPECT_NEAR(*s.latitude, c.latitude, kMilliMinute);
      EXPECT_NEAR(*s.longitude, c.longitude, kMilliMinute);
    }
    ASSERT_EQ(s.altitude_msl_m.has_value(), !std::isnan(c.altitude));
    if (s.altitude_msl_m) {
      EXPECT_DOUBLE_EQ(*s.altitude_msl_m, c.altitude);
    }
  }
}

TEST(NmeaSentence, OverLongLineIsRefusedAndNeverRead) {
  std::string line = "$GPGGA,113258,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,";
  line += std::string(kMaxSentenceLength, ',');
  EXPECT_EQ(read_sentence(line, nullptr), LineVerdict::kTooLong);
}

// A position is the double nearest the receiver's decimal degrees, so that
// the track writes what the receiver said, not a neighbour 17 digits long.
TEST(NmeaSentence, DegreesAreTheDoubleNearestTheReceiversValue) {
  const struct {
    const char* field;
    const char* hemisphere;
    double max_degrees;
    const char* degrees;  // the exact value and the track's text of it; "": none
  } cases[] = {
      {"00329.640", "W", 180, "-3.494"},     {"3238.9148", "N", 90, "32.64858"},
      {"10822.4466", "W", 180, "-108.37411"}, {"4807.038", "N", 90, "48.1173"},
      {"18000.000", "E", 180, "180"},         {"0000.000", "S", 90, "-0"},
      {"8960.0000", "N", 90, ""},            {"9000.0001", "N", 90, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    std::optional<double> value = nmea_degrees(c.field, c.hemisphere, c.max_degrees);
    if (*c.degrees == '\0') {
      EXPECT_FALSE(value);
      continue;
    }
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, std::strtod(c.degrees, nullptr));
    EXPECT_EQ(tools::gpx_number(*value), c.degrees);
  }
}

TEST(NmeaSentence, TimesOfDay) {
  const std::pair<const char*, long long> cases[] = {
      {"113258", 41578000},  {"005947.00", 3587000}, {"071732.929", 26252929},
      {"235960", 86400000},  {"240000", -1},         {"1132", -1},
      {"113258.x", -1},      {"11a258", -1},         {"", -1},
  };
  for (auto [text, ms] : cases) {
    SCOPED_TRACE(text);
    auto value = nmea_time_ms(text);
    EXPECT_EQ(value ? static_cast<long long>(*value) : -1, ms);
  }
}

std::vector<Fix> run(const std::vector<std::string>& chunks, StreamCounts* counts) {
  std::vector<Fix> fixes;
  NmeaStream stream([&](const Fix& fix) { fixes.push_back(fix); });
  for (const std::string& chunk : chunks) stream.push(chunk);
  stream.finish();
  if (counts) *counts = stream.counts();
  return fixes;
}

TEST(NmeaStream, OneFixPerEpochOnlyOnceTheEpochIsComplete) {
  std::vector<Fix> fixes;
  NmeaStream stream([&](const Fix& fix) { fixes.push_back(fix); });
  stream.push("$GPRMC,113258,A,3238.9148,N,10822.4466,W,005.3,247.1,181022,009.3,E*6B\r\n");
  stream.push("$GPGGA,113258,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,,*4D\r\n");
  stream.push("$GPGSA,A,3,,,,,,,,,,,,,,,*1E\r\n");
  EXPECT_TRUE(fixes.empty()) << "the epoch may still bring sentences";
  // The next epoch's first sentence arrives cut in two pieces; only the
  // whole line closes the epoch before it.
  stream.push("$GPRMC,113259,A,3238.9140,N,10822.44");
  EXPECT_TRUE(fixes.empty());
  stream.push("60,W,005.3,247.1,181022,009.3,E*64\n");
  ASSERT_EQ(fixes.size(), 1u);
  EXPECT_EQ(fixes[0].utc_text, "113258");
  EXPECT_DOUBLE_EQ(fixes[0].altitude_msl_m, 1577.4);
  EXPECT_NEAR(fixes[0].speed_knots, 5.3, 1e-9);
  EXPECT_EQ(fixes[0].satellites, 8);
  stream.finish();
  ASSERT_EQ(fixes.size(), 2u);
  EXPECT_FALSE(fixes[1].has_altitude);
  EXPECT_EQ(fixes[1].altitude_msl_m, 0);
}

TEST(NmeaStream, DatesComeFromRmcAndZdaAndStayWithTheirEpoch) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::vector<std::string> dates;  // one per fix
  };
  const Case cases[] = {
      {"RMC's ddmmyy",
       {"$GPRMC,113258,A,3238.9148,N,10822.4466,W,005.3,247.1,181022,009.3,E*6B\n"},
       {"2022-10-18"}},
      {"ZDA after the epoch's GGA, and kept for the next epoch",
       {"$GPGGA,113258,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,,\n",
        "$GPZDA,113258.00,07,12,2026,00,00\n",
        "$GPGGA,113259,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,,\n"},
       {"2026-12-07", "2026-12-07"}},
      {"the date changes at midnight with the epoch, not before it",
       {"$GPRMC,235959,A,3238.9148,N,10822.4466,W,0,0,311299,,\n",
        "$GPRMC,000000,A,3238.9148,N,10822.4466,W,0,0,010100,,\n"},
       {"1999-12-31", "2000-01-01"}},
      {"no date, or an unreadable one",
       {"$GPGGA,113258,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,,\n",
        "$GPRMC,113259,A,3238.9148,N,10822.4466,W,0,0,181322,,\n",
        "$GPRMC,113300,A,3238.9148,N,10822.4466,W,0,0,1810,,\n"},
       {"", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> dates;
    for (const Fix& fix : run(c.lines, nullptr)) dates.push_back(fix.utc_date);
    EXPECT_EQ(dates, c.dates);
  }
}

TEST(NmeaStream, EpochsWithoutAPositionOrSayingNoFixGiveNothing) {
  StreamCounts counts;
  auto fixes = run({
      // tr737A+: placeholder, then quality 0 with a position and status V.
      "$GPRMC,071732.929,V,8960.0000,N,00000.0000,E,0.00,0.00,111111,,,N*73\n",
      "$GPGGA,071734.929,4404.1178,N,12118.8608,W,0,4,,1127.8,M,-19.6,M,,*49\n",
      "$GPRMC,071734.929,V,4404.1178,N,12118.8608,W,0.10,0.00,111111,,,N*67\n",
      // A real fix between them.
      "$GPGGA,071736.000,4404.1316,N,12118.8445,W,1,4,5.21,1134.4,M,-19.6,M,,*5F\n",
      // Signal lost: empty fields.
      "$GPGGA,071737.000,,,,,0,00,99.99,,,,,,*53\n",
      "$GPRMC,071738.000,V,,,,,,,111111,,,N*47\n",
  }, &counts);
  ASSERT_EQ(fixes.size(), 1u);
  EXPECT_EQ(fixes[0].utc_text, "071736.000");
  EXPECT_EQ(counts.epochs, 5u);
  EXPECT_EQ(counts.epochs_without_fix, 4u);
}

TEST(NmeaStream, JunkBetweenSentencesIsCountedAndDoesNotSplitEpochs) {
  StreamCounts counts;
  std::string junk(3000, '\x7f');  // longer than any line kept in memory
  auto fixes = run({
      "# comment\n\n",
      "$GPGGA,113258,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,,*4D\r\n",
      junk, "\n",
      std::string("\x00\x01garbage\n", 10),
      "$GPRMC,113258,A,3238.9148,N,10822.4466,W,005.3,247.1,181022,009.3,E*6C\n",
      "$GPRMC,113258,A,3238.9148,N,10822.4466,W,005.3,247.1,181022,009.3,E*6B\n",
      "$GPGGA,113259,3238.9148,N,10822.44",  // cut off by the end of the stream
  }, &counts);
  ASSERT_EQ(fixes.size(), 1u);
  EXPECT_NEAR(fixes[0].speed_knots, 5.3, 1e-9);
  EXPECT_EQ(counts.count(LineVerdict::kComment), 1u);
  EXPECT_EQ(counts.count(LineVerdict::kBlank), 1u);
  EXPECT_EQ(counts.count(LineVerdict::kTooLong), 1u);
  EXPECT_EQ(counts.count(LineVerdict::kBinary), 1u);
  EXPECT_EQ(counts.count(LineVerdict::kBadChecksum), 1u);
  EXPECT_EQ(counts.count(LineVerdict::kMalformed), 1u);
  EXPECT_EQ(counts.count(LineVerdict::kUsed), 2u);
  EXPECT_EQ(counts.lines, 8u);
}

// garmin48 stamps its GLL a second after the RMC and GGA of the same cycle;
// a GLL alone after a gap, or with another position, is an epoch of its own.
TEST(NmeaStream, LateStampedSentenceJoinsItsCycleOnly) {
  auto fixes = run({
      "$GPRMC,225308,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*6D\n",
      "$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53\n",
      "$GPGLL,4527.458,S,16709.165,E,225309,A*3E\n",
      "$GPRMC,225318,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*6C\n",
      "$GPGGA,225318,4527.458,S,16709.165,E,1,05,2.2,14.0,M,1.1,M,,*56\n",
      "$GPGLL,4527.458,S,16709.165,E,225333,A*37\n",
      "$GPRMC,225334,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*62\n",
      "$GPGGA,225334,4527.458,S,16709.165,E,1,05,2.4,12.5,M,1.1,M,,*5D\n",
      "$GPGLL,4527.459,S,16709.165,E,225335,A*30\n",
  }, nullptr);
  std::vector<std::string> times;
  for (const Fix& fix : fixes) times.push_back(fix.utc_text);
  EXPECT_EQ(times, (std::vector<std::string>{"225308", "225318", "225333", "225334",
                                              "225335"}));
}

// Every real log, fed byte by byte in odd-sized pieces, gives the same fixes
// as fed whole: the grouping does not depend on how the bytes arrive.
TEST(NmeaStream, RealLogsGiveTheSameFixesWhateverTheChunking) {
  const char* logs[] = {"ac12", "bu353s4", "cat-ms352", "firefly-II",
                        "garmin15x", "garmin48", "hp58534a", "jl-micro-jlt",
                        "quectel", "tr737A+"};
  for (const char* name : logs) {
    SCOPED_TRACE(name);
    std::ifstream file(std::string(ORVEK_NMEA_DATA_DIR) + "/" + name + ".log",
                       std::ios::binary);
    ASSERT_TRUE(file) << "log missing";
    std::stringstream bytes;
    bytes << file.rdbuf();
    std::string all = bytes.str();
    auto whole = run({all}, nullptr);
    std::vector<std::string> pieces;
    for (std::size_t at = 0, size = 1; at < all.size(); at += size, size = size % 13 + 1)
      pieces.push_back(all.substr(at, size));
    auto chunked = run(pieces, nullptr);
    ASSERT_EQ(whole.size(), chunked.size());
    EXPECT_GT(whole.size(), 0u);
    for (std::size_t i = 0; i < whole.size(); ++i) {
      EXPECT_EQ(whole[i].utc_text, chunked[i].utc_text);
      EXPECT_EQ(whole[i].latitude, chunked[i].latitude);
    }
  }
}

}  // namespace
}  // namespace orvek::feed
