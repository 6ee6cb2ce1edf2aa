// The record of a post the host has not answered (OrvekPORT.link beside the
// packet files), end to end: a record that can't be had is never "busy",
// none is made where no host heard a post and such a post holds nothing,
// one removed or cut short from outside mid-run is neither a crash nor a
// wrong answer, and a host that has answered and moved on owes nothing,
// however its signal was lost. The emulator's faults play the host; other
// processes are this program again (see wine_support.h). Both architectures
// on one host: link_integrity_test.cpp.
#include <gmock/gmock.h>

#include <functional>
#include <string>
#include <thread>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/poll.h"
#include "tools/common/win_handle.h"
#include "wine_support.h"

namespace orvek::winetest {
namespace {

using LinkRecordTest = EmulatorTest;

std::wstring record_file(const EmulatorTest& host) {
  return host.path_of(protocol_file(protocol::kLinkFileName));
}

// Whatever is wrong with the record, the packet files work: every call
// returns 0 with its own answer, at once.
TEST_F(LinkRecordTest, ARecordThatCantBeHadIsNeverBusy) {
  start_and_init();
  const std::wstring record = record_file(host());
  tools::FileHandle locked;
  const struct {
    const char* name;
    std::function<void()> make, undo;
  } cases[] = {
      {"a folder of its name",
       [&] {
         DeleteFileW(record.c_str());
         CreateDirectoryW(record.c_str(), nullptr);
       },
       [&] { RemoveDirectoryW(record.c_str()); }},
      {"locked by another program",
       [&] {
         locked = tools::file_handle(
             CreateFileW(record.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
         ASSERT_TRUE(locked);
       },
       [&] { locked.reset(); }},
      {"garbage",
       [&] { tools::write_whole_file(record, std::string(24, '\xFF')); },
       [] {}},
      {"cut short", [&] { tools::write_whole_file(record, "\x01"); }, [] {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.make();
    double started = now_ms();
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(ask(std::string(c.name) + " " + std::to_string(i)), "own");
    EXPECT_EQ(OrvekGPSPort_NewPoint(2.5, 41.5, 0, "REC", "", 0, 0), 0u);
    EXPECT_LT(now_ms() - started, 2000) << "waited for nothing";
    c.undo();
  }
}

// With Path_EXE in a folder that does not exist and a host running, Init
// fails at once with 5: the request file can't be made.
TEST_F(LinkRecordTest, AMissingHostFolderIsNotBusy) {
  ASSERT_TRUE(host().start());
  ASSERT_TRUE(set_host_path(L"C:\\orvek-no-such-folder\\orvek-host.exe"));
  double started = now_ms();
  EXPECT_EQ(OrvekGPSPort_Init(), 5u);
  EXPECT_LT(now_ms() - started, 2000);
}

// Run in a child process, before any Init: a command reaches no host, ends
// in 7 after 3000 ms, and leaves no record at the root where its packet
// files go (the root of the prefix's drive C:).
TEST(LinkClient, DISABLED_CommandBeforeInit) {
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));
  double started = now_ms();
  EXPECT_EQ(OrvekGPSPort_ExecCommand(1), 7u);
  EXPECT_GE(now_ms() - started, 2500);
  EXPECT_EQ(GetFileAttributesW(L"\\OrvekPORT.link"), INVALID_FILE_ATTRIBUTES);
}

// A command before Init waits out its 3000 ms without the lock: this
// process's calls go on meanwhile.
TEST_F(LinkRecordTest, APostNobodyHeardHoldsNothing) {
  start_and_init();
  const wchar_t request[] = L"C:\\PACKETTX.DAT";
  DeleteFileW(request);
  DeleteFileW(L"C:\\OrvekPORT.link");
  tools::StartedProcess early = start_client(L"early", L"CommandBeforeInit");
  auto written = [&] { return tools::read_whole_file(request).has_value(); };
  ASSERT_TRUE(tools::poll_until(written, 10000)) << "no request written";
  double started = now_ms();
  EXPECT_EQ(ask("meanwhile"), "own");
  EXPECT_LT(now_ms() - started, 1500) << "held up by a post nobody heard";
  EXPECT_EQ(finish_client(early, 20000), 0u);
  DeleteFileW(request);
}

// The record removed, or cut short, by another program while the host
// stalls inside a post: during the wait, or after the time-out. Neither
// this process nor the next takes a wrong answer or fails.
TEST_F(LinkRecordTest, ARecordRemovedOrCutShortFromOutsideMidRun) {
  start_and_init();
  const std::wstring record = record_file(host());
  for (bool during_wait : {true, false}) {
    SCOPED_TRACE(during_wait ? "removed during the wait"
                             : "cut short after the time-out");
    std::string asked = during_wait ? "stalled-1" : "stalled-2";
    ASSERT_TRUE(
        host().set_faults("once when=ask\\x20" + asked + " stall 4500\n"));
    auto outside = [&] {
      if (during_wait) {
        Sleep(1500);
        DeleteFileW(record.c_str());
      } else {
        tools::FileHandle file = tools::file_handle(CreateFileW(
            record.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        SetFilePointer(file.get(), 3, nullptr, FILE_BEGIN);
        SetEndOfFile(file.get());
      }
    };
    std::thread removing;
    if (during_wait) removing = std::thread(outside);
    EXPECT_EQ(ask(asked), "status 7");
    if (during_wait)
      removing.join();
    else
      outside();
    EXPECT_EQ(finish_client(start_client(L"after", L"InitsAndAsks"), 30000), 0u)
        << "the next process took a foreign answer or failed";
    EXPECT_EQ(ask("this process again"), "own");
  }
}

// Raw questions in this process around answers that the host gave but
// whose signal it lost, or that another client of the host took: the link
// comes back within a few seconds, in this process and another, and no
// late answer is taken for a call's own.
TEST_F(LinkRecordTest, AHostThatHasMovedOnOwesNothing) {
  start_and_init();
  {
    SCOPED_TRACE("signal lost");
    ASSERT_TRUE(host().set_faults("once when=ask\\x20lost no-signal\n"));
    EXPECT_EQ(ask("lost"), "status 7");
    double started = now_ms();
    EXPECT_EQ(finish_client(start_client(L"next", L"InitsAndAsks"), 30000), 0u);
    EXPECT_LT(now_ms() - started, 15000);
    started = now_ms();
    EXPECT_EQ(ask("after the lost signal"), "own");
    EXPECT_LT(now_ms() - started, 1000);
  }
  {
    SCOPED_TRACE("a late signal taken by another client");
    ASSERT_TRUE(host().set_faults("once when=ask\\x20late delay 3500\n"));
    std::size_t mark = host().log_mark();
    EXPECT_EQ(ask("late"), "status 7");
    // Another client speaks the protocol itself: its request, its post, and
    // the first signal that comes, which is the late answer's.
    ASSERT_TRUE(tools::write_whole_file(
        host().path_of(protocol_file(protocol::kRequestFileName)),
        "ask theirs\n"));
    tools::ObjectHandle event = tools::object_handle(CreateEventW(
        nullptr, FALSE, FALSE, tools::as_wide(protocol::kReplyEventName)));
    ResetEvent(event.get());
    ASSERT_TRUE(PostMessageW(find_emulator_window(), protocol::WM_PORT_REQUEST,
                             protocol::PORT_WPARAM_PACKET, 0));
    EXPECT_EQ(WaitForSingleObject(event.get(), 5000), WAIT_OBJECT_0);
    ASSERT_TRUE(host().wait_for_log(mark, recv("ask theirs"), 5000));
    double started = now_ms();
    EXPECT_EQ(ask("after the taken signal"), "own");
    EXPECT_LT(now_ms() - started, 4000);
    EXPECT_EQ(ask("and on"), "own");
  }
}

}  // namespace
}  // namespace orvek::winetest
