// The map commands, waypoints, moving-map readers and the position fix on
// the fake host: the request line each call writes, its limits, what it
// returns and what it stores out of the reply.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

#include "api/map_commands.h"
#include "api/moving_map.h"
#include "api/position_sentence.h"
#include "api/waypoints.h"
#include "hostlink/host_link_state.h"
#include "protocol/host_protocol.h"
#include "tests/support/guarded_text.h"
#include "tests/support/host_link_fixture.h"

namespace orvek::api {
namespace {

using platform::fake::Op;
using testing::GuardedText;

// A stored double, or "#" while an out-parameter still holds -777.
std::string Num(double value) {
  if (value == -777) return "#";
  char text[32];
  return std::string(text, std::to_chars(text, text + 32, value).ptr);
}

class ApiTest : public testing::ConnectedHostTest {
 protected:
  // Each reader renders what it stored into `out`: the out-parameters in
  // their order, comma-separated, "#" for one not written.
  std::function<StatusCode()> Waypoint(std::int32_t index) {
    return [this, index] {
      GuardedText id(100), text(100), icon(100);
      double v1 = -777, v2 = -777, v3 = -777;
      StatusCode status = GetWaypoint(os, index, id.data(), text.data(), &v1,
                                      &v2, &v3, icon.data());
      EXPECT_TRUE(id.guard_intact() && text.guard_intact() &&
                  icon.guard_intact());
      out = id.text() + "," + text.text() + "," + Num(v1) + "," + Num(v2) +
            "," + Num(v3) + "," + icon.text();
      return status;
    };
  }
  std::function<StatusCode()> Position(std::int32_t index,
                                       std::uint32_t text_size) {
    return [this, index, text_size] {
      GuardedText text1(text_size), text2(text_size);
      double v1 = -777, v2 = -777, v3 = -777;
      StatusCode status = GetMovingMapPosition(os, index, text1.data(), &v1,
                                               &v2, &v3, text_size,
                                               text2.data());
      EXPECT_TRUE(text1.guard_intact() && text2.guard_intact());
      out = text1.text() + "," + Num(v1) + "," + Num(v2) + "," + Num(v3) +
            "," + text2.text();
      return status;
    };
  }
  std::function<StatusCode()> WaypointCount() {
    return [this] {
      std::int32_t count = -777;
      StatusCode status = GetWaypointCount(os, &count);
      out = Num(count);
      return status;
    };
  }
  std::function<StatusCode()> MovingMapCount() {
    return [this] {
      out = Num(GetMovingMapCount(os));
      return ORVEKPORT_OK;
    };
  }
};

TEST_F(ApiTest, CommandLinesLimitsAndStatuses) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::string t196(196, 't'), t197(197, 't');
  // "L" and "O" bodies are composed in 99 characters.
  const std::string w90(90, 'w'), w91(91, 'w');
  const std::string e24 = "1999999999999999966445568.000000";    // 2e24
  const std::string e25 = "10000000000000000905969664.000000";   // 1e25
  // With ",,0.000000,0.000000,0.000000," a text of 167 makes 196.
  const std::string i167(167, 'i'), i168(168, 'i');
  // The all-zero sentence has 62 bytes: text1 fills it up to 196.
  const std::string x134(134, 'x');
  const StatusCode kLong = ORVEKPORT_E_TOO_LONG;
  const StatusCode kNull = ORVEKPORT_E_INVALID_ARGUMENT;
  ExpectRows({
      {[&] { return OpenFile(os, "\\My Documents\\a.map"); },
       "D|\\My Documents\\a.map\n", ORVEKPORT_OK, "", std::nullopt, 1000},
      {[&] { return OpenFile(os, ""); }, "D|\n"},
      {[&] { return OpenFile(os, "a|b,c\r"); }, "D|a|b,c\r\n"},
      {[&] { return OpenFile(os, t196.c_str()); }, "D|" + t196 + "\n"},
      {[&] { return OpenFile(os, t197.c_str()); }, "", kLong},
      {[&] { return OpenFile(os, nullptr); }, "", kNull},
      {[&] { return DeleteMobile(os, "Truck 7"); }, "H|Truck 7\n"},
      {[&] { return DeleteMobile(os, nullptr); }, "", kNull},
      {[&] { return ExportViewFile(os, "v.bmp"); }, "J|v.bmp\n"},
      {[&] { return ExportViewFile(os, nullptr); }, "", kNull},
      {[&] { return DeleteWaypoint(os, "WP1"); }, "N|WP1\n"},
      {[&] { return DeleteWaypoint(os, nullptr); }, "", kNull},
      {[&] { return ExecCommand(os, 12); }, "I|12\n"},
      {[&] { return ExecCommand(os, INT32_MIN); }, "I|-2147483648\n"},
      {[&] { return SetViewportLen(os, 320, -240); }, "K|320,-240\n"},
      {[&] { return CenterWaypoint(os, "WP1", 2.5); }, "L|WP1,2.500000\n"},
      {[&] { return CenterWaypoint(os, w90.c_str(), 2.5); },
       "L|" + w90 + ",2.500000\n"},
      {[&] { return CenterWaypoint(os, w91.c_str(), 2.5); }, "", kLong},
      {[&] { return CenterWaypoint(os, "", 1e98); }, "", kLong},
      {[&] { return CenterWaypoint(os, nullptr, 1); }, "", kNull},
      {[&] { return CenterCoordinate(os, 2.1, 41.5, 0); },
       "O|2.100000,41.500000,0.000000\n"},
      {[&] { return CenterCoordinate(os, inf, -inf, nan); }, "O|inf,-inf,nan\n"},
      {[&] { return CenterCoordinate(os, 2e24, 2e24, 1e25); },
       "O|" + e24 + "," + e24 + "," + e25 + "\n"},
      {[&] { return CenterCoordinate(os, 2e24, -2e24, 1e25); }, "", kLong},
      {[&] { return CenterCoordinate(os, 1e300, 0, 0); }, "", kLong},
      // "M": absent texts go empty, nothing is escaped.
      {[&] { return NewWaypoint(os, "a", "b", 2.1, 41.5, 120, "c"); },
       "M|a,b,2.100000,41.500000,120.000000,c\n"},
      {[&] { return NewWaypoint(os, nullptr, nullptr, 0, 0, 0, nullptr); },
       "M|,,0.000000,0.000000,0.000000,\n"},
      {[&] { return NewWaypoint(os, "x,y", "|", -0.0, -1e-7, 0.0000025, "\xE9"); },
       "M|x,y,|,-0.000000,-0.000000,0.000003,\xE9\n"},
      {[&] { return NewWaypoint(os, i167.c_str(), "", 0, 0, 0, ""); },
       "M|" + i167 + ",,0.000000,0.000000,0.000000,\n"},
      {[&] { return NewWaypoint(os, "", i168.c_str(), 0, 0, 0, ""); }, "", kLong},
      {[&] { return NewWaypoint(os, "", "", 1e300, 0, 0, ""); }, "", kLong},
      // "E": the sentence and its CR LF as the body.
      {[&] { return NewPoint(os, -3.5, 40.25, 650.7, "A", "B", 1.5, 2); },
       "E|$AAGGAM,,4015.000,N,330.000,W,1,5,0,650,m,,,,,,,A,B,1.500000,2*64"
       "\r\n\n"},
      {[&] { return NewPoint(os, 0, 0, 0, x134.c_str(), "", 0, 0); },
       "E|$AAGGAM,,000.000,N,000.000,E,1,5,0,0,m,,,,,,," + x134 +
           ",,0.000000,0*40\r\n\n"},
      {[&] { return NewPoint(os, 0, 0, 0, nullptr, "", 0, 0); }, "", kNull},
      {[&] { return NewPoint(os, 0, 0, 0, "", "", -1e41, 0); }, "", kLong},
      // The envelope's verdict on the reply, unchanged (its rules are the
      // envelope tests').
      {[&] { return OpenFile(os, "x"); }, "D|x\n", ORVEKPORT_E_OPEN_REPLY, "",
       "A"},
  });
}

TEST_F(ApiTest, QueriesAndTheRecordsReadFromThem) {
  const std::string i99(99, 'i'), i100(100, 'i');
  const std::string wp99 = "G|" + i99 + ",b,1,2,3," + i99;
  const std::string wp100a = "G|" + i100 + ",b,1,2,3,c";
  const std::string wp100b = "G|a," + i100 + ",1,2,3,c";
  const std::string wp100c = "G|a,b,1,2,3," + i100;
  const std::string beyond = "G|1,2,3," + std::string(200, 't') + ",y";
  const std::string none6 = "#,#,#,#,#,#", none5 = "#,#,#,#,#";
  auto wp = Waypoint(5);
  auto pos = Position(7, 50);
  auto pos4 = Position(7, 4);
  const char* wpline = "F|2,5\n";
  const char* posline = "F|3,7\n";
  char a[100], b[100];
  double v = 0;
  ExpectRows({
      // "4": the count after the "|" as atoi reads it; a failed query
      // leaves it alone.
      {WaypointCount(), "F|4\n", ORVEKPORT_OK, "12", "G|12\n", 100},
      {WaypointCount(), "F|4\n", ORVEKPORT_OK, "7", "Gx|  7 m"},
      {WaypointCount(), "F|4\n", ORVEKPORT_E_READ_REPLY, "#", "A\n"},
      {WaypointCount(), "F|4\n", ORVEKPORT_E_NO_RESULT, "#", "G"},
      {[&] { return GetWaypointCount(os, nullptr); }, "", ORVEKPORT_E_INVALID_ARGUMENT},
      // "2": the count, or -1 for any failure of the query.
      {MovingMapCount(), "F|2\n", ORVEKPORT_OK, "3", "G|3\n", 100},
      {MovingMapCount(), "F|2\n", ORVEKPORT_OK, "-1", "G|-1"},
      {MovingMapCount(), "F|2\n", ORVEKPORT_OK, "-1", "A\n"},
      // "2,index": the "M" form, each field stored once the comma after it
      // is found, nothing trimmed; texts hold 99 bytes and a NUL.
      {wp, wpline, ORVEKPORT_OK, "WP1,Harbour,2.1,41.5,120,anchor",
       "G|WP1,Harbour,2.100000,41.500000,120.000000,anchor", 1000},
      {wp, wpline, ORVEKPORT_OK, "a,b,1,2,3,c", "G|a,b,1,2,3,c,extra"},
      {wp, wpline, ORVEKPORT_OK, "a,b,1,2,3,c\r\n", "G|a,b,1,2,3,c\r\n"},
      {wp, wpline, ORVEKPORT_OK, ",,0,0,0,", "G|,,,,,"},
      {wp, wpline, ORVEKPORT_OK, " a , b ,0,-100,0.5, c",
       "G| a , b ,x,-1e2,.5, c"},
      {wp, wpline, ORVEKPORT_E_NO_COMMA_AFTER_FIELD1, none6, "G|a"},
      {wp, wpline, ORVEKPORT_E_NO_COMMA_AFTER_FIELD2, "a,#,#,#,#,#", "G|a,b"},
      {wp, wpline, ORVEKPORT_E_NO_COMMA_AFTER_FIELD3, "a,b,#,#,#,#", "G|a,b,1"},
      {wp, wpline, ORVEKPORT_E_NO_COMMA_AFTER_FIELD4, "a,b,1,#,#,#",
       "G|a,b,1,2"},
      {wp, wpline, ORVEKPORT_E_NO_COMMA_AFTER_FIELD5, "a,b,1,2,#,#",
       "G|a,b,1,2,3"},
      {wp, wpline, ORVEKPORT_OK, i99 + ",b,1,2,3," + i99, wp99},
      {wp, wpline, ORVEKPORT_E_TOO_LONG, none6, wp100a},
      {wp, wpline, ORVEKPORT_E_TOO_LONG, "a,#,#,#,#,#", wp100b},
      {wp, wpline, ORVEKPORT_E_TOO_LONG, "a,b,1,2,3,#", wp100c},
      {wp, wpline, ORVEKPORT_E_READ_REPLY, none6, "A\n"},
      {wp, wpline, ORVEKPORT_E_NO_RESULT, none6, "G\n"},
      {Waypoint(INT32_MIN), "F|2,-2147483648\n",
       ORVEKPORT_E_NO_COMMA_AFTER_FIELD1, none6},
      // "3,index": field 1 goes to value2, field 2 to value1; texts hold
      // textSize bytes with the NUL; textSize + 100 reply bytes are read.
      {pos, posline, ORVEKPORT_OK, "x,2.5,1.5,3.5,y", "G|1.5,2.5,3.5,x,y",
       150},
      {pos, posline, ORVEKPORT_OK, "x,2.5,1.5,3.5,y", "G|1.5,2.5,3.5,x,y,z"},
      {pos, posline, ORVEKPORT_OK, "x,2.5,1.5,3.5,y\r\n",
       "G|1.5,2.5,3.5,x,y\r\n"},
      {pos, posline, ORVEKPORT_OK, ",0,0,0,", "G|,,,,"},
      {pos, posline, ORVEKPORT_OK, " Boat 1 ,0.25,-10,0, moored",
       "G| -1e1,+.25,abc, Boat 1 , moored"},
      {pos, posline, ORVEKPORT_E_NO_COMMA_AFTER_FIELD1, none5, "G|1.5"},
      {pos, posline, ORVEKPORT_E_NO_COMMA_AFTER_FIELD2, "#,#,1.5,#,#",
       "G|1.5,2.5"},
      {pos, posline, ORVEKPORT_E_NO_COMMA_AFTER_FIELD3, "#,2.5,1.5,#,#",
       "G|1.5,2.5,3.5"},
      {pos, posline, ORVEKPORT_E_NO_COMMA_AFTER_FIELD4, "#,2.5,1.5,3.5,#",
       "G|1.5,2.5,3.5,x"},
      {pos4, posline, ORVEKPORT_OK, "abc,2,1,3,def", "G|1,2,3,abc,def", 104},
      {pos4, posline, ORVEKPORT_E_TOO_LONG, "#,2,1,3,#", "G|1,2,3,abcd,d"},
      {pos4, posline, ORVEKPORT_E_TOO_LONG, "a,2,1,3,#", "G|1,2,3,a,defg"},
      {Position(7, 1), posline, ORVEKPORT_OK, ",2,1,3,", "G|1,2,3,,"},
      {Position(7, 0), posline, ORVEKPORT_E_TOO_LONG, "#,2,1,3,#", "G|1,2,3,,"},
      // Read only as far as 120 bytes: no comma after field 4 there.
      {Position(-3, 20), "F|3,-3\n", ORVEKPORT_E_NO_COMMA_AFTER_FIELD4,
       "#,2,1,3,#", beyond, 120},
      {pos, posline, ORVEKPORT_E_READ_REPLY, none5, "A\n"},
      {pos, posline, ORVEKPORT_E_NO_RESULT, none5, "G"},
      // Every out-parameter is needed, and nothing is sent without one.
      {[&] { return GetWaypoint(os, 0, nullptr, b, &v, &v, &v, a); }, "",
       ORVEKPORT_E_INVALID_ARGUMENT},
      {[&] { return GetWaypoint(os, 0, a, b, &v, nullptr, &v, a); }, "",
       ORVEKPORT_E_INVALID_ARGUMENT},
      {[&] { return GetWaypoint(os, 0, a, b, &v, &v, &v, nullptr); }, "",
       ORVEKPORT_E_INVALID_ARGUMENT},
      {[&] { return GetMovingMapPosition(os, 0, nullptr, &v, &v, &v, 8, a); },
       "", ORVEKPORT_E_INVALID_ARGUMENT},
      {[&] { return GetMovingMapPosition(os, 0, a, &v, nullptr, &v, 8, a); },
       "", ORVEKPORT_E_INVALID_ARGUMENT},
      {[&] { return GetMovingMapPosition(os, 0, a, &v, &v, &v, 8, nullptr); },
       "", ORVEKPORT_E_INVALID_ARGUMENT},
  });
  host.signal = false;
  EXPECT_EQ(GetMovingMapCount(os), -1);  // time-out
}

// A text size beyond what the stack holds gives the record a heap block for
// the call; without one the query is refused unsent and nothing written.
TEST_F(ApiTest, LargeTextSizeUsesTheHeapForTheCallOnly) {
  const char* answer = "G|41.5,2.1,120,Boat 1,moored";
  const std::string stored = "Boat 1,2.1,41.5,120,moored";
  ExpectRows({{Position(0, 100), "F|3,0\n", ORVEKPORT_OK, stored, answer}});
  EXPECT_EQ(os.count(Op::Allocate), 0u);
  ExpectRows({{Position(0, 50'000), "F|3,0\n", ORVEKPORT_OK, stored, answer}});
  EXPECT_GE(os.count(Op::Allocate), 1u);
  EXPECT_EQ(os.count(Op::Allocate), os.count(Op::Release));
  os.fail(Op::Allocate);
  ExpectRows({{Position(0, 50'000), "", ORVEKPORT_E_NO_MEMORY, "#,#,#,#,#"}});
}

// The init message is posted once, unanswered, to the window known, even
// one that has closed since: no packet, no wait, no lookup. It and the
// queries find the host first while none is known; commands never do.
TEST_F(ApiTest, WhoRunsDiscoveryFirst) {
  platform::Handle window = host.window;
  host.exit();
  EXPECT_EQ(MovingMapInit(os), ORVEKPORT_OK);
  ASSERT_EQ(testing::OpNames(os), "PostMessage");
  EXPECT_EQ(os.calls()[0].handle, window);
  const auto& post = os.calls()[0].detail_of<Op::PostMessage>();
  EXPECT_EQ(post.message, 0x4522u);
  EXPECT_EQ(post.wparam, 2u);
  EXPECT_EQ(post.lparam, 0);

  host.start();
  hostlink::ResetHostLinkState();
  EXPECT_EQ(SetViewportLen(os, 1, 2), ORVEKPORT_E_TIMEOUT);  // nobody hears
  EXPECT_EQ(os.count(Op::RegOpenKey) + os.count(Op::FindWindow), 0u);

  host.answer = [](const std::string& line) -> std::string {
    return line == "F|3,1\n" ? "G|1,2,3,a,b" : "G|\n";
  };
  EXPECT_EQ(Position(1, 10)(), ORVEKPORT_OK);
  EXPECT_EQ(out, "a,2,1,3,b");
  EXPECT_EQ(host.requests, (std::vector<std::string>{"F|0\n", "F|3,1\n"}));

  hostlink::ResetHostLinkState();
  host.requests.clear();
  os.clear_calls();
  EXPECT_EQ(MovingMapInit(os), ORVEKPORT_OK);
  EXPECT_EQ(host.requests, std::vector<std::string>{"F|0\n"});
  EXPECT_EQ(host.moving_map_inits, 1);
  EXPECT_LT(os.index_of(Op::Wait), os.index_of(Op::PostMessage, 1));

  // Failed discovery: no query, no post.
  hostlink::ResetHostLinkState();
  host.requests.clear();
  os.posted.clear();
  os.remove_registry_value(protocol::kHostRegistryKey,
                           protocol::kHostPathValue);
  EXPECT_EQ(GetMovingMapCount(os), -1);
  EXPECT_EQ(MovingMapInit(os), ORVEKPORT_E_REGISTRY);
  EXPECT_TRUE(host.requests.empty());
  EXPECT_TRUE(os.posted.empty());
}

}  // namespace
}  // namespace orvek::api
