// One request/reply exchange: the bytes, the order of the platform calls,
// the limits, and what each failure leaves behind.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "hostlink/host_protocol.h"
#include "hostlink/packet_exchange.h"
#include "tests/support/host_link_fixture.h"

namespace orvek {
namespace {

using platform::fake::Op;

constexpr char16_t kLock[] = u"OrvekPORT.ExchangeLock";

class PacketExchangeTest : public testing::ConnectedHostTest {
 protected:
  // Exchanges into a buffer with a canary after its capacity + 1 bytes.
  StatusCode Exchange(const char* prefix, const char* body,
                      std::uint32_t capacity = 1000) {
    reply.assign(capacity + 1 + 8, '#');
    bytes_read = 0xFFFFFFFF;
    StatusCode status = hostlink::ExchangePacket(os, prefix, body, reply.data(),
                                                 capacity, &bytes_read);
    EXPECT_EQ(reply.substr(capacity + 1), "########") << "written past the reply";
    EXPECT_EQ(os.mutex_owned(kLock), 0) << "lock kept";
    return status;
  }
  // For a table row: the reply bytes read go to `out` ("#": none).
  std::function<StatusCode()> Ex(const char* prefix, std::string body,
                                 std::uint32_t capacity = 1000) {
    return [=, this] {
      StatusCode status = Exchange(prefix, body.c_str(), capacity);
      if (bytes_read == 0xFFFFFFFF) {
        out = "#";
      } else {
        out = reply.substr(0, bytes_read);
        EXPECT_EQ(reply[bytes_read], '\0');
        EXPECT_EQ(RequestFile(), host.requests.back());  // no older tail
      }
      return status;
    };
  }
  std::string RequestFile() {
    return os.file(host.request_path()).value_or("<none>");
  }

  std::string reply;
  std::uint32_t bytes_read = 0;
};

// The line is the prefix, "|", the body unescaped and a line feed, at most
// 199 bytes, checked before any file is touched; at most `capacity` reply
// bytes are read, with a NUL after them.
TEST_F(PacketExchangeTest, RequestLineAndReplyBytes) {
  const std::string b196(196, 'b'), b198(198, 'b');
  const std::string digits = "G|0123456789";
  const std::string raw("G|a\0b\r\n", 7);
  ExpectRows({
      {Ex("E", b196), "E|" + b196 + "\n", ORVEKPORT_OK, "A\n"},
      {Ex("E", b196 + "b"), "", ORVEKPORT_E_TOO_LONG, "#"},
      {Ex(nullptr, b198), b198 + "\n", ORVEKPORT_OK, "A\n"},
      {Ex(nullptr, b198 + "b"), "", ORVEKPORT_E_TOO_LONG, "#"},
      {Ex("F", std::string(5000, 'b')), "", ORVEKPORT_E_TOO_LONG, "#"},
      {Ex(nullptr, ""), "\n", ORVEKPORT_OK, "A\n"},
      {Ex("N", "a|b\nc"), "N|a|b\nc\n", ORVEKPORT_OK, "A\n"},
      {Ex("E", "\x80\xFF"), "E|\x80\xFF\n", ORVEKPORT_OK, "A\n"},
      {Ex("F", "x", 5), "F|x\n", ORVEKPORT_OK, "G|012", digits, 5},
      {Ex("F", "x", 12), "F|x\n", ORVEKPORT_OK, digits, digits, 12},
      {Ex("F", "x", 13), "F|x\n", ORVEKPORT_OK, digits, digits, 13},
      {Ex("F", "x", 10), "F|x\n", ORVEKPORT_OK, "", "", 10},
      {Ex("F", "x", 0), "F|x\n", ORVEKPORT_OK, "", "anything"},
      {Ex("F", "x", 100), "F|x\n", ORVEKPORT_OK, raw, raw, 100},
  });
}

TEST_F(PacketExchangeTest, FilesAndMessageOfTheProtocol) {
  ASSERT_EQ(Exchange("F", "4"), ORVEKPORT_OK);
  const auto& calls = os.calls();
  ASSERT_EQ(calls.size(), 11u) << os.describe_calls();
  EXPECT_EQ(calls[0].handle, hostlink::ExchangeLock.load());
  EXPECT_EQ(calls[0].detail_of<Op::Wait>().timeout_ms, 10000u);
  // The request file is replaced, read-write, shared for reading only.
  EXPECT_EQ(calls[1].text, host.request_path());
  const auto& request_open = calls[1].detail_of<Op::CreateFile>();
  EXPECT_EQ(request_open.access, 0xC0000000u);  // GENERIC_READ | GENERIC_WRITE
  EXPECT_EQ(request_open.share, 1u);            // FILE_SHARE_READ
  EXPECT_EQ(request_open.disposition, platform::Disposition::CreateAlways);
  EXPECT_EQ(calls[3].handle, calls[1].handle);  // closed before the post
  const auto& post = calls[5].detail_of<Op::PostMessage>();
  EXPECT_EQ(post.message, 0x4522u);
  EXPECT_EQ(post.wparam, 15u);
  EXPECT_EQ(post.lparam, 0);
  EXPECT_EQ(calls[5].handle, host.window);
  EXPECT_EQ(calls[6].detail_of<Op::Wait>().timeout_ms, 3000u);
  EXPECT_EQ(calls[7].text, host.reply_path());
  EXPECT_EQ(calls[7].detail_of<Op::CreateFile>().disposition,
            platform::Disposition::OpenExisting);
  EXPECT_EQ(calls[9].handle, calls[7].handle);
}

// Each path through the exchange: its status, the platform calls in their
// order (the lock taken first and released last, the owed-answer mark read
// without a call, each file closed before the next step) and the time it
// takes.
TEST_F(PacketExchangeTest, EveryPathInOrder) {
  const std::string sent =
      "Wait CreateFile WriteFile CloseHandle ResetEvent PostMessage Wait";
  const std::string read =
      sent + " CreateFile ReadFile CloseHandle ReleaseMutex";
  // The lock, the owed-answer mark and the reply event are opened by the
  // first exchange that needs them, and again after a failure.
  const std::string opening =
      " CreateFile WriteFile CloseHandle CreateEvent ResetEvent PostMessage "
      "Wait CreateFile ReadFile CloseHandle ReleaseMutex";
  auto close = [&](platform::Handle handle) {  // keeps the leak count true
    if (handle != platform::kNullHandle) os.close_handle(handle);
  };
  auto forget_link = [&] {
    close(hostlink::ReplyEvent);
    close(hostlink::ExchangeLock.load());
    hostlink::ResetHostLinkState();
    hostlink::HostWindow = host.window;
  };
  const struct {
    const char* name;
    std::function<void()> fault;
    StatusCode status;
    std::string ops;
    std::uint64_t elapsed_ms;
  } cases[] = {
      {"answered", [] {}, ORVEKPORT_OK, read, 0},
      {"answered just in time", [&] { host.reply_delay_ms = 3000; },
       ORVEKPORT_OK, read, 3000},
      // Another holder's lock is awaited 10 s at most (the refusal comes
      // last: the lock is still held when it returns).
      {"lock held elsewhere for 2 s",
       [&] { os.hold_mutex(kLock, os.now_ms() + 2000); }, ORVEKPORT_OK, read,
       2000},
      {"request file held by the host",
       [&] { os.hold_file(host.request_path()); }, ORVEKPORT_E_CREATE_REQUEST,
       "Wait CreateFile ReleaseMutex", 0},
      {"no such directory", [&] { hostlink::HostDirectory[0] = u'Q'; },
       ORVEKPORT_E_CREATE_REQUEST, "Wait CreateFile ReleaseMutex", 0},
      {"write fails", [&] { os.fail(Op::WriteFile); },
       ORVEKPORT_E_WRITE_REQUEST,
       "Wait CreateFile WriteFile CloseHandle ReleaseMutex", 0},
      {"no reply file",
       [&] {
         os.remove_file(host.reply_path());
         host.write_reply = false;
       },
       ORVEKPORT_E_OPEN_REPLY, sent + " CreateFile ReleaseMutex", 0},
      {"reply file held", [&] { host.hold_reply_open = true; },
       ORVEKPORT_E_OPEN_REPLY, sent + " CreateFile ReleaseMutex", 0},
      {"read fails", [&] { os.fail(Op::ReadFile); }, ORVEKPORT_E_READ_REPLY,
       read, 0},
      {"lock cannot be opened",
       [&] { forget_link(); os.fail(Op::CreateMutex); }, ORVEKPORT_E_BUSY,
       "CreateMutex", 0},
      {"lock opened next time", [] {}, ORVEKPORT_OK,
       "CreateMutex Wait MapShared" + opening, 0},
      {"mark cannot be mapped", [&] { forget_link(); os.fail(Op::MapShared); },
       ORVEKPORT_E_BUSY, "CreateMutex Wait MapShared ReleaseMutex", 0},
      {"mark mapped next time", [] {}, ORVEKPORT_OK, "Wait MapShared" + opening,
       0},
      // Reset and wait fail at once; the reply file is read as it stands.
      {"event cannot be created",
       [&] {
         close(hostlink::ReplyEvent);
         hostlink::ReplyEvent = platform::kNullHandle;
         os.fail(Op::CreateEvent);
       },
       ORVEKPORT_OK, "Wait" + opening, 0},
      {"event created next time", [] {}, ORVEKPORT_OK, "Wait" + opening, 0},
      {"no signal", [&] { host.signal = false; }, ORVEKPORT_E_TIMEOUT,
       sent + " ReleaseMutex", 3000},
      {"lock held elsewhere too long",
       [&] { os.hold_mutex(kLock, os.now_ms() + 10001); }, ORVEKPORT_E_BUSY,
       "Wait", 10000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    host.signal = host.write_reply = true;
    host.hold_reply_open = false;
    host.reply_delay_ms = 0;
    os.release_file(host.request_path());
    os.release_file(host.reply_path());
    std::memcpy(hostlink::HostDirectory, u"C:\\Orvek", 18);
    c.fault();
    os.clear_calls();
    std::uint64_t started = os.now_ms();
    EXPECT_EQ(Exchange("F", "4"), c.status);
    EXPECT_EQ(testing::OpNames(os), c.ops);
    EXPECT_EQ(os.now_ms() - started, c.elapsed_ms);
    EXPECT_EQ(testing::LeakedHandles(os), 0u);
    // Every process maps the same one-word mark.
    for (const auto& map : os.calls_of(Op::MapShared)) {
      EXPECT_EQ(map.text, u"OrvekPORT.AnswerOwed");
      EXPECT_EQ(map.detail_of<Op::MapShared>().bytes, 4u);
    }
  }
}

// ---- A late answer and the lock --------------------------------------------

// The host answers every line with "G|" and the line, so each reply names
// the request it belongs to.
class LateAnswerTest : public PacketExchangeTest {
 protected:
  void SetUp() override {
    PacketExchangeTest::SetUp();
    host.answer = [](const std::string& line) { return "G|" + line; };
  }
  // "F|1" times out; the host answers it `late_ms` after the library gave
  // up (never when signal is off). Returns the time of the time-out.
  std::uint64_t TimeOutAnsweredLate(std::uint32_t late_ms) {
    host.reply_delay_ms = 3000 + late_ms;
    EXPECT_EQ(Exchange("F", "1"), ORVEKPORT_E_TIMEOUT);
    host.reply_delay_ms = 0;
    return os.now_ms();
  }
};

// Before sending, the next exchange waits for the late answer (unless it
// came between the calls) and discards it.
TEST_F(LateAnswerTest, NextExchangeWaitsForTheLateAnswerAndDiscardsIt) {
  struct {
    std::uint32_t late_ms, pause_ms;
  } cases[] = {{1, 0}, {500, 0}, {3000, 0}, {200, 1000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.late_ms) + " ms late, next call " +
                 std::to_string(c.pause_ms) + " ms after the time-out");
    host.requests.clear();
    std::uint64_t timed_out = TimeOutAnsweredLate(c.late_ms);
    os.advance_ms(c.pause_ms);
    ASSERT_EQ(Exchange("F", "2"), ORVEKPORT_OK);
    EXPECT_EQ(std::string(reply.c_str()), "G|F|2\n");
    // The host read each request once, its own line each time.
    EXPECT_EQ(host.requests, (std::vector<std::string>{"F|1\n", "F|2\n"}));
    EXPECT_EQ(os.posted.back().time_ms,
              timed_out + std::max(c.late_ms, c.pause_ms));
  }
}

// An answer still owed after that wait refuses the exchange unsent, and the
// next one waits again; one that never comes is given up by Init.
TEST_F(LateAnswerTest, AnswerStillOwedRefusesWithoutSending) {
  std::uint64_t timed_out = TimeOutAnsweredLate(3500);
  std::size_t posts = os.posted.size();
  EXPECT_EQ(Exchange("E", "x"), ORVEKPORT_E_BUSY);
  EXPECT_EQ(os.now_ms(), timed_out + 3000);
  EXPECT_EQ(os.posted.size(), posts);
  EXPECT_EQ(RequestFile(), "F|1\n") << "nothing may be written either";
  ASSERT_EQ(Exchange("F", "3"), ORVEKPORT_OK);  // answered meanwhile
  EXPECT_EQ(std::string(reply.c_str()), "G|F|3\n");
  EXPECT_EQ(host.requests, (std::vector<std::string>{"F|1\n", "F|3\n"}));

  host.signal = false;
  TimeOutAnsweredLate(0);
  host.signal = true;
  EXPECT_EQ(Exchange("F", "2"), ORVEKPORT_E_BUSY);
  EXPECT_EQ(Exchange("F", "2"), ORVEKPORT_E_BUSY);
  std::uint64_t started = os.now_ms();
  ASSERT_EQ(hostlink::Init(os), ORVEKPORT_OK);
  EXPECT_EQ(os.now_ms(), started + 3000);
  ASSERT_EQ(Exchange("F", "4"), ORVEKPORT_OK);
  EXPECT_EQ(std::string(reply.c_str()), "G|F|4\n");
}

// A stale window's post fails, and a null window posts to this thread's own
// queue: either way no host heard, so the next exchange waits for nothing.
TEST_F(LateAnswerTest, NobodyOwesAnAnswerThatNoHostHeard) {
  for (bool stale : {true, false}) {
    SCOPED_TRACE(stale ? "stale window" : "no window yet");
    if (stale) host.exit();
    hostlink::HostWindow = stale ? hostlink::HostWindow : platform::kNullHandle;
    EXPECT_EQ(Exchange("F", "1"), ORVEKPORT_E_TIMEOUT);
    EXPECT_EQ(os.calls_of(Op::PostMessage).back().ok, !stale);
    if (stale) host.start();
    hostlink::HostWindow = host.window;
    std::uint64_t started = os.now_ms();
    EXPECT_EQ(Exchange("F", "2"), ORVEKPORT_OK);
    EXPECT_EQ(os.now_ms(), started);
  }
}

TEST_F(PacketExchangeTest, LockOfADeadOwnerIsTakenAndItsAnswerDiscarded) {
  // The owner died after posting: the host's answer to it comes 700 ms on.
  os.abandon_mutex(kLock);
  os.set_file(host.reply_path(), "G|dead");
  os.signal_event(u"EventOrvekAPI", os.now_ms() + 700);
  host.answer_always("G|mine");
  ASSERT_EQ(Exchange("F", "1"), ORVEKPORT_OK);
  EXPECT_STREQ(reply.c_str(), "G|mine");
  EXPECT_EQ(os.posted.back().time_ms, 700u);

  // Died before posting: nothing comes, and after one wait the link goes on.
  os.abandon_mutex(kLock);
  ASSERT_EQ(Exchange("F", "2"), ORVEKPORT_OK);
  EXPECT_EQ(os.now_ms(), 3700u);
  EXPECT_EQ(testing::LeakedHandles(os), 0u);
}

TEST_F(PacketExchangeTest, BeforeDiscoveryFilesAreAtTheRootAndNobodyHears) {
  hostlink::ResetHostLinkState();
  EXPECT_EQ(Exchange("I", "1"), ORVEKPORT_E_TIMEOUT);
  EXPECT_EQ(os.calls_of(Op::CreateFile)[0].text, u"\\PACKETTX.DAT");
  EXPECT_EQ(os.calls_of(Op::PostMessage)[0].handle, platform::kNullHandle);
  EXPECT_EQ(os.file(u"\\PACKETTX.DAT"), "I|1\n");
}

}  // namespace
}  // namespace orvek
