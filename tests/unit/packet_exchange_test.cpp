// One request/reply exchange: the bytes, the files and message of the
// protocol and the orderings that matter, the limits, what each failure
// leaves behind, and the record of a post that the host has not answered.
#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>

#include "hostlink/packet_exchange.h"
#include "platform/unique_handle.h"
#include "tests/support/host_link_fixture.h"

namespace orvek {
namespace {

using platform::fake::Call;
using platform::fake::Op;

constexpr char16_t kLock[] = u"OrvekPORT.ExchangeLock";
constexpr char16_t kEvent[] = u"EventOrvekAPI";

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
  std::u16string RecordPath() const {
    return host.directory() + u"\\OrvekPORT.link";
  }
  // Index in the record of calls of the first call that `matches`, or -1.
  long IndexWhere(const std::function<bool(const Call&)>& matches) const {
    const auto& calls = os.calls();
    auto found = std::find_if(calls.begin(), calls.end(), matches);
    return found == calls.end() ? -1 : static_cast<long>(found - calls.begin());
  }
  const Call* OpenOf(const std::u16string& path) const {
    long at = IndexWhere([&](const Call& c) {
      return c.op == Op::CreateFile && c.ok && c.text == path;
    });
    return at < 0 ? nullptr : &os.calls()[static_cast<std::size_t>(at)];
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

// The files, message and event of the protocol, and the orderings that
// matter: the request complete and closed before the post, the event reset
// before it, the reply opened only after the wait (the lock: EveryPath).
TEST_F(PacketExchangeTest, FilesAndMessageOfTheProtocol) {
  ASSERT_EQ(Exchange("F", "4"), ORVEKPORT_OK);
  const auto& calls = os.calls();

  // Both files: read-write, shared for reading only; the request replaced.
  const Call* request = OpenOf(host.request_path());
  const Call* answer = OpenOf(host.reply_path());
  ASSERT_TRUE(request && answer) << os.describe_calls();
  for (const Call* open : {request, answer}) {
    EXPECT_EQ(open->detail_of<Op::CreateFile>().access, 0xC0000000u);
    EXPECT_EQ(open->detail_of<Op::CreateFile>().share, 1u);
  }
  EXPECT_EQ(request->detail_of<Op::CreateFile>().disposition,
            platform::Disposition::CreateAlways);
  EXPECT_EQ(answer->detail_of<Op::CreateFile>().disposition,
            platform::Disposition::OpenExisting);

  auto at = [&](Op op, platform::Handle handle) {
    return IndexWhere(
        [=](const Call& c) { return c.op == op && c.handle == handle; });
  };
  long post = at(Op::PostMessage, host.window);
  long reply_wait = at(Op::Wait, hostlink::ReplyEvent);
  ASSERT_TRUE(post >= 0 && reply_wait >= 0) << os.describe_calls();
  const auto& message =
      calls[static_cast<std::size_t>(post)].detail_of<Op::PostMessage>();
  EXPECT_EQ(message.message, 0x4522u);
  EXPECT_EQ(message.wparam, 15u);
  EXPECT_EQ(message.lparam, 0);
  EXPECT_EQ(calls[static_cast<std::size_t>(reply_wait)]
                .detail_of<Op::Wait>()
                .timeout_ms,
            3000u);
  EXPECT_LT(at(Op::CloseHandle, request->handle), post);
  EXPECT_LT(at(Op::ResetEvent, hostlink::ReplyEvent), post);
  EXPECT_LT(post, reply_wait);
  EXPECT_LT(reply_wait,
            IndexWhere([&](const Call& c) { return &c == answer; }));
}

// Each path through the exchange: its status and how long it takes, with
// nothing left open, every file closed before the lock is let go, and the
// lock held throughout but for a wait for an answer nobody can give.
TEST_F(PacketExchangeTest, EveryPath) {
  auto close = [&](platform::Handle handle) {  // keeps the leak count true
    if (handle != platform::kNullHandle) os.close_handle(handle);
  };
  auto forget_lock = [&] {
    close(hostlink::ExchangeLock.load());
    hostlink::ExchangeLock = platform::kNullHandle;
  };
  const struct {
    const char* name;
    std::function<void()> fault;
    StatusCode status;
    std::uint64_t elapsed_ms;
  } cases[] = {
      {"answered", [] {}, ORVEKPORT_OK, 0},
      {"answered just in time", [&] { host.reply_delay_ms = 3000; },
       ORVEKPORT_OK, 3000},
      {"lock held elsewhere for 2 s",
       [&] { os.hold_mutex(kLock, os.now_ms() + 2000); }, ORVEKPORT_OK, 2000},
      {"request file held by the host",
       [&] { os.hold_file(host.request_path()); }, ORVEKPORT_E_CREATE_REQUEST, 0},
      {"no such directory", [&] { hostlink::HostDirectory[0] = u'Q'; },
       ORVEKPORT_E_CREATE_REQUEST, 0},
      {"write fails", [&] { os.fail(Op::WriteFile); },
       ORVEKPORT_E_WRITE_REQUEST, 0},
      {"no reply file",
       [&] {
         os.remove_file(host.reply_path());
         host.write_reply = false;
       },
       ORVEKPORT_E_OPEN_REPLY, 0},
      {"reply file held", [&] { host.hold_reply_open = true; },
       ORVEKPORT_E_OPEN_REPLY, 0},
      // The first read is the record's.
      {"reply read fails", [&] { os.fail(Op::ReadFile, 1); },
       ORVEKPORT_E_READ_REPLY, 0},
      {"lock cannot be opened", [&] { forget_lock(); os.fail(Op::CreateMutex); },
       ORVEKPORT_E_BUSY, 0},
      {"lock opened next time", [] {}, ORVEKPORT_OK, 0},
      // Reset and wait fail at once; the reply file is read as it stands.
      {"event cannot be created",
       [&] {
         close(hostlink::ReplyEvent);
         hostlink::ReplyEvent = platform::kNullHandle;
         os.fail(Op::CreateEvent);
       },
       ORVEKPORT_OK, 0},
      {"event created next time", [] {}, ORVEKPORT_OK, 0},
      {"no signal", [&] { host.signal = host.write_reply = false; },
       ORVEKPORT_E_TIMEOUT, 3000},
      {"lock held elsewhere too long",
       [&] { os.hold_mutex(kLock, os.now_ms() + 18001); }, ORVEKPORT_E_BUSY,
       18000},
      {"host gone: the post fails", [&] { host.exit(); }, ORVEKPORT_E_TIMEOUT,
       3000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    host.signal = host.write_reply = true;
    host.hold_reply_open = false;
    host.reply_delay_ms = 0;
    if (host.window == platform::kNullHandle) host.start();
    hostlink::HostWindow = host.window;
    // Owing nothing, whatever the case before left.
    os.set_file(RecordPath(), std::string(24, '\0'));
    os.release_file(host.request_path());
    os.release_file(host.reply_path());
    std::memcpy(hostlink::HostDirectory, u"C:\\Orvek", 18);
    os.advance_ms(10);
    c.fault();
    os.clear_calls();
    std::uint64_t started = os.now_ms();
    EXPECT_EQ(Exchange("F", "4"), c.status);
    EXPECT_EQ(os.now_ms() - started, c.elapsed_ms);
    EXPECT_EQ(testing::LeakedHandles(os), 0u);
    long released = IndexWhere([](const Call& call) {
      return call.op == Op::ReleaseMutex;
    });
    if (released < 0) continue;  // the lock was never had
    for (std::size_t i = static_cast<std::size_t>(released); i < os.calls().size(); ++i)
      EXPECT_TRUE(os.calls()[i].op == Op::ReleaseMutex ||
                  os.calls()[i].op == Op::Sleep)
          << "after the lock: " << os.describe_calls();
  }
}

// ---- The record of a post the host has not answered -----------------------

// Whatever is wrong with the record, with packet files that work the
// exchange goes on and gets its own answer; a record it can write is a
// whole one afterwards, owing nothing.
TEST_F(PacketExchangeTest, ARecordThatCantBeHadIsNeverBusy) {
  const std::string zeros(20, '\0');
  const struct {
    const char* name;
    std::function<void()> fault;
    bool written_afresh;
  } cases[] = {
      {"no record yet", [&] { os.remove_file(RecordPath()); }, true},
      {"held by another program", [&] { os.hold_file(RecordPath()); }, false},
      {"a value no writer writes",
       [&] { os.set_file(RecordPath(), std::string("\x07\0\0\0", 4) + zeros); },
       true},
      {"cut short", [&] { os.set_file(RecordPath(), "\x01"); }, true},
      {"longer than a record",
       [&] { os.set_file(RecordPath(), std::string(100, '\x01')); }, true},
      {"its read fails", [&] { os.fail(Op::ReadFile); }, true},
      // The first write is the request's, the second says the post is owed.
      {"owing can't be written", [&] { os.fail(Op::WriteFile, 1); }, true},
      {"a folder of its name",
       [&] {
         os.remove_file(RecordPath());
         os.add_directory(RecordPath());
       },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    os.release_file(RecordPath());
    c.fault();
    os.advance_ms(10);
    std::uint64_t started = os.now_ms();
    ASSERT_EQ(Exchange("F", c.name), ORVEKPORT_OK);
    EXPECT_EQ(std::string(reply.c_str()), "G|\n");
    EXPECT_EQ(host.requests.back(), std::string("F|") + c.name + "\n");
    EXPECT_EQ(os.now_ms(), started) << "a host back at its messages owes nothing";
    EXPECT_EQ(testing::LeakedHandles(os), 0u);
    if (c.written_afresh) {
      std::string record = os.file(RecordPath()).value_or("<none>");
      ASSERT_EQ(record.size(), 24u);
      EXPECT_EQ(record.substr(0, 4), std::string(4, '\0')) << "owing nothing";
    }
  }
}

// A post that no host can hear (no window known yet, or one that has gone)
// owes nothing: no record is made for it, its caller's 3000 ms are waited
// without the lock, and a signal that comes meanwhile is left to the
// caller it was meant for.
TEST_F(PacketExchangeTest, NobodyHeardOwesNothingAndHoldsNothing) {
  for (bool stale : {false, true}) {
    SCOPED_TRACE(stale ? "window gone" : "no window known yet");
    os.remove_file(RecordPath());
    if (stale)
      host.exit();
    else
      hostlink::ResetHostLinkState();  // as before Init: files at the root
    std::uint64_t started = os.now_ms();
    os.signal_event(kEvent, started + 100);
    bool lock_free_meanwhile = false;
    os.at(started + 1000,
          [&] { lock_free_meanwhile = os.mutex_owned(kLock) == 0; });
    EXPECT_EQ(Exchange("I", "1"), ORVEKPORT_E_TIMEOUT);
    EXPECT_EQ(os.now_ms() - started, 3000u);
    EXPECT_TRUE(lock_free_meanwhile);
    platform::UniqueObject event(os, os.create_event(kEvent));
    EXPECT_EQ(os.wait(event.get(), 0), platform::kWaitObject0)
        << "the signal was taken";
    EXPECT_EQ(os.file(RecordPath()), std::nullopt);
    EXPECT_EQ(os.file(u"\\OrvekPORT.link"), std::nullopt);
    if (!stale) {
      EXPECT_EQ(os.file(u"\\PACKETTX.DAT"), "I|1\n");
      EXPECT_EQ(os.calls_of(Op::PostMessage).back().handle,
                platform::kNullHandle);
    }
    host.start();
    ASSERT_EQ(hostlink::Init(os), ORVEKPORT_OK);
  }
}

// The record's bytes are the same for every build, 32-bit or 64-bit, and
// for the library's earlier versions: what a post to a window numbered
// above 2^31 leaves owed.
TEST_F(PacketExchangeTest, TheRecordsBytes) {
  host.exit();
  host.start();
  ASSERT_EQ(hostlink::Init(os), ORVEKPORT_OK);
  ASSERT_GE(static_cast<std::uint32_t>(host.window), 0x80000000u);
  platform::Platform::WindowOwner owner;
  ASSERT_EQ(os.window_owner(host.window, &owner),
            platform::Platform::WindowCheck::kOwned);
  host.signal = host.write_reply = false;
  ASSERT_EQ(Exchange("F", "1"), ORVEKPORT_E_TIMEOUT);
  std::string bytes = os.file(RecordPath()).value_or("");
  ASSERT_EQ(bytes.size(), 24u);
  auto u32_at = [&](std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
      value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
  };
  EXPECT_EQ(u32_at(0), 1u);
  EXPECT_EQ(u32_at(4), static_cast<std::uint32_t>(host.window));
  EXPECT_EQ(u32_at(8), owner.process_id);
  EXPECT_EQ(u32_at(12), 0u);
  EXPECT_EQ(u32_at(16) | std::uint64_t{u32_at(20)} << 32, owner.process_started);
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
    // The handshake's reply and the next request lie in different ticks.
    os.advance_ms(100);
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
  // After "F|1" was owed: Init, or the query "2", goes through with its own
  // answer, and the host read each request once.
  void NextCallGoesThrough(bool init) {
    if (init)
      EXPECT_EQ(hostlink::Init(os), ORVEKPORT_OK);
    else
      Query("2");
    ExpectEachReadOnce({"F|1\n", init ? "F|0\n" : "F|2\n"});
  }

  std::function<void(const platform::fake::PostedMessage&)> on_post =
      os.on_post;
  std::size_t posts_heard = 0;
};

// The next exchange (or Init) waits for a late answer and discards it,
// however the answer falls against it: between the calls, within the
// wait, or after it (then 14 and nothing sent, and the next call waits
// again); a host that answers from a timer while it takes its messages is
// no different. A call never posts while an earlier post is unanswered.
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
  for (bool pumps : {false, true}) {
    host.pumps_while_delayed = pumps;
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (pumps ? ", host answering from a timer" : ""));
      host.requests.clear();
      posts_heard = 0;
      os.advance_ms(100);
      std::uint64_t timed_out = TimeOutAnsweredLate(c.late_ms);
      os.advance_ms(c.pause_ms);
      for (int i = 0; i < c.refused; ++i) {
        std::size_t posts = os.posted.size();
        EXPECT_EQ(c.init ? hostlink::Init(os) : Exchange("F", "2"),
                  ORVEKPORT_E_BUSY);
        EXPECT_EQ(os.posted.size(), posts);
        EXPECT_EQ(RequestFile(), "F|1\n") << "nothing may be written either";
      }
      NextCallGoesThrough(c.init);
      EXPECT_EQ(os.posted.back().time_ms, timed_out + c.waited_ms);
      // And the link runs on in step.
      for (const char* text : {"3", "4", "5"}) Query(text);
      EXPECT_EQ(host.requests.size(), 5u);
    }
  }
}

// A host that has answered and gone back to its messages owes nothing,
// although its signal never came (lost) or another client of the host took
// it: the next call, in this process or another, Init included, goes
// through with its own answer, at once when the reply was written in a
// later tick than the request, else after one wait for the signal. A host
// still inside the post keeps it owed.
TEST_F(LateAnswerTest, AHostThatHasMovedOnOwesNothing) {
  auto answers_late = [&] {
    host.pumps_while_delayed = true;
    host.reply_delay_ms = 3500;
  };
  // Another client of the host resets, posts and waits: the late answer's
  // signal is what it gets.
  auto another_client_takes_the_signal = [&] {
    os.advance_ms(600);
    platform::UniqueObject theirs(os, os.create_event(kEvent));
    ASSERT_EQ(os.wait(theirs.get(), 0), platform::kWaitObject0);
  };
  struct {
    const char* name;
    std::function<void()> fault;        // before the exchange that times out
    std::function<void()> meanwhile;    // after it
    bool new_process, init;
    std::uint64_t waited_ms;            // from the time-out to the next post
  } cases[] = {
      {"signal lost", [&] { host.signal = false; }, [] {}, false, false, 3000},
      {"signal lost, then Init in another process",
       [&] { host.signal = false; }, [] {}, true, true, 3000},
      {"signal lost, reply a tick after the request",
       [&] {
         host.signal = false;
         host.pumps_while_delayed = true;
         host.reply_delay_ms = 1;
       },
       [] {}, false, false, 0},
      {"late signal taken by another client", answers_late,
       another_client_takes_the_signal, false, false, 600},
      {"the same, then Init in another process", answers_late,
       another_client_takes_the_signal, true, true, 600},
      // Where no record can be had, another process asks the packet files
      // and the host: a post it dropped is given up after one wait.
      {"post dropped, no record to be had, Init in another process",
       [&] {
         os.hold_file(RecordPath());
         host.signal = host.write_reply = false;
       },
       [] {}, true, true, 3000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    host.requests.clear();
    posts_heard = 0;
    host.signal = host.write_reply = true;
    host.pumps_while_delayed = false;
    host.reply_delay_ms = 0;
    os.release_file(RecordPath());
    os.advance_ms(100);
    c.fault();
    EXPECT_EQ(Exchange("F", "1"), ORVEKPORT_E_TIMEOUT);
    std::uint64_t timed_out = os.now_ms();
    host.signal = host.write_reply = true;
    host.reply_delay_ms = 0;
    c.meanwhile();
    if (c.new_process) NewProcess();
    NextCallGoesThrough(c.init);
    EXPECT_EQ(os.posted.back().time_ms, timed_out + c.waited_ms);
    Query("3");
  }
}

// A post whose answer never comes (no reply written, no signal) keeps the
// link refused (14, within a bounded wait) for as long as its window lives;
// once that window is gone, or its number belongs to another process's
// window, the link is given back at once, to an exchange or to Init with
// the new window.
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
    host.signal = host.write_reply = false;
    os.advance_ms(100);
    TimeOutAnsweredLate(0);
    host.signal = host.write_reply = true;
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
      EXPECT_EQ(os.calls_of(Op::PostMessage).back().time_ms, started)
          << "no wait for a gone window";
    } else if (hostlink::HostWindow == host.window) {
      Query("3");
      EXPECT_EQ(os.calls_of(Op::PostMessage).back().time_ms, started);
    } else {
      // The stale window's post fails: no host heard it.
      EXPECT_EQ(Exchange("F", "3"), ORVEKPORT_E_TIMEOUT);
    }
    hostlink::HostWindow = host.window;
    os.on_shell_open = nullptr;
    hostlink::Init(os);
  }
}

// A process that dies holding the lock while it waits leaves its post owed
// to whichever process comes next, which takes the abandoned lock over.
// (One that exits after a time-out: ARecordRemovedOrCutShortFromOutside.)
TEST_F(LateAnswerTest, AnOwedAnswerOutlivesAProcessThatDiedWaiting) {
  os.advance_ms(100);
  // The post is made; the process dies before the answer, 2 s on.
  host.reply_delay_ms = 2000;
  os.on_post = [this](const platform::fake::PostedMessage& message) {
    on_post(message);
    os.at(os.now_ms(), [this] {
      os.abandon_mutex(kLock);
      throw std::runtime_error("died");
    });
  };
  EXPECT_THROW(Exchange("F", "1"), std::runtime_error);
  os.on_post = on_post;
  host.reply_delay_ms = 0;
  // What the dead process held is let go by the system.
  while (os.mutex_owned(kLock) > 0)
    os.release_mutex(hostlink::ExchangeLock.load());
  NewProcess();
  posts_heard = 1;
  ASSERT_EQ(hostlink::Init(os), ORVEKPORT_OK);
  ExpectEachReadOnce({"F|1\n", "F|0\n"});
  Query("2");
}

// A record that can't be read back while this process's own post is owed
// (another program holds it): the post is settled as the record would have
// it, its late answer awaited, though the packet files could not tell (the
// request shares its tick with the reply before it).
TEST_F(LateAnswerTest, OwnPostOwedWhenTheRecordCantBeRead) {
  host.pumps_while_delayed = true;
  Query("0");
  std::uint64_t timed_out = TimeOutAnsweredLate(2000);
  os.hold_file(RecordPath());
  Query("2");
  EXPECT_EQ(os.posted.back().time_ms, timed_out + 2000);
  ExpectEachReadOnce({"F|0\n", "F|1\n", "F|2\n"});
}

// The record is read at its path by every call: one removed or cut short
// from outside while a post is owed (during its wait, or between the
// calls) is no reason for two processes to disagree, and nothing is
// posted while a stalled host still owes.
TEST_F(LateAnswerTest, ARecordRemovedOrCutShortFromOutside) {
  for (bool remove : {true, false}) {
    for (bool during_wait : {true, false}) {
      SCOPED_TRACE(std::string(remove ? "removed" : "cut short") +
                   (during_wait ? " during the wait" : " between the calls"));
      host.requests.clear();
      posts_heard = 0;
      os.advance_ms(100);
      auto outside = [&, remove] {
        if (remove)
          os.remove_file(RecordPath());
        else
          os.truncate_file(RecordPath(), 3);
      };
      if (during_wait) os.at(os.now_ms() + 1500, outside);
      TimeOutAnsweredLate(4000);  // a host stalled inside the post
      EXPECT_EQ(os.file(RecordPath()).value_or("").substr(0, 4),
                std::string("\x01\0\0\0", 4))
          << "owed again at the path after the wait";
      if (!during_wait) outside();
      NewProcess();
      std::uint64_t started = os.now_ms();
      EXPECT_EQ(hostlink::Init(os), ORVEKPORT_E_BUSY);
      EXPECT_GE(os.now_ms() - started, 3000u);
      ASSERT_EQ(hostlink::Init(os), ORVEKPORT_OK);
      Query("2");
      ExpectEachReadOnce({"F|1\n", "F|0\n", "F|2\n"});
      EXPECT_EQ(testing::LeakedHandles(os), 0u);
    }
  }
}

}  // namespace
}  // namespace orvek
