#include "wine_support.h"

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwctype>

#include "OrvekPORT/OrvekPORT.h"
#include "byte_text.h"
#include "hostlink/host_protocol.h"
#include "tools/common/poll.h"
#include "tools/common/win_files.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_process.h"
#include "tools/common/win_text.h"

namespace orvek::winetest {
namespace {

using tools::as_wide;
using tools::Handle;
using tools::poll_until;

constexpr wchar_t kEmulatorExe[] = L"orvek-host.exe";
// Path_EXE is read into 200 bytes: 99 characters and the terminator.
constexpr std::size_t kMaxHostPath = 99;

bool is_emulator_process(const PROCESSENTRY32W& entry) {
  return _wcsicmp(entry.szExeFile, kEmulatorExe) == 0;
}

// Every running orvek-host.exe, by process id.
std::vector<DWORD> emulator_process_ids() {
  std::vector<DWORD> ids;
  Handle snapshot =
      tools::file_handle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry))
    if (is_emulator_process(entry)) ids.push_back(entry.th32ProcessID);
  return ids;
}

void terminate_process(DWORD id, DWORD wait_ms) {
  Handle process = tools::object_handle(
      OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
  if (!process) return;
  TerminateProcess(process.get(), 99);
  WaitForSingleObject(process.get(), wait_ms);
}

// Asks one emulator window to close and waits for its process to end.
void close_window_and_wait(HWND window, DWORD timeout_ms) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  Handle process =
      tools::object_handle(id ? OpenProcess(SYNCHRONIZE, FALSE, id) : nullptr);
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (process)
    WaitForSingleObject(process.get(), timeout_ms);
  else
    poll_until([&] { return !IsWindow(window); }, timeout_ms);
}

// EnumWindows callback (a lambda has the wrong calling convention on i686).
BOOL CALLBACK count_if_emulator(HWND window, LPARAM counter) {
  wchar_t name[64];
  if (GetClassNameW(window, name, 64) &&
      wcscmp(name, as_wide(hostlink::kHostWindowClass)) == 0)
    ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

void delete_directory_files(const std::wstring& directory) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      DeleteFileW((directory + L"\\" + found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

void create_directories(const std::wstring& path) {
  for (std::size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
       slash = path.find(L'\\', slash + 1))
    CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
  CreateDirectoryW(path.c_str(), nullptr);
}

std::wstring safe_name(std::string_view name, std::size_t room) {
  std::wstring out;
  for (char c : name) {
    if (out.size() == room) break;
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                 (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    out += plain ? static_cast<wchar_t>(c) : L'_';
  }
  return out;
}

// A directory for `name` whose emulator path fits Path_EXE.
std::wstring install_directory(std::string_view name) {
  const std::size_t tail = 1 + std::size(kEmulatorExe) - 1;  // "\orvek-host.exe"
  std::wstring base = test_binary_dir() + L"\\run";
  if (base.size() + 1 + 8 + tail > kMaxHostPath) {
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    base = std::wstring(temp, length) + L"orvek-wine";
  }
  std::size_t room = kMaxHostPath - tail - base.size() - 1;
  return base + L"\\" + safe_name(name, std::min<std::size_t>(room, 60));
}

}  // namespace

std::wstring test_binary_dir() {
  wchar_t path[MAX_PATH * 2];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring directory(path, length);
  directory.resize(directory.find_last_of(L'\\'));
  return directory;
}

std::wstring emulator_build_path() {
  return test_binary_dir() + L"\\" + kEmulatorExe;
}

bool set_host_path(const std::wstring& exe_path) {
  tools::RegistryKey key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, as_wide(hostlink::kHostRegistryKey),
                      0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                      nullptr) != ERROR_SUCCESS)
    return false;
  return RegSetValueExW(
             key.get(), as_wide(hostlink::kHostPathValue), 0, REG_SZ,
             reinterpret_cast<const BYTE*>(exe_path.c_str()),
             static_cast<DWORD>((exe_path.size() + 1) * sizeof(wchar_t))) ==
         ERROR_SUCCESS;
}

bool delete_host_path() {
  tools::RegistryKey key;
  LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                              as_wide(hostlink::kHostRegistryKey), 0,
                              KEY_SET_VALUE, key.put());
  if (opened == ERROR_FILE_NOT_FOUND) return true;
  if (opened != ERROR_SUCCESS) return false;
  LONG result = RegDeleteValueW(key.get(), as_wide(hostlink::kHostPathValue));
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

HWND find_emulator_window() {
  return FindWindowW(as_wide(hostlink::kHostWindowClass), nullptr);
}

int count_emulator_windows() {
  int count = 0;
  EnumWindows(count_if_emulator, reinterpret_cast<LPARAM>(&count));
  return count;
}

bool wait_for_emulator_window(DWORD timeout_ms) {
  return poll_until([] { return find_emulator_window() != nullptr; },
                    timeout_ms);
}

bool stop_all_emulators(DWORD timeout_ms) {
  // A handful of rounds: a window closing may reveal another behind it.
  for (int round = 0; round < 8; ++round) {
    HWND window = find_emulator_window();
    if (window == nullptr) break;
    close_window_and_wait(window, timeout_ms);
  }
  for (DWORD id : emulator_process_ids()) terminate_process(id, timeout_ms);
  return find_emulator_window() == nullptr && emulator_process_ids().empty();
}

std::string log_escape(std::string_view bytes) {
  return host::escape_bytes(bytes);
}

std::string to_ansi(const std::wstring& text) {
  return tools::narrow(CP_ACP, text);
}

std::wstring from_ansi(std::string_view bytes) {
  return tools::widen(CP_ACP, bytes);
}

double now_ms() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// ---- HostInstall -------------------------------------------------------------

HostInstall::HostInstall(std::string_view name)
    : directory_(install_directory(name)) {
  stop_all_emulators();
  create_directories(directory_);
  delete_directory_files(directory_);
  ok_ = CopyFileW(emulator_build_path().c_str(), exe_path().c_str(), FALSE) !=
        FALSE;
}

HostInstall::~HostInstall() { stop_all_emulators(); }

std::wstring HostInstall::exe_path() const { return path_of(kEmulatorExe); }

std::wstring HostInstall::path_of(std::wstring_view file_name) const {
  return directory_ + L"\\" + std::wstring(file_name);
}

bool HostInstall::register_path() const { return set_host_path(exe_path()); }

bool HostInstall::start(DWORD timeout_ms) {
  tools::StartedProcess emulator =
      tools::start_process(exe_path(), L"", directory_.c_str());
  if (!emulator) return false;
  // Done when the window shows, or when the emulator ended without one.
  poll_until(
      [&] {
        return find_emulator_window() != nullptr ||
               WaitForSingleObject(emulator.process.get(), 0) == WAIT_OBJECT_0;
      },
      timeout_ms);
  return find_emulator_window() != nullptr;
}

bool HostInstall::stop(DWORD timeout_ms) {
  return stop_all_emulators(timeout_ms);
}

bool HostInstall::set_faults(std::string_view text) const {
  return write_file(L"orvek-host.faults", text);
}

bool HostInstall::clear_faults() const {
  return DeleteFileW(path_of(L"orvek-host.faults").c_str()) ||
         GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool HostInstall::seed_mobiles(std::string_view text) const {
  return write_file(L"orvek-host.mobiles", text);
}

std::vector<std::string> HostInstall::log_lines() const {
  std::vector<std::string> lines;
  std::optional<std::string> text = read_file(L"orvek-host.log");
  if (!text) return lines;
  std::string_view rest = *text;
  // Only whole lines: one still being written has no line feed yet.
  for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos;
       rest.remove_prefix(end + 1)) {
    std::string_view line = rest.substr(0, end);
    std::size_t space = line.find(' ');  // after the "hh:mm:ss.mmm" stamp
    lines.emplace_back(space == std::string_view::npos ? line
                                                       : line.substr(space + 1));
  }
  return lines;
}

std::vector<std::string> HostInstall::log_lines_since(std::size_t mark) const {
  std::vector<std::string> lines = log_lines();
  lines.erase(lines.begin(),
              lines.begin() + static_cast<std::ptrdiff_t>(
                                  std::min(mark, lines.size())));
  return lines;
}

int HostInstall::count_log_since(std::size_t mark,
                                 std::string_view prefix) const {
  int count = 0;
  for (const std::string& line : log_lines_since(mark))
    if (std::string_view(line).substr(0, prefix.size()) == prefix) ++count;
  return count;
}

bool HostInstall::wait_for_log(std::size_t mark, std::string_view prefix,
                               DWORD timeout_ms) const {
  return poll_until([&] { return count_log_since(mark, prefix) > 0; },
                    timeout_ms);
}

std::optional<std::string> HostInstall::read_file(
    std::wstring_view file_name) const {
  return tools::read_whole_file(path_of(file_name));
}

bool HostInstall::write_file(std::wstring_view file_name,
                             std::string_view bytes) const {
  return tools::write_whole_file(path_of(file_name), bytes);
}

// ---- Fixture -----------------------------------------------------------------

void EmulatorTest::start_and_init() {
  ASSERT_TRUE(host().start());
  ASSERT_EQ(OrvekGPSPort_Init(), 0u);
}

void EmulatorTest::SetUp() {
  const ::testing::TestInfo* test =
      ::testing::UnitTest::GetInstance()->current_test_info();
  // The test's name alone keeps the path short; tests run one at a time
  // and each empties its directory first, so a name shared by two suites
  // does no harm.
  host_ = std::make_unique<HostInstall>(test->name());
  ASSERT_TRUE(host_->ok()) << "emulator not copied from "
                           << to_ansi(emulator_build_path());
  ASSERT_TRUE(host_->register_path());
  ASSERT_EQ(find_emulator_window(), nullptr) << "an emulator is still running";
}

void EmulatorTest::TearDown() {
  EXPECT_TRUE(stop_all_emulators()) << "an emulator could not be stopped";
}

// ---- The test program's main ------------------------------------------------

namespace {

// Longest any one test may run before the watchdog ends the program; a
// hang then names its test instead of stopping the whole suite silently.
// The slowest legitimate test, a launch that polls 10 s plus a handshake,
// stays well below it.
constexpr ULONGLONG kTestTimeLimitMs = 30'000;
std::atomic<ULONGLONG> test_deadline{0};
std::atomic<const char*> test_name{""};

void terminate_emulators_now() {
  for (DWORD id : emulator_process_ids()) terminate_process(id, 1000);
}

LONG WINAPI report_crash(EXCEPTION_POINTERS* info) {
  std::fprintf(stderr, "\nCRASH in %s: exception 0x%08lX at %p\n",
               test_name.load(),
               static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
               info->ExceptionRecord->ExceptionAddress);
  std::fflush(stderr);
  terminate_emulators_now();
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI watchdog(void*) {
  for (;;) {
    Sleep(250);
    ULONGLONG deadline = test_deadline.load();
    if (deadline != 0 && GetTickCount64() > deadline) {
      std::fprintf(stderr, "\nTIME-OUT: %s ran longer than %llu s\n",
                   test_name.load(), kTestTimeLimitMs / 1000);
      std::fflush(stderr);
      terminate_emulators_now();
      TerminateProcess(GetCurrentProcess(), 4);
    }
  }
}

class DeadlineListener : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& test) override {
    name_ = std::string(test.test_suite_name()) + "." + test.name();
    test_name = name_.c_str();
    test_deadline = GetTickCount64() + kTestTimeLimitMs;
  }
  void OnTestEnd(const ::testing::TestInfo&) override { test_deadline = 0; }
  std::string name_;
};

}  // namespace

}  // namespace orvek::winetest

int main(int argc, char** argv) {
  using namespace orvek::winetest;
  // A crash fails the run at once instead of waiting in a debugger or box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(report_crash);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new DeadlineListener);
  // The watchdog runs to the end of the process; its handle isn't needed.
  orvek::tools::Handle watchdog_thread = orvek::tools::object_handle(
      CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr));

  // A client child of a two-process test uses its parent's emulator.
  bool client_child = GetEnvironmentVariableW(L"ORVEK_LINK_CLIENT", nullptr, 0) != 0;
  if (!client_child) stop_all_emulators();  // left over from an interrupted run
  int result = RUN_ALL_TESTS();
  if (!client_child && !stop_all_emulators()) {
    std::fprintf(stderr, "an emulator could not be stopped\n");
    result = result ? result : 5;
  }
  return result;
}
