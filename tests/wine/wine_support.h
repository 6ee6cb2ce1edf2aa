// Support for the integration tests that run under Wine: the real
// OrvekPORT.dll against the host emulator (tools/orvek-host), with the real
// registry, windows, files and named event.
//
// The usual shape of a test:
//
//   class MapTest : public orvek::winetest::EmulatorTest {};
//   TEST_F(MapTest, CentresOnACoordinate) {
//     ASSERT_TRUE(host().start());                  // or let Init launch it
//     ASSERT_EQ(OrvekGPSPort_Init(), 0u);
//     std::size_t mark = host().log_mark();
//     EXPECT_EQ(OrvekGPSPort_CenterCoordinate(2.1, 41.5, 0), 0u);
//     EXPECT_THAT(host().log_lines_since(mark),
//                 Contains("recv O|2.100000,41.500000,0.000000\\n"));
//   }
//
// The emulator's log is the witness of what crossed the link. log_lines()
// give its lines without their time stamp, e.g. "recv F|0\n" (the request
// bytes escaped as in the log: backslash n for a line feed), "send G|0",
// "signal"; see tools/orvek-host/README.md for every event.
//
// The DLL keeps its link state (host window, host directory, reply event)
// for the whole test process: a test that needs a fresh link calls
// OrvekGPSPort_Init first. Every test ends with no emulator running.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvek::winetest {

// ---- Where things are ----------------------------------------------------

// The directory of the running test executable, without a trailing
// backslash (under Wine a Z:\ path into the build tree).
std::wstring test_binary_dir();

// The built emulator, copied beside the test executable by the build.
std::wstring emulator_build_path();

// ---- The registry entry the library reads ----------------------------------

// Sets HKLM\SOFTWARE\OrvekGPS\General\Path_EXE (REG_SZ); true on success.
bool set_host_path(const std::wstring& exe_path);
// Deletes the value (the key stays); true when the value is gone afterwards.
bool delete_host_path();

// ---- Emulator processes, whoever started them ----------------------------

// The emulator's window (class ORVEKPOCKETMAINW), or null.
HWND find_emulator_window();
// How many top-level windows of that class exist.
int count_emulator_windows();
// Waits until a window of the class exists; false after `timeout_ms`.
bool wait_for_emulator_window(DWORD timeout_ms);
// Ends every emulator: WM_CLOSE to each window and a wait, then
// TerminateProcess for any orvek-host.exe still running (windowless ones
// too). True when none is left.
bool stop_all_emulators(DWORD timeout_ms = 5000);

// ---- Text ------------------------------------------------------------------

// Bytes as the emulator's log writes them: "F|0\n" becomes F|0\n with a
// backslash and an n (tools/orvek-host/byte_text.h).
std::string log_escape(std::string_view bytes);

// UTF-16 to the ANSI code page and back, as the DLL converts raw requests.
std::string to_ansi(const std::wstring& text);
std::wstring from_ansi(std::string_view bytes);

// Milliseconds since an arbitrary start; for loose timing checks.
double now_ms();

// ---- One installed emulator ------------------------------------------------

// A fresh directory with a copy of the emulator in it: the host directory of
// one test. Its path is short enough for Path_EXE (at most 99 characters).
class HostInstall {
 public:
  // `<test dir>\run\<name>`, emptied first (or a directory under %TEMP% when
  // the build tree lies too deep for Path_EXE). Check ok() afterwards.
  explicit HostInstall(std::string_view name);
  // Stops every emulator.
  ~HostInstall();
  HostInstall(const HostInstall&) = delete;
  HostInstall& operator=(const HostInstall&) = delete;

  bool ok() const { return ok_; }
  const std::wstring& directory() const { return directory_; }
  std::wstring exe_path() const;  // <directory>\orvek-host.exe
  std::wstring path_of(std::wstring_view file_name) const;

  // Path_EXE = exe_path().
  bool register_path() const;

  // Starts the emulator directly (CreateProcessW, no shell) and waits for
  // its window; false when it does not show within `timeout_ms`.
  bool start(DWORD timeout_ms = 10000);
  // stop_all_emulators().
  bool stop(DWORD timeout_ms = 5000);

  // The fault file, re-read by the emulator before each request (syntax in
  // tools/orvek-host/faults.h), e.g. "once no-signal\n".
  bool set_faults(std::string_view text) const;
  bool clear_faults() const;
  // The mobile seed file, read when the emulator starts: lines of
  // "latitude,longitude,altitude,name,description".
  bool seed_mobiles(std::string_view text) const;

  // The emulator's log, each line without its time stamp.
  std::vector<std::string> log_lines() const;
  // The number of log lines now: pass it to the *_since calls.
  std::size_t log_mark() const { return log_lines().size(); }
  std::vector<std::string> log_lines_since(std::size_t mark) const;
  // How many lines since `mark` begin with `prefix`.
  int count_log_since(std::size_t mark, std::string_view prefix) const;
  // Waits until a line since `mark` begins with `prefix`; false after
  // `timeout_ms`.
  bool wait_for_log(std::size_t mark, std::string_view prefix,
                    DWORD timeout_ms) const;

  // A file of the host directory, byte for byte (e.g. L"PACKETTX.DAT").
  std::optional<std::string> read_file(std::wstring_view file_name) const;
  bool write_file(std::wstring_view file_name, std::string_view bytes) const;

 private:
  std::wstring directory_;
  bool ok_ = false;
};

// ---- Fixture ----------------------------------------------------------------

// Each test gets a HostInstall named after it (the test's name without its
// suite), with Path_EXE pointing at its
// emulator and no emulator running; at its end every emulator is stopped.
// Nothing is started: a test calls host().start() or lets discovery launch it.
class EmulatorTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  HostInstall& host() { return *host_; }
  // A fresh link to an emulator started directly, not through the shell.
  void start_and_init();

 private:
  std::unique_ptr<HostInstall> host_;
};

}  // namespace orvek::winetest
