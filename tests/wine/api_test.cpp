// The map control API end to end under Wine: every export of the position,
// map and view, waypoint and moving-map families against the host emulator,
// whose log shows the bytes that crossed. The number writers and readers of
// the core and their tables are pinned by the native unit tests.
#include <gmock/gmock.h>

#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "wine_support.h"

namespace orvek::winetest {
namespace {

using ::testing::Contains;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- Against the emulator -------------------------------------------------

std::string Recv(const std::string& line) {
  return "recv " + log_escape(line + "\n");
}

struct PositionOut {
  char text1[64];
  char text2[64];
  double value1 = -777, value2 = -777, value3 = -777;

  std::uint32_t Get(std::int32_t index, std::uint32_t text_size = 64) {
    std::memset(text1, '#', sizeof(text1));
    std::memset(text2, '#', sizeof(text2));
    text1[sizeof(text1) - 1] = text2[sizeof(text2) - 1] = '\0';
    return OrvekGPSPort_GetMovingMapPosition(index, text1, &value1, &value2,
                                             &value3, text_size, text2);
  }
};

struct WaypointOut {
  char id[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "#";
  char text[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "#";
  char icon[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "#";
  double value1 = -777, value2 = -777, value3 = -777;

  std::uint32_t Get(std::int32_t index) {
    return OrvekGPSPort_Get_Waypoint(index, id, text, &value1, &value2,
                                     &value3, icon);
  }
};

std::string HostState(const char* query) {
  char result[512] = "";
  if (OrvekGPSPort_GetString(query, sizeof(result), result) != 0)
    return "query failed";
  return result;
}

using ApiTest = EmulatorTest;

TEST_F(ApiTest, PositionFixesCrossByteForByte) {
  start_and_init();
  std::string longest_text(196 - 62, 'x');  // 62: the sentence of all zeros
  const struct {
    double longitude, latitude, altitude;
    const char* text1;
    const char* text2;
    double real;
    std::int32_t integer;
    std::string sentence;  // without its CR LF
  } cases[] = {
      {-3.5, 40.25, 650.7, "A", "B", 1.5, 2,
       "$AAGGAM,,4015.000,N,330.000,W,1,5,0,650,m,,,,,,,A,B,1.500000,2*64"},
      {-179.999999, -89.999999, -12.9, "\xE9t\xE9", "", 1e41, INT32_MIN,
       "$AAGGAM,,8959.999,S,17959.999,W,1,5,0,-12,m,,,,,,,\xE9t\xE9,,"
       "100000000000000000620008645040778319495168.000000,-2147483648*39"},
      {0, 0, 0, longest_text.c_str(), "", 0, 0,
       "$AAGGAM,,000.000,N,000.000,E,1,5,0,0,m,,,,,,," + longest_text +
           ",,0.000000,0*40"},  // an even number of x cancels out
  };
  int fixes = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sentence);
    std::size_t mark = host().log_mark();
    ASSERT_EQ(OrvekGPSPort_NewPoint(c.longitude, c.latitude, c.altitude,
                                    c.text1, c.text2, c.real, c.integer),
              0u);
    EXPECT_THAT(host().log_lines_since(mark),
                Contains(Recv("E|" + c.sentence + "\r\n")));
    // The emulator checks frame and checksum before it counts a fix.
    EXPECT_THAT(host().log_lines_since(mark),
                Contains("send A|fix " + std::to_string(++fixes)));
  }
  EXPECT_EQ(host().read_file(L"PACKETTX.DAT")->size(), 199u);
}

TEST_F(ApiTest, RefusedFixesNeverReachTheHost) {
  start_and_init();
  std::string long_text(135, 'x');  // a 197-character sentence
  std::size_t mark = host().log_mark();
  EXPECT_EQ(OrvekGPSPort_NewPoint(kNaN, 0, 0, "", "", 0, 0), 12u);
  EXPECT_EQ(OrvekGPSPort_NewPoint(0, 2147483648.0, 0, "", "", 0, 0), 12u);
  EXPECT_EQ(OrvekGPSPort_NewPoint(0, 0, 0, nullptr, "", 0, 0), 12u);
  EXPECT_EQ(OrvekGPSPort_NewPoint(0, 0, 0, "", "", -1e41, 0), 11u);
  EXPECT_EQ(OrvekGPSPort_NewPoint(0, 0, 0, long_text.c_str(), "", 0, 0), 11u);
  EXPECT_EQ(host().count_log_since(mark, "recv"), 0);
}

TEST_F(ApiTest, MapCommandsSendTheirLines) {
  start_and_init();
  ASSERT_EQ(OrvekGPSPort_New_Waypoint("WP1", "", 0, 0, 0, ""), 0u);
  ASSERT_EQ(OrvekGPSPort_NewPoint(1, 2, 3, "Truck 7", "", 0, 0), 0u);
  const struct {
    const char* name;
    std::function<std::uint32_t()> call;
    const char* line;
    std::uint32_t status;  // the emulator refuses some bodies ("E|...")
  } cases[] = {
      {"open", [] { return OrvekGPSPort_OpenFile("\\maps\\a b.map"); },
       "D|\\maps\\a b.map", 0},
      {"open empty", [] { return OrvekGPSPort_OpenFile(""); }, "D|", 9},
      {"export", [] { return OrvekGPSPort_ExportViewFile("v.bmp"); },
       "J|v.bmp", 0},
      {"delete mobile", [] { return OrvekGPSPort_DeleteMobile("Truck 7"); },
       "H|Truck 7", 0},
      {"delete missing mobile",
       [] { return OrvekGPSPort_DeleteMobile("Truck 7"); }, "H|Truck 7", 9},
      {"exec", [] { return OrvekGPSPort_ExecCommand(-1); }, "I|-1", 0},
      {"viewport", [] { return OrvekGPSPort_SetViewportLen(320, -240); },
       "K|320,-240", 0},
      {"centre on waypoint",
       [] { return OrvekGPSPort_CenterWaypoint("WP1", 2.5); },
       "L|WP1,2.500000", 0},
      {"centre on coordinate",
       [] { return OrvekGPSPort_CenterCoordinate(2.1, 41.5, 0); },
       "O|2.100000,41.500000,0.000000", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::size_t mark = host().log_mark();
    EXPECT_EQ(c.call(), c.status);
    EXPECT_THAT(host().log_lines_since(mark), Contains(Recv(c.line)));
  }
  EXPECT_EQ(HostState("opened"), "\\maps\\a b.map");
  EXPECT_EQ(HostState("exported"), "v.bmp");
  EXPECT_EQ(HostState("viewport"), "320,-240");
  EXPECT_EQ(HostState("exec"), "-1");
  EXPECT_EQ(HostState("centre"), "O|2.100000,41.500000,0.000000");
  EXPECT_EQ(HostState("2"), "0") << "the mobile was deleted";

  std::size_t mark = host().log_mark();
  EXPECT_EQ(OrvekGPSPort_OpenFile(std::string(197, 'f').c_str()), 11u);
  EXPECT_EQ(OrvekGPSPort_CenterWaypoint(std::string(91, 'w').c_str(), 2.5),
            11u);
  EXPECT_EQ(OrvekGPSPort_ExportViewFile(nullptr), 12u);
  EXPECT_EQ(host().count_log_since(mark, "recv"), 0);
}

TEST_F(ApiTest, MovingMapInitPostsAndWaitsForNothing) {
  start_and_init();
  std::size_t mark = host().log_mark();
  double started = now_ms();
  EXPECT_EQ(OrvekGPSPort_MovingMapInit(), 0u);
  EXPECT_LT(now_ms() - started, 500);
  ASSERT_TRUE(host().wait_for_log(mark, "mmap-init 1", 3000));
  EXPECT_EQ(host().count_log_since(mark, "recv"), 0);

  // A known window is used as it is, even after its host has gone.
  ASSERT_TRUE(host().stop());
  started = now_ms();
  EXPECT_EQ(OrvekGPSPort_MovingMapInit(), 0u);
  EXPECT_LT(now_ms() - started, 500);
  EXPECT_EQ(count_emulator_windows(), 0);
}

TEST_F(ApiTest, WaypointsAreCountedReadBackAndDeleted) {
  start_and_init();
  std::size_t mark = host().log_mark();
  ASSERT_EQ(OrvekGPSPort_New_Waypoint("WP1", "Harbour", 2.1, 41.5, 120,
                                      "anchor"),
            0u);
  ASSERT_EQ(OrvekGPSPort_New_Waypoint(nullptr, nullptr, -0.5, 1e-7, 0,
                                      nullptr),
            0u);
  std::int32_t count = -1;
  ASSERT_EQ(OrvekGPSPort_Get_WaypointCount(&count), 0u);
  EXPECT_EQ(count, 2);

  WaypointOut first;
  ASSERT_EQ(first.Get(0), 0u);
  EXPECT_STREQ(first.id, "WP1");
  EXPECT_STREQ(first.text, "Harbour");
  EXPECT_EQ(first.value1, 2.1);
  EXPECT_EQ(first.value2, 41.5);
  EXPECT_EQ(first.value3, 120);
  EXPECT_STREQ(first.icon, "anchor");
  WaypointOut second;
  ASSERT_EQ(second.Get(1), 0u);
  EXPECT_STREQ(second.id, "");
  EXPECT_EQ(second.value1, -0.5);
  EXPECT_EQ(second.value2, 0.0) << "sent as 0.000000";
  EXPECT_STREQ(second.icon, "");

  ASSERT_EQ(OrvekGPSPort_Delete_Waypoint("WP1"), 0u);
  ASSERT_EQ(OrvekGPSPort_Get_WaypointCount(&count), 0u);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(OrvekGPSPort_Delete_Waypoint("WP1"), 9u) << "already gone";
  WaypointOut gone;
  EXPECT_EQ(gone.Get(1), 9u) << "the host answers E|no waypoint 1";
  EXPECT_STREQ(gone.id, "#");
  EXPECT_EQ(gone.value1, -777);

  EXPECT_THAT(
      host().log_lines_since(mark),
      ::testing::IsSupersetOf(std::vector<std::string>{
          Recv("M|WP1,Harbour,2.100000,41.500000,120.000000,anchor"),
          Recv("M|,,-0.500000,0.000000,0.000000,"), Recv("F|4"),
          Recv("F|2,0"), Recv("F|2,1"), Recv("N|WP1"),
          "send G|WP1,Harbour,2.100000,41.500000,120.000000,anchor"}));
}

TEST_F(ApiTest, MobilesComeBackAsRecords) {
  ASSERT_TRUE(host().seed_mobiles(
      "-37.784788,175.314897,59.9,KIWI1,BU-353S4 at Hamilton\n"
      "20.628799,-87.068080,-30.4,PLAYA1,AC12 at Playa, Mexico\n"));
  start_and_init();
  EXPECT_EQ(OrvekGPSPort_GetMovingMapCount(), 2);

  PositionOut kiwi;
  ASSERT_EQ(kiwi.Get(0), 0u);
  EXPECT_EQ(kiwi.value2, -37.784788) << "the first field";
  EXPECT_EQ(kiwi.value1, 175.314897) << "the second field";
  EXPECT_EQ(kiwi.value3, 59.9);
  EXPECT_STREQ(kiwi.text1, "KIWI1");
  EXPECT_STREQ(kiwi.text2, "BU-353S4 at Hamilton");
  PositionOut playa;
  ASSERT_EQ(playa.Get(1), 0u);
  EXPECT_STREQ(playa.text2, "AC12 at Playa") << "cut at the fifth comma";

  // A fix naming a new mobile adds it, with longitude and latitude in the
  // order of the record.
  ASSERT_EQ(OrvekGPSPort_NewPoint(-3.5, 40.25, 650.7, "Boat", "moored", 0, 0),
            0u);
  EXPECT_EQ(OrvekGPSPort_GetMovingMapCount(), 3);
  PositionOut boat;
  ASSERT_EQ(boat.Get(2), 0u);
  EXPECT_EQ(boat.value1, -3.5);
  EXPECT_EQ(boat.value2, 40.25);
  EXPECT_EQ(boat.value3, 650);
  EXPECT_STREQ(boat.text1, "Boat");
  EXPECT_STREQ(boat.text2, "moored");

  std::size_t mark = host().log_mark();
  PositionOut short_buffer;
  EXPECT_EQ(short_buffer.Get(0, 5), 11u) << "KIWI1 needs 6 bytes";
  EXPECT_EQ(short_buffer.value3, 59.9) << "stored before the text";
  EXPECT_EQ(short_buffer.text1[0], '#');
  EXPECT_THAT(host().log_lines_since(mark), Contains(Recv("F|3,0")));
}

}  // namespace
}  // namespace orvek::winetest
