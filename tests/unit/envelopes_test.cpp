// The envelopes' reply rules and request forms.
#include "hostlink/envelopes.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "hostlink/discovery.h"
#include "protocol/host_protocol.h"
#include "hostlink/packet_exchange.h"
#include "tests/support/guarded_text.h"
#include "tests/support/host_link_fixture.h"

namespace orvek {
namespace {

using platform::fake::Op;

class EnvelopeTest : public testing::ConnectedHostTest {
 protected:
  std::function<StatusCode()> Command(const char* letter, const char* body) {
    return [=, this] { return hostlink::SendCommand(os, letter, body); };
  }
  // Each stores its result in `capacity` guarded units; "#": untouched.
  std::function<StatusCode()> Query(const char* request,
                                    std::uint32_t capacity) {
    return [=, this] {
      testing::GuardedText result(capacity);
      StatusCode status =
          hostlink::GetString(os, request, capacity, result.data());
      EXPECT_TRUE(result.guard_intact());
      out = result.text();
      return status;
    };
  }
  std::function<StatusCode()> Raw(std::u16string request,
                                  std::int32_t capacity) {
    return [=, this] {
      std::u16string result(capacity + 4, u'#');
      StatusCode status = hostlink::StringProtocolW(os, request.c_str(),
                                                    capacity, result.data());
      EXPECT_EQ(result.substr(capacity), u"####");
      out = result[0] == u'#' ? "#" : platform::fake::utf8(result.c_str());
      return status;
    };
  }
};

// A command's reply needs two bytes beginning with "A"; a query's result is
// the text after the first "|" of a reply beginning with "G", within the
// first `capacity` bytes, and always fits in them; a raw reply is not
// judged, only cut (never inside a surrogate pair). Commands and raw
// requests read up to 1000 reply bytes.
TEST_F(EnvelopeTest, RepliesAndRequests) {
  using platform::fake::utf8;
  const std::string long_reply = "G|" + std::string(500, 'r');
  const std::u16string r198(198, u'r'), r199(199, u'r');
  // Four bytes that the code page reads as U+1F600, a surrogate pair.
  os.multibyte_characters["\x94\x39\xFC\x38"] = u"\U0001F600";
  char narrow[8];
  char16_t wide[8];
  const char* pair = "ab\x94\x39\xFC\x38" "c";
  ExpectRows({
      {Command("I", "12"), "I|12\n", ORVEKPORT_E_OPEN_REPLY, "", "A", 1000},
      {Command("I", "12"), "I|12\n", ORVEKPORT_OK, "", "A\n"},
      {Command("I", "12"), "I|12\n", ORVEKPORT_OK, "", "AB"},
      {Command("I", "12"), "I|12\n", ORVEKPORT_E_OPEN_REPLY, "", ""},
      {Command("I", "12"), "I|12\n", ORVEKPORT_E_READ_REPLY, "", "a\n"},
      {Command("I", "12"), "I|12\n", ORVEKPORT_E_READ_REPLY, "", "G|1\n"},
      {Command("I", "12"), "I|12\n", ORVEKPORT_E_READ_REPLY, "",
       std::string("\0A", 2)},
      {Query("4", 60), "F|4\n", ORVEKPORT_OK, "", "G|"},
      {Query("4", 60), "F|4\n", ORVEKPORT_OK, "12\n", "G|12\n"},
      {Query("4", 60), "F|4\n", ORVEKPORT_OK, "12", "Gcount|12"},
      {Query("4", 60), "F|4\n", ORVEKPORT_OK, "a|b", "G|a|b"},
      {Query("4", 60), "F|4\n", ORVEKPORT_E_NO_RESULT, "#", "G12"},
      {Query("4", 60), "F|4\n", ORVEKPORT_E_NO_RESULT, "#",
       std::string("G\0|x", 4)},  // the search stops at NUL
      {Query("4", 60), "F|4\n", ORVEKPORT_OK, "a", std::string("G|a\0b", 5)},
      {Query("4", 60), "F|4\n", ORVEKPORT_E_READ_REPLY, "#", "A|12"},
      {Query("4", 60), "F|4\n", ORVEKPORT_E_OPEN_REPLY, "#", ""},
      {Query("4", 6), "F|4\n", ORVEKPORT_E_NO_RESULT, "#", "G12345|x", 6},
      {Query("4", 7), "F|4\n", ORVEKPORT_OK, "", "G12345|x", 7},
      {Query("4", 2), "F|4\n", ORVEKPORT_OK, "", long_reply},
      {Query("4", 3), "F|4\n", ORVEKPORT_OK, "r", long_reply},
      {Query("4", 100), "F|4\n", ORVEKPORT_OK, std::string(98, 'r'),
       long_reply},
      {[&] { return hostlink::GetString(os, nullptr, 8, narrow); }, "",
       ORVEKPORT_E_INVALID_ARGUMENT},
      {[&] { return hostlink::GetString(os, "4", 8, nullptr); }, "",
       ORVEKPORT_E_INVALID_ARGUMENT},
      // Raw: no prefix, through the code page, which has no euro sign.
      {Raw(u"caf\u00E9 \u20AC", 32), "caf\xE9 ?\n", ORVEKPORT_OK,
       utf8(u"R|\u00E9t\u00E9\n"), "R|\xE9t\xE9\n", 1000},
      {Raw(u"", 8), "\n", ORVEKPORT_OK, "", ""},
      {Raw(u"", 8), "\n", ORVEKPORT_OK, "X", "X"},
      {Raw(u"x", 1), "x\n", ORVEKPORT_OK, "", "abcdef"},
      {Raw(u"x", 6), "x\n", ORVEKPORT_OK, "abcde", "abcdef"},
      {Raw(u"x", 7), "x\n", ORVEKPORT_OK, "abcdef", "abcdef"},
      {Raw(u"x", 0), "x\n", ORVEKPORT_OK, "#", "abcdef"},
      {[&] { return hostlink::StringProtocolW(os, u"x", 0, nullptr); }, "x\n"},
      {Raw(u"x", 3), "x\n", ORVEKPORT_OK, "ab", pair},
      {Raw(u"x", 4), "x\n", ORVEKPORT_OK, "ab", pair},
      {Raw(u"x", 5), "x\n", ORVEKPORT_OK, utf8(u"ab\U0001F600"), pair},
      {Raw(u"x", 6), "x\n", ORVEKPORT_OK, utf8(u"ab\U0001F600c"), pair},
      {Raw(r198, 8), std::string(198, 'r') + "\n", ORVEKPORT_OK, "A\n"},
      {Raw(r199, 8), "", ORVEKPORT_E_TOO_LONG, "#"},
      {[&] { return hostlink::StringProtocolW(os, nullptr, 8, wide); },
       "", ORVEKPORT_E_INVALID_ARGUMENT},
      {[&] { return hostlink::StringProtocolW(os, u"x", 8, nullptr); }, "",
       ORVEKPORT_E_INVALID_ARGUMENT},
  });
}

// The library's own queries (up to the waypoint's 1000 bytes) keep their
// reply on the stack; a caller's larger capacity takes one heap block for
// the call and gives it back, and without one the query is refused unsent.
TEST_F(EnvelopeTest, OnlyLargeRepliesUseTheHeap) {
  ExpectRows(
      {{Query("4", 1000), "F|4\n", ORVEKPORT_OK, "ok\n", "G|ok\n", 1000}});
  EXPECT_EQ(os.count(Op::Allocate), 0u);
  ExpectRows({{Query("4", 1'000'000), "F|4\n", ORVEKPORT_OK, "ok\n", "G|ok\n",
               1'000'000}});
  ASSERT_EQ(os.count(Op::Allocate), 1u);
  EXPECT_EQ(os.details_of<Op::Allocate>()[0].bytes, 1'000'010u);
  EXPECT_EQ(os.count(Op::Release), 1u);
  os.fail(Op::Allocate);
  ExpectRows({{Query("4", 1'000'000), "", ORVEKPORT_E_NO_MEMORY, "#"}});
}

// A raw request never starts discovery (nor does a command: see the map
// commands). A failed exchange's status passes through every envelope
// unchanged; time-outs do so in the discovery and map command tests.
TEST_F(EnvelopeTest, ExchangeStatusPassesThrough) {
  os.fail(Op::ReadFile, 0, -1);
  ExpectRows({{Command("K", "1,2"), "K|1,2\n", ORVEKPORT_E_READ_REPLY},
              {Query("2", 8), "F|2\n", ORVEKPORT_E_READ_REPLY, "#"},
              {Raw(u"x", 8), "x\n", ORVEKPORT_E_READ_REPLY, "#"}});
  os.fail(Op::ReadFile, 0, 0);
  hostlink::ResetHostLinkState();
  EXPECT_EQ(Raw(u"x", 8)(), ORVEKPORT_E_TIMEOUT);
  EXPECT_EQ(os.count(Op::RegOpenKey) + os.count(Op::FindWindow), 0u);
}

}  // namespace
}  // namespace orvek
