// Moving-map entries on the fake host: the count and the five-field
// position record, with its out-of-order fields and its parse statuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "api/moving_map.h"
#include "hostlink/host_link_state.h"
#include "hostlink/host_protocol.h"
#include "tests/support/guarded_text.h"
#include "tests/support/host_link_fixture.h"

namespace orvek::api {
namespace {

using platform::fake::Op;

// A host link to a running fake host, the discovery's calls forgotten.
using MovingMapTest = testing::ConnectedHostTest;

TEST_F(MovingMapTest, CountOrMinusOne) {
  struct {
    const char* reply;
    std::int32_t count;
  } cases[] = {{"G|3\n", 3}, {"G|0", 0},   {"G|x", 0},   {"G|-1", -1},
               {"A\n", -1},  {"G", -1},    {"", -1},     {"Gabc", -1}};
  for (const auto& c : cases) {
    host.answer_always(c.reply);
    host.requests.clear();
    EXPECT_EQ(GetMovingMapCount(os), c.count) << "reply " << c.reply;
    ASSERT_EQ(host.requests.size(), 1u);
    EXPECT_EQ(host.requests[0], "F|2\n");
  }
  host.signal = false;
  EXPECT_EQ(GetMovingMapCount(os), -1);  // time-out
}

TEST_F(MovingMapTest, CountWithoutAHostIsMinusOne) {
  hostlink::ResetHostLinkState();
  os.remove_registry_value(hostlink::kHostRegistryKey,
                           hostlink::kHostPathValue);
  EXPECT_EQ(GetMovingMapCount(os), -1);
  EXPECT_TRUE(host.requests.empty());
}

// The five out-parameters, each text buffer of `text_size` bytes guarded.
struct PositionOut {
  explicit PositionOut(std::uint32_t size)
      : text_size(size), text1(size), text2(size) {}

  StatusCode Get(platform::Platform& os, std::int32_t index) {
    return GetMovingMapPosition(os, index, text1.data(), &v1, &v2, &v3,
                                text_size, text2.data());
  }
  bool GuardsIntact() const {
    return text1.guard_intact() && text2.guard_intact();
  }

  std::uint32_t text_size;
  testing::GuardedText text1, text2;
  double v1 = -777, v2 = -777, v3 = -777;
};

TEST_F(MovingMapTest, PositionRecord) {
  struct {
    std::string result;
    std::uint32_t text_size;
    StatusCode status;
    double v1, v2, v3;  // -777: not written
    const char* text1;  // "#": not written
    const char* text2;
  } cases[] = {
      // The first field goes to value2, the second to value1.
      {"1.5,2.5,3.5,x,y", 50, ORVEKPORT_OK, 2.5, 1.5, 3.5, "x", "y"},
      {"1.5,2.5,3.5,x,y,z", 50, ORVEKPORT_OK, 2.5, 1.5, 3.5, "x", "y"},
      {"1.5,2.5,3.5,x,y\r\n", 50, ORVEKPORT_OK, 2.5, 1.5, 3.5, "x", "y\r\n"},
      {",,,,", 50, ORVEKPORT_OK, 0, 0, 0, "", ""},
      {" -1e1,+.25,abc, Boat 1 , moored", 50, ORVEKPORT_OK, 0.25, -10, 0,
       " Boat 1 ", " moored"},
      {"", 50, ORVEKPORT_E_NO_COMMA_AFTER_FIELD1, -777, -777, -777, "#", "#"},
      {"1.5", 50, ORVEKPORT_E_NO_COMMA_AFTER_FIELD1, -777, -777, -777, "#",
       "#"},
      {"1.5,2.5", 50, ORVEKPORT_E_NO_COMMA_AFTER_FIELD2, -777, 1.5, -777, "#",
       "#"},
      {"1.5,2.5,3.5", 50, ORVEKPORT_E_NO_COMMA_AFTER_FIELD3, 2.5, 1.5, -777,
       "#", "#"},
      {"1.5,2.5,3.5,x", 50, ORVEKPORT_E_NO_COMMA_AFTER_FIELD4, 2.5, 1.5, 3.5,
       "#", "#"},
      // Texts of textSize - 1 bytes fit; one more is refused, and what was
      // stored before stays.
      {"1,2,3,abc,def", 4, ORVEKPORT_OK, 2, 1, 3, "abc", "def"},
      {"1,2,3,abcd,d", 4, ORVEKPORT_E_TOO_LONG, 2, 1, 3, "#", "#"},
      {"1,2,3,a,defg", 4, ORVEKPORT_E_TOO_LONG, 2, 1, 3, "a", "#"},
      {"1,2,3,,", 1, ORVEKPORT_OK, 2, 1, 3, "", ""},
      {"1,2,3,,", 0, ORVEKPORT_E_TOO_LONG, 2, 1, 3, "#", "#"},
  };
  for (const auto& c : cases) {
    host.answer_always("G|" + c.result);
    PositionOut out(c.text_size);
    EXPECT_EQ(out.Get(os, 7), c.status) << "result " << c.result;
    EXPECT_EQ(out.v1, c.v1) << "result " << c.result;
    EXPECT_EQ(out.v2, c.v2) << "result " << c.result;
    EXPECT_EQ(out.v3, c.v3) << "result " << c.result;
    EXPECT_EQ(out.text1.text(), c.text1) << "result " << c.result;
    EXPECT_EQ(out.text2.text(), c.text2) << "result " << c.result;
    EXPECT_TRUE(out.GuardsIntact()) << "result " << c.result;
  }
  EXPECT_EQ(LeakedHandles(), 0u);
}

TEST_F(MovingMapTest, RequestAndCapacity) {
  PositionOut out(20);
  out.Get(os, 7);
  out.Get(os, -3);
  ASSERT_EQ(host.requests.size(), 2u);
  EXPECT_EQ(host.requests[0], "F|3,7\n");
  EXPECT_EQ(host.requests[1], "F|3,-3\n");
  // textSize + 100 reply bytes are read, no more.
  EXPECT_EQ(os.details_of<Op::ReadFile>()[0].bytes, 120u);
}

// A reply longer than textSize + 100 is read only that far: the record is
// cut, and here that leaves no comma after field 4.
TEST_F(MovingMapTest, ReplyBeyondCapacityIsNotSeen) {
  host.answer_always("G|1,2,3," + std::string(200, 't') + ",y");
  PositionOut out(20);
  EXPECT_EQ(out.Get(os, 0), ORVEKPORT_E_NO_COMMA_AFTER_FIELD4);
  EXPECT_EQ(out.v3, 3);
}

TEST_F(MovingMapTest, FailuresWriteNothing) {
  struct {
    const char* reply;
    StatusCode status;
  } cases[] = {{"A\n", ORVEKPORT_E_READ_REPLY},
               {"G", ORVEKPORT_E_NO_RESULT},
               {"", ORVEKPORT_E_OPEN_REPLY}};
  for (const auto& c : cases) {
    host.answer_always(c.reply);
    PositionOut out(50);
    EXPECT_EQ(out.Get(os, 1), c.status) << "reply " << c.reply;
    EXPECT_EQ(out.v1, -777);
    EXPECT_EQ(out.v2, -777);
    EXPECT_EQ(out.text1.text(), "#");
  }
  char text[8];
  double v = 0;
  host.requests.clear();
  EXPECT_EQ(GetMovingMapPosition(os, 0, nullptr, &v, &v, &v, 8, text),
            ORVEKPORT_E_INVALID_ARGUMENT);
  EXPECT_EQ(GetMovingMapPosition(os, 0, text, &v, nullptr, &v, 8, text),
            ORVEKPORT_E_INVALID_ARGUMENT);
  EXPECT_EQ(GetMovingMapPosition(os, 0, text, &v, &v, &v, 8, nullptr),
            ORVEKPORT_E_INVALID_ARGUMENT);
  EXPECT_TRUE(host.requests.empty());
}

// A text size beyond what the stack holds gives the record a heap block for
// the call; without one the query is refused unsent and nothing written.
TEST_F(MovingMapTest, LargeTextSizeUsesTheHeapForTheCallOnly) {
  host.answer_always("G|41.5,2.1,120,Boat 1,moored");
  PositionOut small(100);
  ASSERT_EQ(small.Get(os, 0), ORVEKPORT_OK);
  EXPECT_EQ(os.count(Op::Allocate), 0u);

  PositionOut large(50'000);
  ASSERT_EQ(large.Get(os, 0), ORVEKPORT_OK);
  EXPECT_EQ(large.text2.text(), "moored");
  EXPECT_EQ(os.count(Op::Allocate), os.count(Op::Release));
  EXPECT_GE(os.count(Op::Allocate), 1u);

  host.requests.clear();
  os.fail(Op::Allocate);
  PositionOut refused(50'000);
  EXPECT_EQ(refused.Get(os, 0), ORVEKPORT_E_NO_MEMORY);
  EXPECT_TRUE(host.requests.empty());
  EXPECT_EQ(refused.v1, -777);
}

TEST_F(MovingMapTest, PositionStartsTheLink) {
  hostlink::ResetHostLinkState();
  host.answer = [](const std::string& line) -> std::string {
    return line == "F|3,1\n" ? "G|1,2,3,a,b" : "G|\n";
  };
  PositionOut out(10);
  EXPECT_EQ(out.Get(os, 1), ORVEKPORT_OK);
  ASSERT_EQ(host.requests.size(), 2u);
  EXPECT_EQ(host.requests[0], "F|0\n");
  EXPECT_EQ(out.text2.text(), "b");
}

}  // namespace
}  // namespace orvek::api
