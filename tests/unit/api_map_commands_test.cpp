// The map and view commands and the moving-map init message, on the fake
// host: the request line each one writes, its limits, and what it returns.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "api/map_commands.h"
#include "hostlink/host_link_state.h"
#include "hostlink/host_protocol.h"
#include "tests/support/host_link_fixture.h"

namespace orvek::api {
namespace {

using platform::fake::Op;

// A host link to a running fake host, the discovery's calls forgotten.
using MapCommandsTest = testing::ConnectedHostTest;

using Call = std::function<StatusCode(platform::Platform&)>;

TEST_F(MapCommandsTest, RequestLines) {
  const double inf = std::numeric_limits<double>::infinity();
  struct {
    const char* name;
    Call call;
    const char* line;
  } cases[] = {
      {"open", [](auto& p) { return OpenFile(p, "\\My Documents\\a.map"); },
       "D|\\My Documents\\a.map\n"},
      {"open empty", [](auto& p) { return OpenFile(p, ""); }, "D|\n"},
      {"open keeps bars and commas",
       [](auto& p) { return OpenFile(p, "a|b,c\r"); }, "D|a|b,c\r\n"},
      {"delete mobile", [](auto& p) { return DeleteMobile(p, "Truck 7"); },
       "H|Truck 7\n"},
      {"export view", [](auto& p) { return ExportViewFile(p, "v.bmp"); },
       "J|v.bmp\n"},
      {"exec", [](auto& p) { return ExecCommand(p, 12); }, "I|12\n"},
      {"exec -1", [](auto& p) { return ExecCommand(p, -1); }, "I|-1\n"},
      {"exec 0", [](auto& p) { return ExecCommand(p, 0); }, "I|0\n"},
      {"exec min",
       [](auto& p) { return ExecCommand(p, INT32_MIN); },
       "I|-2147483648\n"},
      {"viewport", [](auto& p) { return SetViewportLen(p, 320, -240); },
       "K|320,-240\n"},
      {"center waypoint",
       [](auto& p) { return CenterWaypoint(p, "WP1", 2.5); },
       "L|WP1,2.500000\n"},
      {"center waypoint empty",
       [](auto& p) { return CenterWaypoint(p, "", 3); }, "L|,3.000000\n"},
      {"center waypoint rounds",
       [](auto& p) { return CenterWaypoint(p, "x", 0.0000015); },
       "L|x,0.000002\n"},
      {"center coordinate",
       [](auto& p) { return CenterCoordinate(p, 2.1, 41.5, 0); },
       "O|2.100000,41.500000,0.000000\n"},
      {"center coordinate negative",
       [](auto& p) { return CenterCoordinate(p, -0.5, -0.0, 1e-7); },
       "O|-0.500000,-0.000000,0.000000\n"},
      {"center coordinate not finite",
       [inf](auto& p) { return CenterCoordinate(p, inf, -inf, 0.0 / 0.0); },
       "O|inf,-inf,nan\n"},
  };
  for (const auto& c : cases) {
    host.requests.clear();
    EXPECT_EQ(c.call(os), ORVEKPORT_OK) << c.name;
    ASSERT_EQ(host.requests.size(), 1u) << c.name;
    EXPECT_EQ(host.requests[0], c.line) << c.name;
  }
}

TEST_F(MapCommandsTest, LimitsRefuseBeforeAnyFile) {
  std::string body196(196, 'f');
  std::string body197(197, 'f');
  // "L": the text, a comma and "2.500000" share 99 characters.
  std::string waypoint90(90, 'w');
  std::string waypoint91(91, 'w');
  struct {
    const char* name;
    Call call;
    StatusCode status;
  } cases[] = {
      {"open 196", [&](auto& p) { return OpenFile(p, body196.c_str()); },
       ORVEKPORT_OK},
      {"open 197", [&](auto& p) { return OpenFile(p, body197.c_str()); },
       ORVEKPORT_E_TOO_LONG},
      {"delete mobile 197",
       [&](auto& p) { return DeleteMobile(p, body197.c_str()); },
       ORVEKPORT_E_TOO_LONG},
      {"export 197",
       [&](auto& p) { return ExportViewFile(p, body197.c_str()); },
       ORVEKPORT_E_TOO_LONG},
      {"waypoint body 99",
       [&](auto& p) { return CenterWaypoint(p, waypoint90.c_str(), 2.5); },
       ORVEKPORT_OK},
      {"waypoint body 100",
       [&](auto& p) { return CenterWaypoint(p, waypoint91.c_str(), 2.5); },
       ORVEKPORT_E_TOO_LONG},
      {"waypoint huge value",
       [](auto& p) { return CenterWaypoint(p, "", 1e98); },
       ORVEKPORT_E_TOO_LONG},
      {"coordinate body 99",  // 32 + 32 + 33 characters and two commas
       [](auto& p) { return CenterCoordinate(p, 2e24, 2e24, 1e25); },
       ORVEKPORT_OK},
      {"coordinate body 100",
       [](auto& p) { return CenterCoordinate(p, 2e24, -2e24, 1e25); },
       ORVEKPORT_E_TOO_LONG},
      {"coordinate huge",
       [](auto& p) { return CenterCoordinate(p, 1e300, 0, 0); },
       ORVEKPORT_E_TOO_LONG},
      {"open null", [](auto& p) { return OpenFile(p, nullptr); },
       ORVEKPORT_E_INVALID_ARGUMENT},
      {"delete mobile null", [](auto& p) { return DeleteMobile(p, nullptr); },
       ORVEKPORT_E_INVALID_ARGUMENT},
      {"export null", [](auto& p) { return ExportViewFile(p, nullptr); },
       ORVEKPORT_E_INVALID_ARGUMENT},
      {"center null", [](auto& p) { return CenterWaypoint(p, nullptr, 1); },
       ORVEKPORT_E_INVALID_ARGUMENT},
  };
  for (const auto& c : cases) {
    host.requests.clear();
    os.clear_calls();
    EXPECT_EQ(c.call(os), c.status) << c.name;
    if (c.status == ORVEKPORT_OK) {
      ASSERT_EQ(host.requests.size(), 1u) << c.name;
      std::size_t line = host.requests[0][0] == 'D' ? 199 : 102;
      EXPECT_EQ(host.requests[0].size(), line) << c.name;
    } else {
      EXPECT_TRUE(host.requests.empty()) << c.name;
      EXPECT_EQ(os.count(Op::CreateFile), 0u) << c.name;
    }
  }
}

// The commands add no status of their own and never start discovery.
TEST_F(MapCommandsTest, EnvelopeStatusPassesThrough) {
  host.answer_always("Awhatever");
  EXPECT_EQ(CenterCoordinate(os, 1, 2, 3), ORVEKPORT_OK);
  host.answer_always("A");
  EXPECT_EQ(OpenFile(os, "x"), ORVEKPORT_E_OPEN_REPLY);
  host.answer_always("G|1\n");
  EXPECT_EQ(ExecCommand(os, 1), ORVEKPORT_E_READ_REPLY);

  hostlink::ResetHostLinkState();
  os.clear_calls();
  EXPECT_EQ(SetViewportLen(os, 1, 2),
            ORVEKPORT_E_TIMEOUT);  // nobody gets the post
  EXPECT_EQ(os.count(Op::RegOpenKey), 0u);
  EXPECT_EQ(os.count(Op::FindWindow), 0u);
}

TEST_F(MapCommandsTest, MovingMapInitPostsOnceWithoutPacket) {
  EXPECT_EQ(MovingMapInit(os), ORVEKPORT_OK);
  EXPECT_EQ(host.moving_map_inits, 1);
  ASSERT_EQ(os.posted.size(), 2u);  // the handshake's post, then this one
  EXPECT_EQ(os.posted[1].window, host.window);
  EXPECT_EQ(os.posted[1].message, 0x4522u);
  EXPECT_EQ(os.posted[1].wparam, 2u);
  EXPECT_EQ(os.posted[1].lparam, 0);
  EXPECT_TRUE(host.requests.empty());
  EXPECT_EQ(os.count(Op::CreateFile), 0u);
  EXPECT_EQ(os.count(Op::Wait), 0u);
  EXPECT_EQ(os.count(Op::FindWindow), 0u);
}

TEST_F(MapCommandsTest, MovingMapInitKeepsAClosedWindow) {
  platform::Handle window = host.window;
  host.exit();
  EXPECT_EQ(MovingMapInit(os), ORVEKPORT_OK);
  EXPECT_EQ(os.count(Op::FindWindow), 0u);
  ASSERT_EQ(os.calls_of(Op::PostMessage).size(), 1u);
  EXPECT_EQ(os.calls_of(Op::PostMessage)[0].handle, window);
}

TEST_F(MapCommandsTest, MovingMapInitRunsDiscoveryFirst) {
  hostlink::ResetHostLinkState();
  EXPECT_EQ(MovingMapInit(os), ORVEKPORT_OK);
  ASSERT_EQ(host.requests.size(), 1u);
  EXPECT_EQ(host.requests[0], "F|0\n");  // the handshake
  EXPECT_EQ(host.moving_map_inits, 1);
  EXPECT_LT(os.index_of(Op::Wait), os.index_of(Op::PostMessage, 1));
}

TEST_F(MapCommandsTest, MovingMapInitFailsWithDiscovery) {
  hostlink::ResetHostLinkState();
  os.remove_registry_value(hostlink::kHostRegistryKey,
                           hostlink::kHostPathValue);
  os.posted.clear();
  EXPECT_EQ(MovingMapInit(os), ORVEKPORT_E_REGISTRY);
  EXPECT_TRUE(os.posted.empty());

  // Installed but not running, and it can't be started.
  hostlink::ResetHostLinkState();
  os.set_registry_string(hostlink::kHostRegistryKey, hostlink::kHostPathValue,
                         host.executable());
  host.exit();
  os.on_shell_open = [](const std::u16string&) { return false; };
  EXPECT_EQ(MovingMapInit(os), ORVEKPORT_E_NO_HOST);
  EXPECT_TRUE(os.posted.empty());
}

}  // namespace
}  // namespace orvek::api
