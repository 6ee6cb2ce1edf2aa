// The envelopes' reply rules and request forms.
#include "hostlink/envelopes.h"

#include <cstring>
#include <string>
#include <vector>

#include "hostlink/discovery.h"
#include "hostlink/host_protocol.h"
#include "hostlink/packet_exchange.h"
#include "tests/support/host_link_fixture.h"

namespace orvek {
namespace {

using platform::fake::Op;

using EnvelopeTest = testing::ConnectedHostTest;

TEST_F(EnvelopeTest, CommandNeedsTwoBytesBeginningWithA) {
  struct Case {
    std::string answer;
    StatusCode expected;
  };
  const Case cases[] = {
      {"A", ORVEKPORT_E_OPEN_REPLY},
      {"A\n", ORVEKPORT_OK},
      {"AB", ORVEKPORT_OK},
      {"A|done\n", ORVEKPORT_OK},
      {"", ORVEKPORT_E_OPEN_REPLY},
      {"B\n", ORVEKPORT_E_READ_REPLY},
      {"a\n", ORVEKPORT_E_READ_REPLY},
      {"G|1\n", ORVEKPORT_E_READ_REPLY},
      {std::string("\0A", 2), ORVEKPORT_E_READ_REPLY},
  };
  for (const Case& c : cases) {
    host.answer_always(c.answer);
    EXPECT_EQ(hostlink::SendCommand(os, "I", "12"), c.expected)
        << "reply \"" << c.answer << "\"";
  }
  EXPECT_EQ(host.requests.back(), "I|12\n");
  // A command's reply, and a raw request's, is read in up to 1000 bytes.
  char16_t wide[4];
  ASSERT_EQ(hostlink::StringProtocolW(os, u"x", 4, wide), ORVEKPORT_OK);
  for (const auto& read : os.details_of<Op::ReadFile>())
    EXPECT_EQ(read.bytes, 1000u);
}

TEST_F(EnvelopeTest, QueryResultIsTheTextAfterTheFirstBar) {
  struct Case {
    std::string answer;
    StatusCode expected;
    const char* result;
  };
  const Case cases[] = {
      {"G|", ORVEKPORT_OK, ""},
      {"G|12\n", ORVEKPORT_OK, "12\n"},
      {"Gcount|12", ORVEKPORT_OK, "12"},
      {"G|a|b", ORVEKPORT_OK, "a|b"},
      {"G", ORVEKPORT_E_NO_RESULT, nullptr},
      {"G12", ORVEKPORT_E_NO_RESULT, nullptr},
      {std::string("G\0|x", 4), ORVEKPORT_E_NO_RESULT,
       nullptr},  // the search stops at NUL
      {std::string("G|a\0b", 5), ORVEKPORT_OK, "a"},
      {"A|12", ORVEKPORT_E_READ_REPLY, nullptr},
      {"", ORVEKPORT_E_OPEN_REPLY, nullptr},
  };
  for (const Case& c : cases) {
    host.answer_always(c.answer);
    char result[64] = "untouched";
    EXPECT_EQ(hostlink::GetString(os, "4", 60, result), c.expected)
        << "reply \"" << c.answer << "\"";
    EXPECT_STREQ(result, c.result ? c.result : "untouched")
        << "reply \"" << c.answer << "\"";
  }
  EXPECT_EQ(host.requests.back(), "F|4\n");
}

TEST_F(EnvelopeTest, QueryRulesApplyToTheFirstCapacityBytesOnly) {
  host.answer_always("G12345|x");
  char result[16];
  EXPECT_EQ(hostlink::GetString(os, "4", 6, result), ORVEKPORT_E_NO_RESULT);
  EXPECT_EQ(hostlink::GetString(os, "4", 7, result), ORVEKPORT_OK);
  EXPECT_STREQ(result, "");
}

TEST_F(EnvelopeTest, CapacityBytesAlwaysHoldTheResult) {
  for (std::uint32_t capacity : {2u, 3u, 20u, 100u}) {
    host.answer_always("G|" + std::string(500, 'r'));
    std::string result(capacity + 8, '#');
    ASSERT_EQ(hostlink::GetString(os, "4", capacity, result.data()),
              ORVEKPORT_OK);
    EXPECT_EQ(std::strlen(result.c_str()), capacity - 2) << capacity;
    EXPECT_EQ(result.substr(capacity), "########") << capacity;
  }
}

// The library's own queries (up to the waypoint's 1000 bytes) keep their
// reply on the stack; a caller's larger capacity takes one heap block for
// the call and gives it back, and without one the query is refused unsent.
TEST_F(EnvelopeTest, OnlyLargeRepliesUseTheHeap) {
  host.answer_always("G|ok\n");
  std::vector<char> result(1'000'000, '#');
  ASSERT_EQ(hostlink::GetString(os, "4", 1000, result.data()), ORVEKPORT_OK);
  EXPECT_EQ(os.count(Op::Allocate), 0u);
  ASSERT_EQ(hostlink::GetString(os, "4", 1'000'000, result.data()),
            ORVEKPORT_OK);
  EXPECT_STREQ(result.data(), "ok\n");
  ASSERT_EQ(os.count(Op::Allocate), 1u);
  EXPECT_EQ(os.details_of<Op::Allocate>()[0].bytes, 1'000'010u);
  EXPECT_EQ(os.count(Op::Release), 1u);

  os.clear_calls();
  os.fail(Op::Allocate);
  EXPECT_EQ(hostlink::GetString(os, "4", 1'000'000, result.data()),
            ORVEKPORT_E_NO_MEMORY);
  EXPECT_EQ(os.count(Op::CreateFile), 0u);
}

TEST_F(EnvelopeTest, QueryWithNullPointersIsRefusedUnsent) {
  char result[8];
  EXPECT_EQ(hostlink::GetString(os, nullptr, 8, result),
            ORVEKPORT_E_INVALID_ARGUMENT);
  EXPECT_EQ(hostlink::GetString(os, "4", 8, nullptr),
            ORVEKPORT_E_INVALID_ARGUMENT);
  EXPECT_TRUE(host.requests.empty());
}

TEST_F(EnvelopeTest, CommandsNeverStartDiscovery) {
  hostlink::ResetHostLinkState();
  EXPECT_EQ(hostlink::SendCommand(os, "I", "1"), ORVEKPORT_E_TIMEOUT);
  EXPECT_EQ(os.count(Op::RegOpenKey), 0u);
  EXPECT_EQ(os.count(Op::FindWindow), 0u);
  char16_t result[8];
  EXPECT_EQ(hostlink::StringProtocolW(os, u"x", 8, result),
            ORVEKPORT_E_TIMEOUT);
  EXPECT_EQ(os.count(Op::RegOpenKey), 0u);
}

TEST_F(EnvelopeTest, RawRequestIsSentWithoutPrefixThroughTheCodePage) {
  host.answer_always("R|\xE9t\xE9\n");
  char16_t result[32];
  ASSERT_EQ(hostlink::StringProtocolW(os, u"caf\u00E9 \u20AC", 32, result),
            ORVEKPORT_OK);
  // The fake's code page has no euro sign: it becomes '?'.
  EXPECT_EQ(host.requests.back(), "caf\xE9 ?\n");
  EXPECT_EQ(std::u16string(result), u"R|\u00E9t\u00E9\n");
}

TEST_F(EnvelopeTest, RawReplyIsNotJudged) {
  for (const std::string& answer : {std::string(""), std::string("X"),
                                    std::string("A"), std::string("G")}) {
    host.answer_always(answer);
    char16_t result[8] = u"junk";
    ASSERT_EQ(hostlink::StringProtocolW(os, u"", 8, result), ORVEKPORT_OK)
        << answer;
    EXPECT_EQ(host.requests.back(), "\n");
    EXPECT_EQ(platform::fake::utf8(result), answer);
  }
}

TEST_F(EnvelopeTest, RawReplyTooLongIsCutToCapacity) {
  host.answer_always("abcdef");
  struct Case {
    std::int32_t capacity;
    std::u16string expected;
  };
  for (const Case& c : {Case{1, u""}, Case{4, u"abc"}, Case{6, u"abcde"},
                        Case{7, u"abcdef"}}) {
    std::u16string result(c.capacity + 4, u'#');
    ASSERT_EQ(hostlink::StringProtocolW(os, u"x", c.capacity, result.data()),
              ORVEKPORT_OK);
    EXPECT_EQ(std::u16string(result.c_str()), c.expected) << c.capacity;
    EXPECT_EQ(result.substr(c.capacity), u"####") << c.capacity;
  }
  char16_t untouched[2] = {u'#', u'#'};
  EXPECT_EQ(hostlink::StringProtocolW(os, u"x", 0, untouched), ORVEKPORT_OK);
  EXPECT_EQ(untouched[0], u'#');
  EXPECT_EQ(hostlink::StringProtocolW(os, u"x", 0, nullptr), ORVEKPORT_OK);
}

TEST_F(EnvelopeTest, RawReplyIsNeverCutInsideASurrogatePair) {
  // Four bytes that the code page reads as U+1F600, a surrogate pair.
  os.multibyte_characters["\x94\x39\xFC\x38"] = u"\U0001F600";
  host.answer_always("ab\x94\x39\xFC\x38" "c");
  struct Case {
    std::int32_t capacity;
    std::u16string expected;
  };
  for (const Case& c : {Case{3, u"ab"}, Case{4, u"ab"},
                        Case{5, u"ab\U0001F600"}, Case{6, u"ab\U0001F600c"}}) {
    std::u16string result(c.capacity, u'#');
    ASSERT_EQ(hostlink::StringProtocolW(os, u"x", c.capacity, result.data()), ORVEKPORT_OK);
    EXPECT_EQ(std::u16string(result.c_str()), c.expected) << c.capacity;
  }
}

TEST_F(EnvelopeTest, RawRequestLimitIs198ConvertedBytes) {
  char16_t result[8];
  std::u16string request(198, u'r');
  EXPECT_EQ(hostlink::StringProtocolW(os, request.c_str(), 8, result),
            ORVEKPORT_OK);
  request += u'r';
  os.clear_calls();
  EXPECT_EQ(hostlink::StringProtocolW(os, request.c_str(), 8, result),
            ORVEKPORT_E_TOO_LONG);
  EXPECT_EQ(os.count(Op::CreateFile), 0u);
  EXPECT_EQ(hostlink::StringProtocolW(os, nullptr, 8, result),
            ORVEKPORT_E_INVALID_ARGUMENT);
  EXPECT_EQ(hostlink::StringProtocolW(os, u"x", 8, nullptr),
            ORVEKPORT_E_INVALID_ARGUMENT);
}

TEST_F(EnvelopeTest, ExchangeFailuresPassThroughEveryEnvelopeUnchanged) {
  host.signal = false;
  char result[8];
  char16_t wide_result[8];
  // Each time-out leaves an answer owed; forgetting it lets the next through.
  EXPECT_EQ(hostlink::SendCommand(os, "K", "1,2"), ORVEKPORT_E_TIMEOUT);
  ASSERT_EQ(hostlink::ForgetOwedAnswer(os), ORVEKPORT_OK);
  EXPECT_EQ(hostlink::GetString(os, "2", 8, result), ORVEKPORT_E_TIMEOUT);
  ASSERT_EQ(hostlink::ForgetOwedAnswer(os), ORVEKPORT_OK);
  EXPECT_EQ(hostlink::StringProtocolW(os, u"x", 8, wide_result),
            ORVEKPORT_E_TIMEOUT);
  ASSERT_EQ(hostlink::ForgetOwedAnswer(os), ORVEKPORT_OK);
  host.signal = true;
  os.fail(Op::ReadFile, 0, 3);
  EXPECT_EQ(hostlink::SendCommand(os, "K", "1,2"), ORVEKPORT_E_READ_REPLY);
  EXPECT_EQ(hostlink::GetString(os, "2", 8, result), ORVEKPORT_E_READ_REPLY);
  EXPECT_EQ(hostlink::StringProtocolW(os, u"x", 8, wide_result),
            ORVEKPORT_E_READ_REPLY);
  EXPECT_EQ(LeakedHandles(), 0u);
}

}  // namespace
}  // namespace orvek
