// One request/reply exchange: the bytes, the order of the platform calls,
// the limits, and what each failure leaves behind.
#include <algorithm>
#include <stdexcept>
#include <cstring>
#include <functional>
#include <string>

#include "protocol/host_protocol.h"
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
  EXPECT_EQ(calls[0].detail_of<Op::Wait>().timeout_ms, 17000u);
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
// order (the lock taken first and released last, the link record read
// without a call, each file closed before the next step) and the time it
// takes.
TEST_F(PacketExchangeTest, EveryPathInOrder) {
  const std::string sent =
      "Wait CreateFile WriteFile CloseHandle ResetEvent PostMessage Wait";
  const std::string read =
      sent + " CreateFile ReadFile CloseHandle ReleaseMutex";
  // The lock, the link record and the reply event are opened by the
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
    std::memcpy(hostlink::HostDirectory, u"C:\\Orvek", 18);
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
      // Another holder's lock is awaited 17 s at most (the refusal comes
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
       "CreateMutex Wait MapFile" + opening, 0},
      {"record cannot be mapped", [&] { forget_link(); os.fail(Op::MapFile); },
       ORVEKPORT_E_BUSY, "CreateMutex Wait MapFile ReleaseMutex", 0},
      {"record mapped next time", [] {}, ORVEKPORT_OK, "Wait MapFile" + opening,
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
       [&] { os.hold_mutex(kLock, os.now_ms() + 17001); }, ORVEKPORT_E_BUSY,
       "Wait", 17000},
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
    // Every process maps the same record beside the packet files.
    for (const auto& map : os.calls_of(Op::MapFile)) {
      EXPECT_EQ(map.text, host.directory() + u"\\OrvekPORT.link");
      EXPECT_EQ(map.detail_of<Op::MapFile>().bytes, 24u);
    }
  }
}

// ---- Posts the host has not answered ---------------------------------------

// The host answers every line with "G|" and the line, so each reply names
// the request it belongs to; it serves one post at a time and reads the
// request file when a post's turn comes, as a real host does.
class LateAnswerTest : public PacketExchangeTest {
 protected:
  void SetUp() override {
    PacketExchangeTest::SetUp();
    host.answer = [](const std::string& line) { return "G|" + line; };
    os.on_post = [this](const platform::fake::PostedMessage& message) {
      if (message.wparam == 15 && message.window == host.window) {
        EXPECT_EQ(posts_heard++, host.requests.size())
            << "posted while an earlier post was unanswered";
      }
      on_post(message);
    };
  }
  // "F|1" times out; the host answers it `late_ms` after the library gave
  // up. Returns the time of the time-out.
  std::uint64_t TimeOutAnsweredLate(std::uint32_t late_ms) {
    host.reply_delay_ms = 3000 + late_ms;
    EXPECT_EQ(Exchange("F", "1"), ORVEKPORT_E_TIMEOUT);
    host.reply_delay_ms = 0;
    return os.now_ms();
  }
  // A query with its own text: 0 with its own answer, or `status` with
  // nothing read.
  void Query(const std::string& text, StatusCode status = ORVEKPORT_OK) {
    SCOPED_TRACE("query " + text);
    ASSERT_EQ(Exchange("F", text.c_str()), status);
    if (status == ORVEKPORT_OK) {
      EXPECT_EQ(std::string(reply.c_str()), "G|F|" + text + "\n");
    }
  }
  // This process ends and another one takes over the same host: only what
  // lives outside the process (the files, the host, its event) remains.
  void NewProcess() {
    os.close_handle(hostlink::ReplyEvent);
    os.close_handle(hostlink::ExchangeLock.load());
    hostlink::ResetHostLinkState();
  }
  // Every request line the host read, in order: each one read once.
  void ExpectEachReadOnce(std::vector<std::string> lines) {
    EXPECT_EQ(host.requests, lines);
  }

  std::function<void(const platform::fake::PostedMessage&)> on_post =
      os.on_post;
  std::size_t posts_heard = 0;
};

// The next exchange (or Init) waits for a late answer and discards it,
// however the answer falls against it: between the calls, within the
// wait, or after it (then 14 and nothing sent, and the next call waits
// again). A call never posts while an earlier post is unanswered.
TEST_F(LateAnswerTest, EveryOrderOfALateAnswerAndTheNextCalls) {
  struct {
    const char* name;
    std::uint32_t late_ms, pause_ms;
    bool init;                 // the next call is Init rather than a query
    int refused;               // calls refused (14) before one goes through
    std::uint64_t waited_ms;   // from the time-out to the next post
  } cases[] = {
      {"answer within the wait", 500, 0, false, 0, 500},
      {"answer at the wait's end", 3000, 0, false, 0, 3000},
      {"answer between the calls", 200, 1000, false, 0, 1000},
      {"answer after one refusal", 3500, 0, false, 1, 3500},
      {"answer 12 s late", 12000, 0, false, 3, 12000},
      {"Init within the wait", 500, 0, true, 0, 500},
      {"Init refused, then answered", 3500, 0, true, 1, 3500},
      {"Init 12 s late, as a feed retries", 12000, 0, true, 3, 12000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    host.requests.clear();
    posts_heard = 0;
    std::uint64_t timed_out = TimeOutAnsweredLate(c.late_ms);
    os.advance_ms(c.pause_ms);
    for (int i = 0; i < c.refused; ++i) {
      std::size_t posts = os.posted.size();
      EXPECT_EQ(c.init ? hostlink::Init(os) : Exchange("F", "2"),
                ORVEKPORT_E_BUSY);
      EXPECT_EQ(os.posted.size(), posts);
      EXPECT_EQ(RequestFile(), "F|1\n") << "nothing may be written either";
    }
    if (c.init) {
      ASSERT_EQ(hostlink::Init(os), ORVEKPORT_OK);
      ExpectEachReadOnce({"F|1\n", "F|0\n"});
    } else {
      Query("2");
      ExpectEachReadOnce({"F|1\n", "F|2\n"});
    }
    EXPECT_EQ(os.posted.back().time_ms, timed_out + c.waited_ms);
    // And the link runs on in step.
    for (const char* text : {"3", "4", "5"}) Query(text);
    EXPECT_EQ(host.requests.size(), 5u);
  }
}

// A post whose answer never comes keeps the link refused (14, within a
// bounded wait) for as long as its window lives; once that window is gone,
// or its number belongs to another process's window, the link is given
// back at once, to an exchange or to Init with the new window.
TEST_F(LateAnswerTest, AnAnswerNeverComingIsGivenUpOnlyWithItsWindow) {
  struct {
    const char* name;
    std::function<void()> host_goes;
    bool init;
  } cases[] = {
      {"host exits, link found anew by Init", [&] { host.exit(); host.start(); },
       true},
      {"window number taken by another process",
       [&] { os.give_window_new_owner(host.window); }, false},
      {"host restarted, a query with the old window",
       [&] { host.exit(); host.start(); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    host.signal = false;
    TimeOutAnsweredLate(0);
    host.signal = true;
    for (int i = 0; i < 3; ++i) {
      std::uint64_t started = os.now_ms();
      EXPECT_EQ(Exchange("F", "2"), ORVEKPORT_E_BUSY);
      EXPECT_EQ(os.now_ms() - started, 3000u) << "a bounded wait";
    }
    EXPECT_EQ(hostlink::Init(os), ORVEKPORT_E_BUSY);
    c.host_goes();
    posts_heard = host.requests.size();
    std::uint64_t started = os.now_ms();
    if (c.init) {
      ASSERT_EQ(hostlink::Init(os), ORVEKPORT_OK);
      Query("3");
    } else {
      // A stale window's post fails; nothing is owed for it.
      EXPECT_EQ(Exchange("F", "3"),
                hostlink::HostWindow == host.window ? ORVEKPORT_OK
                                                    : ORVEKPORT_E_TIMEOUT);
    }
    EXPECT_EQ(os.calls_of(Op::PostMessage).back().time_ms, started)
        << "no wait for a gone window";
    hostlink::HostWindow = host.window;
    os.on_shell_open = nullptr;
    hostlink::Init(os);
  }
}

// What is owed outlives the process that posted: a process that exits
// after a time-out, or dies holding the lock while it waits, leaves the
// answer owed to whichever process comes next, even when no process kept
// anything open in between.
TEST_F(LateAnswerTest, AnOwedAnswerOutlivesItsProcess) {
  for (bool died_waiting : {false, true}) {
    SCOPED_TRACE(died_waiting ? "died holding the lock" : "exited after 7");
    host.requests.clear();
    posts_heard = 0;
    if (died_waiting) {
      // The post is made; the process dies before the answer, 2 s on.
      host.reply_delay_ms = 2000;
      os.on_post = [this](const platform::fake::PostedMessage& message) {
        on_post(message);
        os.abandon_mutex(kLock);
        throw std::runtime_error("died");
      };
      EXPECT_THROW(Exchange("F", "1"), std::runtime_error);
      os.on_post = on_post;
      host.reply_delay_ms = 0;
    } else {
      TimeOutAnsweredLate(1000);
    }
    // What the dead process held is let go by the system.
    while (os.mutex_owned(kLock) > 0)
      os.release_mutex(hostlink::ExchangeLock.load());
    NewProcess();
    posts_heard = 1;
    ASSERT_EQ(hostlink::Init(os), ORVEKPORT_OK);
    ExpectEachReadOnce({"F|1\n", "F|0\n"});
    Query("2");
    EXPECT_EQ(testing::LeakedHandles(os), 0u);
  }
}

// A stale window's post fails, and a null window posts to this thread's own
// queue: either way no host heard, so the next exchange waits for nothing.
// A signal that comes while a failed post waits is somebody else's.
TEST_F(LateAnswerTest, NobodyOwesAnAnswerThatNoHostHeard) {
  for (bool stale : {true, false}) {
    SCOPED_TRACE(stale ? "stale window" : "no window yet");
    if (stale) host.exit();
    hostlink::HostWindow = stale ? hostlink::HostWindow : platform::kNullHandle;
    if (stale) os.signal_event(u"EventOrvekAPI", os.now_ms() + 100);
    EXPECT_EQ(Exchange("F", "1"), ORVEKPORT_E_TIMEOUT);
    EXPECT_EQ(os.calls_of(Op::PostMessage).back().ok, !stale);
    if (stale) host.start();
    hostlink::HostWindow = host.window;
    std::uint64_t started = os.now_ms();
    EXPECT_EQ(Exchange("F", "2"), ORVEKPORT_OK);
    EXPECT_EQ(os.now_ms(), started);
  }
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
