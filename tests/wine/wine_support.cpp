#include "wine_support.h"

#include <gmock/gmock.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>

#include "OrvekPORT/OrvekPORT.h"
#include "protocol/host_protocol.h"
#include "tools/common/poll.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_process.h"

namespace orvek::winetest {
namespace {

using tools::as_wide;
using tools::poll_until;

constexpr wchar_t kEmulatorExe[] = L"orvek-host.exe";

// Every running orvek-host.exe, by process id.
std::vector<DWORD> emulator_process_ids() {
  std::vector<DWORD> ids;
  tools::FileHandle snapshot =
      tools::file_handle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry))
    if (_wcsicmp(entry.szExeFile, kEmulatorExe) == 0)
      ids.push_back(entry.th32ProcessID);
  return ids;
}

// A directory for `name` whose emulator path fits Path_EXE, made and
// emptied of what an emulator leaves.
std::wstring fresh_install_directory(std::string_view name) {
  wchar_t temp[MAX_PATH];
  std::wstring base(temp, GetTempPathW(MAX_PATH, temp));
  base += L"orvek-wine";
  std::size_t room =
      ORVEKPORT_HOST_PATH_MAX - base.size() - std::size(kEmulatorExe) - 1;
  std::wstring directory =
      base + L"\\" + tools::widen(CP_ACP, name.substr(0, room));
  CreateDirectoryW(base.c_str(), nullptr);
  CreateDirectoryW(directory.c_str(), nullptr);
  for (const std::wstring& file :
       {std::wstring(L"orvek-host.log"), std::wstring(L"orvek-host.faults"),
        std::wstring(L"orvek-host.mobiles"),
        protocol_file(protocol::kRequestFileName),
        protocol_file(protocol::kReplyFileName),
        protocol_file(protocol::kLinkFileName)})
    DeleteFileW((directory + L"\\" + file).c_str());
  return directory;
}

}  // namespace

std::wstring test_binary_dir() {
  wchar_t path[MAX_PATH * 2];
  std::wstring directory(path, GetModuleFileNameW(nullptr, path, MAX_PATH * 2));
  return directory.substr(0, directory.find_last_of(L'\\'));
}

bool set_host_path(const std::wstring& exe_path) {
  return RegSetKeyValueW(
             HKEY_LOCAL_MACHINE, as_wide(protocol::kHostRegistryKey),
             as_wide(protocol::kHostPathValue), REG_SZ, exe_path.c_str(),
             static_cast<DWORD>((exe_path.size() + 1) * sizeof(wchar_t))) ==
         ERROR_SUCCESS;
}

bool delete_host_path() {
  LONG result = RegDeleteKeyValueW(HKEY_LOCAL_MACHINE,
                                   as_wide(protocol::kHostRegistryKey),
                                   as_wide(protocol::kHostPathValue));
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

HWND find_emulator_window() {
  return FindWindowW(as_wide(protocol::kHostWindowClass), nullptr);
}

bool stop_all_emulators(DWORD timeout_ms) {
  for (DWORD id : emulator_process_ids()) {
    tools::ObjectHandle process = tools::object_handle(
        OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (process && TerminateProcess(process.get(), 99))
      WaitForSingleObject(process.get(), timeout_ms);
  }
  return poll_until(
      [] { return !find_emulator_window() && emulator_process_ids().empty(); },
      timeout_ms);
}

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

void EmulatorTest::SetUp() {
  CreateTimerQueueTimer(&watchdog_, nullptr, time_out, nullptr, 30'000, 0,
                        WT_EXECUTEONLYONCE);
  ASSERT_TRUE(stop_all_emulators()) << "an emulator is still running";
  // The test's name alone keeps the path short; tests run one at a time
  // and each empties its directory first.
  directory_ = fresh_install_directory(
      ::testing::UnitTest::GetInstance()->current_test_info()->name());
  ASSERT_TRUE(CopyFileW((test_binary_dir() + L"\\" + kEmulatorExe).c_str(),
                        path_of(kEmulatorExe).c_str(), FALSE));
  ASSERT_TRUE(set_host_path(path_of(kEmulatorExe)));
}

void EmulatorTest::TearDown() {
  EXPECT_TRUE(stop_all_emulators()) << "an emulator could not be stopped";
  DeleteTimerQueueTimer(nullptr, watchdog_, INVALID_HANDLE_VALUE);
}

bool EmulatorTest::start(DWORD timeout_ms) {
  return tools::start_process(path_of(kEmulatorExe), L"", directory_.c_str()) &&
         poll_until([] { return find_emulator_window() != nullptr; },
                    timeout_ms);
}

std::vector<std::string> EmulatorTest::log_lines_since(std::size_t mark) const {
  std::vector<std::string> lines;
  std::string text = read_file(L"orvek-host.log").value_or("");
  std::string_view rest = text;
  // Only whole lines: one still being written has no line feed yet.
  for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos;
       rest.remove_prefix(end + 1)) {
    std::string_view line = rest.substr(0, end);
    if (mark > 0) {
      --mark;
      continue;
    }
    // After the "hh:mm:ss.mmm " stamp.
    lines.emplace_back(line.substr(std::min(line.find(' ') + 1, line.size())));
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
