#include "wine_support.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstdio>

#include "OrvekPORT/OrvekPORT.h"
#include "protocol/host_protocol.h"
#include "tools/common/poll.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_process.h"

namespace orvek::winetest {
namespace {

using tools::poll_until;

}  // namespace

std::string query(const char* request, std::uint32_t capacity) {
  // Filled, so that a result without its terminator shows.
  std::string result(1000, '#');
  std::uint32_t status =
      OrvekGPSPort_GetString(request, capacity, result.data());
  return status == 0 ? result.c_str() : "status " + std::to_string(status);
}

// ---- Fixture ---------------------------------------------------------------

// A test that hangs (in a modal box, say) ends the program after 30 s,
// naming itself, instead of stalling the whole suite; the slowest one, a
// launch that polls 10 s plus a handshake, stays well below it.
static VOID CALLBACK time_out(void*, BOOLEAN) {
  std::fprintf(stderr, "\nTIME-OUT: %s ran over 30 s\n",
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::fflush(stderr);
  stop_all_emulators(1000);
  TerminateProcess(GetCurrentProcess(), 4);
}

// A crash ends the program at once, naming the exception, instead of
// waiting in a debugger.
LONG WINAPI report_crash(EXCEPTION_POINTERS* info) {
  std::fprintf(stderr, "\nCRASH: exception 0x%08lX at %p\n",
               static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
               info->ExceptionRecord->ExceptionAddress);
  std::fflush(stderr);
  stop_all_emulators(1000);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

std::string ask(const std::string& text) {
  std::wstring request = L"ask " + std::wstring(text.begin(), text.end());
  wchar_t result[64] = {};
  std::uint32_t status =
      OrvekGPSPort_StringProtocolW(request.c_str(), 64, result);
  if (status != 0) return "status " + std::to_string(status);
  std::wstring answer(result);
  return answer == L"R|" + request ? "own" : to_ansi(answer);
}

tools::StartedProcess start_client(const wchar_t* role, const wchar_t* test,
                                   const std::wstring& exe) {
  SetEnvironmentVariableW(L"ORVEK_LINK_CLIENT", role);
  wchar_t own[MAX_PATH];
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  tools::StartedProcess client = tools::start_process(
      exe.empty() ? std::wstring(own) : exe,
      L"--gtest_also_run_disabled_tests --gtest_filter=LinkClient.DISABLED_" +
          std::wstring(test),
      nullptr);
  SetEnvironmentVariableW(L"ORVEK_LINK_CLIENT", nullptr);
  return client;
}

DWORD finish_client(const tools::StartedProcess& client, DWORD timeout_ms) {
  DWORD code = 99;
  if (client && WaitForSingleObject(client.process.get(), timeout_ms) ==
                    WAIT_OBJECT_0)
    GetExitCodeProcess(client.process.get(), &code);
  return code;
}

void EmulatorTest::SetUp() {
  CreateTimerQueueTimer(&watchdog_, nullptr, time_out, nullptr, 30'000, 0,
                        WT_EXECUTEONLYONCE);
  ASSERT_TRUE(stop_all_emulators()) << "an emulator is still running";
  // The test's name alone keeps the path short; tests run one at a time
  // and each empties its directory first.
  directory_ = install_emulator(
      ::testing::UnitTest::GetInstance()->current_test_info()->name());
  ASSERT_FALSE(directory_.empty()) << "the emulator could not be installed";
}

void EmulatorTest::TearDown() {
  EXPECT_TRUE(stop_all_emulators()) << "an emulator could not be stopped";
  DeleteTimerQueueTimer(nullptr, watchdog_, INVALID_HANDLE_VALUE);
}

bool EmulatorTest::start(DWORD timeout_ms) {
  return static_cast<bool>(start_emulator(directory_, timeout_ms));
}

std::vector<std::string> EmulatorTest::log_lines_since(std::size_t mark) const {
  std::vector<std::string> lines;
  std::string text =
      read_file(tools::widen(CP_UTF8, host::kLogFileName)).value_or("");
  std::string_view rest = text;
  // Only whole lines: one still being written has no line feed yet.
  for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos;
       rest.remove_prefix(end + 1)) {
    if (mark > 0) {
      --mark;
      continue;
    }
    std::optional<host::LogLine> line = host::read_log_line(rest.substr(0, end));
    lines.emplace_back(line ? line->untimed : std::string_view());
  }
  return lines;
}

int EmulatorTest::count_log_since(std::size_t mark,
                                  std::string_view prefix) const {
  std::vector<std::string> lines = log_lines_since(mark);
  return static_cast<int>(std::count_if(
      lines.begin(), lines.end(),
      [&](const std::string& line) { return line.starts_with(prefix); }));
}

bool EmulatorTest::wait_for_log(std::size_t mark, std::string_view prefix,
                                DWORD timeout_ms) const {
  return poll_until([&] { return count_log_since(mark, prefix) > 0; },
                    timeout_ms);
}

void EmulatorTest::start_and_init() {
  ASSERT_TRUE(host().start());
  ASSERT_EQ(OrvekGPSPort_Init(), 0u);
}

void EmulatorTest::run_exchanges(const std::vector<Exchange>& exchanges) {
  for (const Exchange& exchange : exchanges) {
    SCOPED_TRACE(exchange.name);
    std::size_t mark = host().log_mark();
    EXPECT_EQ(exchange.call(), exchange.status);
    if (exchange.log.empty()) {
      EXPECT_EQ(host().count_log_since(mark, "recv"), 0) << "sent all the same";
    } else {
      EXPECT_THAT(host().log_lines_since(mark),
                  ::testing::IsSupersetOf(exchange.log));
    }
  }
}

}  // namespace orvek::winetest

int main(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(orvek::winetest::report_crash);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
