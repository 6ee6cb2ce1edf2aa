// The map control API end to end under Wine: the position, map and view,
// waypoint and moving-map exports against the host emulator, whose log shows
// the bytes that crossed. The writers and readers of the core and their
// limits are pinned row by row by the native unit tests; these exchanges
// show that the real DLL and files carry them.
#include <gmock/gmock.h>

#include <string>
#include <tuple>

#include "OrvekPORT/OrvekPORT.h"
#include "wine_support.h"

namespace orvek::winetest {
namespace {

using ApiTest = EmulatorTest;

TEST_F(ApiTest, FixesAndMapCommandsCrossByteForByte) {
  start_and_init();
  ASSERT_EQ(OrvekGPSPort_New_Waypoint("WP1", "", 0, 0, 0, ""), 0u);
  auto fix = [](std::string text1, double real, std::int32_t integer) {
    return [=] {
      return OrvekGPSPort_NewPoint(-179.999999, -89.999999, -12.9,
                                   text1.c_str(), "", real, integer);
    };
  };
  // The emulator checks frame and checksum before it counts a fix.
  run_exchanges({
      {"fix in code page 1252", fix("Truck \xE9", 1e41, INT32_MIN), 0,
       {recv("E|$AAGGAM,,8959.999,S,17959.999,W,1,5,0,-12,m,,,,,,,Truck \xE9"
             ",,100000000000000000620008645040778319495168.000000,"
             "-2147483648*DF\r\n"),
        "send A|fix 1"}},
      {"open", [] { return OrvekGPSPort_OpenFile("\\maps\\a b.map"); }, 0,
       {recv("D|\\maps\\a b.map")}},
      {"open refused by the host", [] { return OrvekGPSPort_OpenFile(""); },
       9, {recv("D|"), "send E|empty file name"}},
      {"export", [] { return OrvekGPSPort_ExportViewFile("v.bmp"); }, 0,
       {recv("J|v.bmp")}},
      {"delete mobile",
       [] { return OrvekGPSPort_DeleteMobile("Truck \xE9"); }, 0,
       {recv("H|Truck \xE9")}},
      {"exec", [] { return OrvekGPSPort_ExecCommand(-1); }, 0,
       {recv("I|-1")}},
      {"viewport", [] { return OrvekGPSPort_SetViewportLen(320, -240); }, 0,
       {recv("K|320,-240")}},
      {"centre on waypoint",
       [] { return OrvekGPSPort_CenterWaypoint("WP1", 2.5); }, 0,
       {recv("L|WP1,2.500000")}},
      {"centre on coordinate",
       [] { return OrvekGPSPort_CenterCoordinate(2.1, 41.5, 0); }, 0,
       {recv("O|2.100000,41.500000,0.000000")}},
  });
  EXPECT_EQ(query("opened"), "\\maps\\a b.map");
  EXPECT_EQ(query("exported"), "v.bmp");
  EXPECT_EQ(query("viewport"), "320,-240");
  EXPECT_EQ(query("2"), "0") << "the fix's mobile was deleted";
}

TEST_F(ApiTest, MovingMapInitPostsAndWaitsForNothing) {
  start_and_init();
  std::size_t mark = host().log_mark();
  const double started = now_ms();
  EXPECT_EQ(OrvekGPSPort_MovingMapInit(), 0u);
  EXPECT_LT(now_ms() - started, 500);
  ASSERT_TRUE(host().wait_for_log(mark, "mmap-init 1", 3000));
  EXPECT_EQ(host().count_log_since(mark, "recv"), 0);
}

TEST_F(ApiTest, WaypointsAndMobilesComeBackAsTheHostHoldsThem) {
  ASSERT_TRUE(host().seed_mobiles(
      "-37.784788,175.314897,59.9,KIWI1,BU-353S4 at Hamilton\n"
      "20.628799,-87.068080,-30.4,PLAYA1,AC12 at Playa, Mexico\n"));
  start_and_init();
  char id[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "#", text[sizeof id] = "#",
       icon[sizeof id] = "#";
  double v1 = -777, v2 = -777, v3 = -777;
  std::int32_t count = -1;
  auto get = [&](std::int32_t index) {
    return [&, index] {
      return OrvekGPSPort_Get_Waypoint(index, id, text, &v1, &v2, &v3, icon);
    };
  };
  run_exchanges({
      {"add",
       [] {
         return OrvekGPSPort_New_Waypoint("WP1", "Harbour", 2.1, 41.5, 120,
                                          "anchor");
       },
       0, {recv("M|WP1,Harbour,2.100000,41.500000,120.000000,anchor")}},
      {"add without texts",
       [] {
         return OrvekGPSPort_New_Waypoint(nullptr, nullptr, -0.5, 1e-7, 0,
                                          nullptr);
       },
       0, {recv("M|,,-0.500000,0.000000,0.000000,")}},
      {"count", [&] { return OrvekGPSPort_Get_WaypointCount(&count); }, 0,
       {recv("F|4"), "send G|2"}},
      {"read back", get(0), 0,
       {recv("F|2,0"),
        "send G|WP1,Harbour,2.100000,41.500000,120.000000,anchor"}},
      {"delete", [] { return OrvekGPSPort_Delete_Waypoint("WP1"); }, 0,
       {recv("N|WP1")}},
      {"read what is gone", get(1), 9, {recv("F|2,1"), "send E|no waypoint 1"}},
  });
  EXPECT_EQ(count, 2);
  // As read back, untouched by the failed read.
  EXPECT_EQ(std::string(id) + "," + text + "," + icon, "WP1,Harbour,anchor");
  EXPECT_EQ(std::tie(v1, v2, v3), std::make_tuple(2.1, 41.5, 120.0));

  // A fix naming a new mobile adds it.
  ASSERT_EQ(OrvekGPSPort_NewPoint(-3.5, 40.25, 650.7, "Boat", "moored", 0, 0),
            0u);
  EXPECT_EQ(OrvekGPSPort_GetMovingMapCount(), 3);

  const struct {
    std::int32_t index;
    double value1, value2, value3;  // longitude, latitude, altitude
    const char* texts;
  } cases[] = {
      {0, 175.314897, -37.784788, 59.9, "KIWI1|BU-353S4 at Hamilton"},
      {1, -87.068080, 20.628799, -30.4, "PLAYA1|AC12 at Playa"},  // 5th ,
      {2, -3.5, 40.25, 650, "Boat|moored"},
  };
  char text1[64], text2[64];
  for (const auto& c : cases) {
    SCOPED_TRACE(c.texts);
    ASSERT_EQ(OrvekGPSPort_GetMovingMapPosition(c.index, text1, &v1, &v2, &v3,
                                                64, text2),
              0u);
    EXPECT_EQ(std::tie(v1, v2, v3), std::tie(c.value1, c.value2, c.value3));
    EXPECT_EQ(std::string(text1) + "|" + text2, c.texts);
  }
}

}  // namespace
}  // namespace orvek::winetest
