// The host link end to end under Wine: the real DLL, the host emulator, the
// real registry, shell launch, packet files and named event. The emulator's
// log is the witness of what crossed; the statuses are the DLL's.
#include <gmock/gmock.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "wine_support.h"

namespace orvek::winetest {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

using HostLinkTest = EmulatorTest;

TEST_F(HostLinkTest, DiscoveryLaunchesTheRegisteredHostOnceAndShakesHands) {
  double started = now_ms();
  ASSERT_EQ(OrvekGPSPort_Init(), 0u);
  EXPECT_LT(now_ms() - started, 10000);
  // Each Init looks the window up again and repeats the handshake with the
  // host now running; a second copy launched by mistake would log its
  // refusal within a second.
  ASSERT_EQ(OrvekGPSPort_Init(), 0u);
  EXPECT_FALSE(host().wait_for_log(0, "refused", 1000));
  EXPECT_THAT(host().log_lines(),
              ElementsAre(StartsWith("start "), "ready", recv("F|0"),
                          "send G|orvek-host 3", "signal", recv("F|0"),
                          "send G|orvek-host 3", "signal"));
}

// The registry is read before the window is looked for, and a Path_EXE that
// names no program fails at once: no 10 s of polling, and no modal error
// box or file browser, which would hang the test until the watchdog ends it.
TEST_F(HostLinkTest, DiscoveryFailsAtOnceWithoutABox) {
  const struct {
    const char* name;
    bool running;
    std::optional<std::wstring> path;  // Path_EXE; none: no value
    std::uint32_t status;
  } cases[] = {
      {"no value, host running", true, std::nullopt, 4},
      {"no value, no host", false, std::nullopt, 4},
      {"no such file", false, host().path_of(L"missing.exe"), 1},
      {"a directory", false, host().directory(), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(!c.running || host().start());
    ASSERT_TRUE(c.path ? set_host_path(*c.path) : delete_host_path());
    std::size_t mark = host().log_mark();
    double started = now_ms();
    EXPECT_EQ(OrvekGPSPort_Init(), c.status);
    EXPECT_LT(now_ms() - started, 2000);
    EXPECT_EQ(find_emulator_window() != nullptr, c.running);
    EXPECT_EQ(host().count_log_since(mark, "recv"), 0);
    ASSERT_TRUE(host().stop());
  }
}

TEST_F(HostLinkTest, RawRequestsCrossTheAnsiCodePageByteForByte) {
  ASSERT_EQ(GetACP(), 1252u) << "the expected bytes below are code page 1252";
  start_and_init();
  const struct {
    std::wstring request;
    std::string wire;  // the request file's bytes without the line feed
  } cases[] = {
      {L"caf\u00e9|\u20ac5 \u00bd", "caf\xe9|\x80" "5 \xbd"},
      {L"", ""},
      // The most a raw line holds, in characters of two UTF-16 bytes each
      // and one byte of the code page.
      {std::wstring(ORVEKPORT_RAW_REQUEST_MAX, L'\u00e9'),
       std::string(ORVEKPORT_RAW_REQUEST_MAX, '\xe9')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("request " + log_escape(c.wire));
    wchar_t result[512];
    ASSERT_EQ(OrvekGPSPort_StringProtocolW(c.request.c_str(), 512, result), 0u);
    EXPECT_EQ(std::wstring(result), L"R|" + c.request);
    EXPECT_EQ(host().read_file(protocol_file(protocol::kRequestFileName)),
              c.wire + "\n");
  }
}

TEST_F(HostLinkTest, QueryRepliesAreJudgedAsTheHostWroteThem) {
  start_and_init();
  // The reply rules are pinned by the unit tests; these rows check that
  // real files carry the bytes exactly as the host wrote them.
  const struct {
    const char* fault;  // applies to the next request only
    std::uint32_t capacity;
    const char* answer;
  } cases[] = {
      {"reply Gtext|a|b\\r\\n", 100, "a|b\r\n"},
      {"reply-hex 47 00 7C 78", 100, "status 10"},  // the search ends at NUL
      {"reply G|12345678", 8, "123456"},            // cut at capacity
      {"reply", 100, "status 8"},                   // an empty reply file
      {"no-reply", 100, "status 8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    ASSERT_TRUE(host().set_faults(std::string("once ") + c.fault + "\n"));
    EXPECT_EQ(query("4", c.capacity), c.answer);
  }
  EXPECT_EQ(query("4"), "0") << "faults were meant for one request";
}

// A capacity beyond the stack's reply room takes a heap block from the real
// process heap; one whose buffer can't exist in the address space (a
// 32-bit process can't hold 4 GiB) is refused with 13 before anything is
// sent.
TEST_F(HostLinkTest, LargeCapacitiesUseTheHeapOrAreRefusedUnsent) {
  start_and_init();
  std::vector<char> result(4 << 20, '#');
  ASSERT_TRUE(
      host().set_faults("once reply G|" + std::string(5000, 'z') + "\n"));
  EXPECT_EQ(OrvekGPSPort_GetString("4", 4 << 20, result.data()), 0u);
  EXPECT_EQ(std::strlen(result.data()), 5000u);
  if (sizeof(void*) == 4) {
    auto get = [&](std::uint32_t capacity) {
      return [&, capacity] {
        return OrvekGPSPort_GetString("4", capacity, result.data());
      };
    };
    run_exchanges({{"4 GiB", get(0xFFFFFFFFu), 13, {}},
                   {"4 GiB less 10", get(0xFFFFFFF5u), 13, {}}});
  }
}

TEST_F(HostLinkTest, PacketFilesTheHostStillHoldsRefuseTheExchange) {
  start_and_init();
  std::size_t mark = host().log_mark();

  ASSERT_TRUE(host().set_faults("once hold-reply 400\n"));
  EXPECT_EQ(query("4"), "status 8") << "reply file held open";
  ASSERT_TRUE(host().wait_for_log(mark, "release reply", 3000));
  EXPECT_EQ(query("4"), "0");

  ASSERT_TRUE(host().set_faults("once hold-request 400\n"));
  EXPECT_EQ(query("4"), "0") << "the request that is held is answered";
  double started = now_ms();
  EXPECT_EQ(query("4"), "status 5") << "request file held open";
  EXPECT_LT(now_ms() - started, 1000) << "refused before any wait";
  ASSERT_TRUE(host().wait_for_log(mark, "release request", 3000));
  EXPECT_EQ(query("4"), "0");

  EXPECT_EQ(host().count_log_since(mark, "recv"), 4)
      << "the refused request never reached the host";
}

// A host that has gone leaves its window stale, and the library keeps it:
// a query does not rediscover but posts to nobody and waits out the
// 3000 ms; Init starts the host and the link works again. (A host that
// loses a signal: link_record_test.cpp.)
TEST_F(HostLinkTest, AGoneHostIsFoundAgainByInit) {
  start_and_init();
  ASSERT_TRUE(host().stop());
  std::size_t mark = host().log_mark();
  EXPECT_EQ(query("4"), "status 7");
  EXPECT_EQ(find_emulator_window(), nullptr);
  EXPECT_EQ(host().count_log_since(mark, "start "), 0);
  ASSERT_EQ(OrvekGPSPort_Init(), 0u);
  EXPECT_EQ(host().count_log_since(mark, "start "), 1);
  EXPECT_EQ(query("4"), "0");
}

}  // namespace
}  // namespace orvek::winetest
