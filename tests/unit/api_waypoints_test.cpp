// Waypoints on the fake host: the "M" and "N" commands, the count query and
// reading one waypoint back out of the reply.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "api/waypoints.h"
#include "hostlink/host_link_state.h"
#include "tests/support/guarded_text.h"
#include "tests/support/host_link_fixture.h"

namespace orvek::api {
namespace {

using platform::fake::Op;

// A host link to a running fake host, the discovery's calls forgotten.
using WaypointsTest = testing::ConnectedHostTest;

TEST_F(WaypointsTest, NewWaypointBodies) {
  const double inf = std::numeric_limits<double>::infinity();
  struct {
    const char* id;
    const char* text;
    double v1, v2, v3;
    const char* icon;
    const char* line;
  } cases[] = {
      {"a", "b", 2.1, 41.5, 120, "c",
       "M|a,b,2.100000,41.500000,120.000000,c\n"},
      {"a", nullptr, 2.1, 41.5, 120, "c",
       "M|a,,2.100000,41.500000,120.000000,c\n"},
      {nullptr, nullptr, 0, 0, 0, nullptr,
       "M|,,0.000000,0.000000,0.000000,\n"},
      {"x,y", "|", -0.0, -1e-7, 0.0000025, "\xE9",
       "M|x,y,|,-0.000000,-0.000000,0.000003,\xE9\n"},
      {"n", "", inf, -inf, std::numeric_limits<double>::quiet_NaN(), "",
       "M|n,,inf,-inf,nan,\n"},
  };
  for (const auto& c : cases) {
    host.requests.clear();
    EXPECT_EQ(NewWaypoint(os, c.id, c.text, c.v1, c.v2, c.v3, c.icon),
              ORVEKPORT_OK)
        << c.line;
    ASSERT_EQ(host.requests.size(), 1u) << c.line;
    EXPECT_EQ(host.requests[0], c.line);
  }
}

TEST_F(WaypointsTest, NewWaypointLimit) {
  // ",,0.000000,0.000000,0.000000," is 29 characters.
  std::string fits(196 - 29, 'i');
  std::string over(197 - 29, 'i');
  EXPECT_EQ(NewWaypoint(os, fits.c_str(), "", 0, 0, 0, ""), ORVEKPORT_OK);
  ASSERT_EQ(host.requests.size(), 1u);
  EXPECT_EQ(host.requests[0].size(), 199u);
  os.clear_calls();
  EXPECT_EQ(NewWaypoint(os, "", "", 0, 0, 0, over.c_str()),
            ORVEKPORT_E_TOO_LONG);
  EXPECT_EQ(NewWaypoint(os, "", over.c_str(), 0, 0, 0, ""),
            ORVEKPORT_E_TOO_LONG);
  EXPECT_EQ(NewWaypoint(os, "", "", 1e300, 0, 0, ""), ORVEKPORT_E_TOO_LONG);
  EXPECT_EQ(host.requests.size(), 1u);
  EXPECT_EQ(os.count(Op::CreateFile), 0u);
}

TEST_F(WaypointsTest, DeleteWaypoint) {
  EXPECT_EQ(DeleteWaypoint(os, "WP1"), ORVEKPORT_OK);
  EXPECT_EQ(DeleteWaypoint(os, ""), ORVEKPORT_OK);
  EXPECT_EQ(DeleteWaypoint(os, nullptr), ORVEKPORT_E_INVALID_ARGUMENT);
  EXPECT_EQ(DeleteWaypoint(os, std::string(197, 'w').c_str()),
            ORVEKPORT_E_TOO_LONG);
  ASSERT_EQ(host.requests.size(), 2u);
  EXPECT_EQ(host.requests[0], "N|WP1\n");
  EXPECT_EQ(host.requests[1], "N|\n");
  host.answer_always("N\n");
  EXPECT_EQ(DeleteWaypoint(os, "WP1"), ORVEKPORT_E_READ_REPLY);
}

TEST_F(WaypointsTest, WaypointCount) {
  struct {
    const char* reply;
    StatusCode status;
    std::int32_t count;  // -99: not written
  } cases[] = {
      {"G|12\n", ORVEKPORT_OK, 12},         {"G|0", ORVEKPORT_OK, 0},
      {"G|abc", ORVEKPORT_OK, 0},           {"G|", ORVEKPORT_OK, 0},
      {"Gx|  7 m", ORVEKPORT_OK, 7},        {"G|-2", ORVEKPORT_OK, -2},
      {"A\n", ORVEKPORT_E_READ_REPLY, -99}, {"G", ORVEKPORT_E_NO_RESULT, -99},
      {"", ORVEKPORT_E_OPEN_REPLY, -99},
  };
  for (const auto& c : cases) {
    host.answer_always(c.reply);
    host.requests.clear();
    std::int32_t count = -99;
    EXPECT_EQ(GetWaypointCount(os, &count), c.status) << "reply " << c.reply;
    EXPECT_EQ(count, c.count) << "reply " << c.reply;
    ASSERT_EQ(host.requests.size(), 1u);
    EXPECT_EQ(host.requests[0], "F|4\n");
  }
  EXPECT_EQ(GetWaypointCount(os, nullptr), ORVEKPORT_E_INVALID_ARGUMENT);
}

// The six out-parameters, each text buffer guarded.
struct WaypointOut {
  testing::GuardedText id{kWaypointTextSize}, text{kWaypointTextSize},
      icon{kWaypointTextSize};
  double v1 = -777, v2 = -777, v3 = -777;

  // Empty texts before the call, as an untouched caller's buffers might be.
  WaypointOut() { id.data()[0] = text.data()[0] = icon.data()[0] = '\0'; }
  StatusCode Get(platform::Platform& os, std::int32_t index) {
    return GetWaypoint(os, index, id.data(), text.data(), &v1, &v2, &v3,
                       icon.data());
  }
  bool GuardsIntact() const {
    return id.guard_intact() && text.guard_intact() && icon.guard_intact();
  }
};

TEST_F(WaypointsTest, GetWaypointReadsTheMForm) {
  std::string id99(99, 'i');
  std::string id100(100, 'i');
  struct {
    std::string reply;
    StatusCode status;
    const char* id;  // "" also when not written
    const char* text;
    double v1, v2, v3;  // -777: not written
    const char* icon;
  } cases[] = {
      {"G|WP1,Harbour,2.100000,41.500000,120.000000,anchor", ORVEKPORT_OK,
       "WP1", "Harbour", 2.1, 41.5, 120, "anchor"},
      {"G|a,b,1,2,3,c,extra", ORVEKPORT_OK, "a", "b", 1, 2, 3, "c"},
      {"G|a,b,1,2,3,c\r\n", ORVEKPORT_OK, "a", "b", 1, 2, 3, "c\r\n"},
      {"G|,,,,,", ORVEKPORT_OK, "", "", 0, 0, 0, ""},
      {"G| a , b ,x,-1e2,.5, c", ORVEKPORT_OK, " a ", " b ", 0, -100, 0.5,
       " c"},
      {"G|", ORVEKPORT_E_NO_COMMA_AFTER_FIELD1, "", "", -777, -777, -777, ""},
      {"G|a", ORVEKPORT_E_NO_COMMA_AFTER_FIELD1, "", "", -777, -777, -777, ""},
      {"G|a,b", ORVEKPORT_E_NO_COMMA_AFTER_FIELD2, "a", "", -777, -777, -777,
       ""},
      {"G|a,b,1", ORVEKPORT_E_NO_COMMA_AFTER_FIELD3, "a", "b", -777, -777, -777,
       ""},
      {"G|a,b,1,2", ORVEKPORT_E_NO_COMMA_AFTER_FIELD4, "a", "b", 1, -777, -777,
       ""},
      {"G|a,b,1,2,3", ORVEKPORT_E_NO_COMMA_AFTER_FIELD5, "a", "b", 1, 2, -777,
       ""},
      {"G|" + id99 + ",b,1,2,3," + id99, ORVEKPORT_OK, id99.c_str(), "b", 1, 2,
       3, id99.c_str()},
      {"G|" + id100 + ",b,1,2,3,c", ORVEKPORT_E_TOO_LONG, "", "", -777, -777,
       -777, ""},
      {"G|a," + id100 + ",1,2,3,c", ORVEKPORT_E_TOO_LONG, "a", "", -777, -777,
       -777, ""},
      {"G|a,b,1,2,3," + id100, ORVEKPORT_E_TOO_LONG, "a", "b", 1, 2, 3, ""},
      {"A\n", ORVEKPORT_E_READ_REPLY, "", "", -777, -777, -777, ""},
      {"G\n", ORVEKPORT_E_NO_RESULT, "", "", -777, -777, -777, ""},
  };
  for (const auto& c : cases) {
    host.answer_always(c.reply);
    WaypointOut out;
    EXPECT_EQ(out.Get(os, 5), c.status) << "reply " << c.reply;
    EXPECT_EQ(out.id.text(), c.id) << "reply " << c.reply;
    EXPECT_EQ(out.text.text(), c.text) << "reply " << c.reply;
    EXPECT_EQ(out.v1, c.v1) << "reply " << c.reply;
    EXPECT_EQ(out.v2, c.v2) << "reply " << c.reply;
    EXPECT_EQ(out.v3, c.v3) << "reply " << c.reply;
    EXPECT_EQ(out.icon.text(), c.icon) << "reply " << c.reply;
    EXPECT_TRUE(out.GuardsIntact()) << "reply " << c.reply;
  }
}

TEST_F(WaypointsTest, GetWaypointRequest) {
  WaypointOut out;
  out.Get(os, 5);
  out.Get(os, -1);
  out.Get(os, std::numeric_limits<std::int32_t>::min());
  ASSERT_EQ(host.requests.size(), 3u);
  EXPECT_EQ(host.requests[0], "F|2,5\n");
  EXPECT_EQ(host.requests[1], "F|2,-1\n");
  EXPECT_EQ(host.requests[2], "F|2,-2147483648\n");
  // Up to 1000 reply bytes are read.
  EXPECT_EQ(os.details_of<Op::ReadFile>()[0].bytes, 1000u);
}

TEST_F(WaypointsTest, GetWaypointNullOutSendsNothing) {
  char a[kWaypointTextSize], b[kWaypointTextSize];
  double v = 0;
  EXPECT_EQ(GetWaypoint(os, 0, nullptr, b, &v, &v, &v, a),
            ORVEKPORT_E_INVALID_ARGUMENT);
  EXPECT_EQ(GetWaypoint(os, 0, a, b, &v, nullptr, &v, a),
            ORVEKPORT_E_INVALID_ARGUMENT);
  EXPECT_EQ(GetWaypoint(os, 0, a, b, &v, &v, &v, nullptr),
            ORVEKPORT_E_INVALID_ARGUMENT);
  EXPECT_TRUE(host.requests.empty());
}

}  // namespace
}  // namespace orvek::api
