// Support for the integration tests that run under Wine: the real
// OrvekPORT.dll against the host emulator (tools/orvek-host), with the real
// registry, windows, files and named event.
//
//   using MapTest = orvek::winetest::EmulatorTest;
//   TEST_F(MapTest, CentresOnACoordinate) {
//     start_and_init();                             // or let Init launch it
//     std::size_t mark = host().log_mark();
//     EXPECT_EQ(OrvekGPSPort_CenterCoordinate(2.1, 41.5, 0), 0u);
//     EXPECT_THAT(host().log_lines_since(mark),
//                 Contains(recv("O|2.100000,41.500000,0.000000")));
//   }
//
// The emulator's log is the witness of what crossed the link: its lines
// without their time stamp, e.g. "recv F|0\n" (request bytes escaped as in
// the log), "send G|0", "signal"; see tools/orvek-host/README.md.
//
// The DLL keeps its link state (host window, host directory, reply event)
// for the whole test process: a test that needs a fresh link calls
// OrvekGPSPort_Init first. Every test ends with no emulator running.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_text.h"
#include "emulator_setup.h"
#include "protocol/host_protocol.h"
#include "tools/common/host_log_format.h"
#include "tools/common/win_files.h"
#include "tools/common/win_text.h"

namespace orvek::winetest {


// Bytes as the emulator's log writes them ("F|0\n" with a backslash and n).
inline std::string log_escape(std::string_view bytes) {
  return host::escape_bytes(bytes);
}
// The log line of a request line received (its line feed added).
inline std::string recv(std::string_view line) {
  return std::string(host::log_event::kRecv) + " " +
         log_escape(std::string(line) + "\n");
}
// UTF-16 in the ANSI code page, as the DLL converts raw requests.
inline std::string to_ansi(std::wstring_view text) {
  return tools::narrow(CP_ACP, text);
}
// A query through the DLL: the result text, or "status N" when it fails.
std::string query(const char* request, std::uint32_t capacity = 1000);
// The raw request "ask <text>", which the emulator echoes behind "R|":
// "own" for its own echo, "status N" for a failed call, else what came.
std::string ask(const std::string& text);

// This test program again, as another client of the host: it runs the
// disabled test LinkClient.DISABLED_<test> with ORVEK_LINK_CLIENT=<role>.
// `exe`: another build of this program (the other architecture's), else
// this one.
tools::StartedProcess start_client(const wchar_t* role, const wchar_t* test,
                                   const std::wstring& exe = L"");
// The exit code of a client run to its end within `timeout_ms`, else 99.
DWORD finish_client(const tools::StartedProcess& client, DWORD timeout_ms);

// Milliseconds since an arbitrary start, for loose timing checks.
inline double now_ms() { return static_cast<double>(GetTickCount64()); }

// One call through the DLL, the status it must return and lines the
// emulator's log must show after it; no lines: nothing may be received.
struct Exchange {
  const char* name;
  std::function<std::uint32_t()> call;
  std::uint32_t status;
  std::vector<std::string> log;
};

// Each test gets a fresh host directory named after it with a copy of the
// emulator, %TEMP%\orvek-wine\<name> (Path_EXE holds at most
// ORVEKPORT_HOST_PATH_MAX characters), Path_EXE pointing at it and no
// emulator running; at its end every emulator is stopped. Tests reach the
// directory through host().
class EmulatorTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  EmulatorTest& host() { return *this; }
  // A fresh link to an emulator started directly, not through the shell.
  void start_and_init();
  void run_exchanges(const std::vector<Exchange>& exchanges);

 public:
  const std::wstring& directory() const { return directory_; }
  std::wstring path_of(std::wstring_view file) const {
    return directory_ + L"\\" + std::wstring(file);
  }

  // Starts the emulator directly (no shell) and waits for its window.
  bool start(DWORD timeout_ms = 10000);
  bool stop() { return stop_all_emulators(); }

  // The fault file, re-read by the emulator before each request (syntax in
  // tools/orvek-host/faults.h), e.g. "once no-signal\n".
  bool set_faults(std::string_view text) const {
    return tools::write_whole_file(
        path_of(tools::widen(CP_UTF8, host::kFaultFileName)), text);
  }
  // Mobiles read when the emulator starts: lines of
  // "latitude,longitude,altitude,name,description".
  bool seed_mobiles(std::string_view text) const {
    return tools::write_whole_file(
        path_of(tools::widen(CP_UTF8, host::kMobileSeedFileName)), text);
  }
  // A file of the host directory, byte for byte (e.g. L"PACKETTX.DAT").
  std::optional<std::string> read_file(std::wstring_view file) const {
    return tools::read_whole_file(path_of(file));
  }

  // The emulator's log lines since `mark` (a log_mark()) without stamps.
  std::vector<std::string> log_lines_since(std::size_t mark) const;
  std::vector<std::string> log_lines() const { return log_lines_since(0); }
  std::size_t log_mark() const { return log_lines().size(); }
  // How many lines since `mark` begin with `prefix`.
  int count_log_since(std::size_t mark, std::string_view prefix) const;
  // Waits until a line since `mark` begins with `prefix`.
  bool wait_for_log(std::size_t mark, std::string_view prefix,
                    DWORD timeout_ms) const;

 private:
  std::wstring directory_;
  HANDLE watchdog_ = nullptr;
};

}  // namespace orvek::winetest
