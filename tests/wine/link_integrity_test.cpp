// What the link guarantees beyond one caller's normal sequence, end to end:
// a busy host reads no request twice, two processes calling at once (of
// both architectures where both are built) lose and mix nothing, and
// callers of Init that come together start one host. (A lock whose owner
// died: the platform contract and the native exchange tests.) The
// emulator's log is the witness of what the host received. The other
// processes are this program again, running one of the disabled LinkClient
// tests with ORVEK_LINK_CLIENT set.
#include <gmock/gmock.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_process.h"
#include "wine_support.h"

namespace orvek::winetest {
namespace {

using LinkIntegrityTest = EmulatorTest;

// How many of the log's `lines` received a fix naming `name`.
int fixes_named(const std::vector<std::string>& lines,
                const std::string& name) {
  return static_cast<int>(std::count_if(
      lines.begin(), lines.end(), [&](const std::string& line) {
        return line.starts_with("recv E|") &&
               line.find("," + name + ",") != std::string::npos;
      }));
}

// A host that is busy past the wait, like one on a slow device: it reads
// the first fix, then blocks 7.5 s before answering, and every message
// posted meanwhile waits in its queue. Nothing may be sent while it still
// owes that answer, or it would read the request file twice for two queued
// messages, applying one fix twice and losing another.
TEST_F(LinkIntegrityTest, BusyHostReadsEveryRequestOnce) {
  start_and_init();
  std::size_t mark = host().log_mark();
  ASSERT_TRUE(host().set_faults("once when=E| stall 7500\n"));
  auto fix = [](const char* name) {
    return OrvekGPSPort_NewPoint(2.5, 41.5, 0, name, "", 0, 0);
  };
  EXPECT_EQ(fix("FIRST"), 7u);
  EXPECT_EQ(fix("SECOND"), 14u) << "the answer is still owed: nothing sent";
  EXPECT_EQ(fix("THIRD"), 0u);
  EXPECT_EQ(query("fixes"), "2");
  EXPECT_EQ(host().count_log_since(mark, "recv E|"), 2);
  std::vector<std::string> lines = host().log_lines_since(mark);
  EXPECT_EQ(fixes_named(lines, "FIRST"), 1);
  EXPECT_EQ(fixes_named(lines, "THIRD"), 1);
}

// ---- Other processes -------------------------------------------------------

constexpr int kClientRounds = 300;

// Run in a child process (see below): alternates position fixes that name
// this client and round, and raw requests whose echo must be this client's.
TEST(LinkClient, DISABLED_SendsFixesAndRawRequests) {
  wchar_t role[16] = {};
  ASSERT_NE(GetEnvironmentVariableW(L"ORVEK_LINK_CLIENT", role, 16), 0u);
  ASSERT_EQ(OrvekGPSPort_Init(), 0u);
  int mixed = 0, failed = 0;
  for (int round = 0; round < kClientRounds; ++round) {
    std::string name = "C" + to_ansi(role) + "-" + std::to_string(round);
    failed += OrvekGPSPort_NewPoint(2.5, 41.5, 100, name.c_str(), "two", 1,
                                    round) != 0;
    std::string answer = ask(name);
    failed += answer.starts_with("status ");
    mixed += answer != "own" && !answer.starts_with("status ");
  }
  EXPECT_EQ(failed, 0) << "calls that did not return 0";
  EXPECT_EQ(mixed, 0) << "answers that belonged to the other client";
}

// Run in a child process: sets up its link and asks questions that name
// themselves; none may come back with another's answer.
TEST(LinkClient, DISABLED_InitsAndAsks) {
  wchar_t role[16] = {};
  ASSERT_NE(GetEnvironmentVariableW(L"ORVEK_LINK_CLIENT", role, 16), 0u);
  ASSERT_EQ(OrvekGPSPort_Init(), 0u);
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(ask(to_ansi(role) + "-" + std::to_string(i)), "own");
}

// The other architecture's build of this program, where both were built
// side by side (the i686 build's run sets it); empty elsewhere.
std::wstring other_architecture_program() {
  wchar_t path[MAX_PATH] = {};
  DWORD length =
      GetEnvironmentVariableW(L"ORVEK_OTHER_ARCH_TESTS", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH ||
      GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
    return L"";
  return path;
}

// Two client processes at once, one of them of the other architecture where
// that build is at hand (an x86_64 and an i686 process share one record,
// whose layout is the same for both): every fix reaches the host once, and
// no raw request is answered with another's reply.
TEST_F(LinkIntegrityTest, TwoProcessesCallingAtOnceLoseAndMixNothing) {
  start_and_init();
  std::wstring other = other_architecture_program();
  // Each build reads Path_EXE in its own registry view: both name the host.
  std::wstring exe = host().path_of(kEmulatorExe);
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    tools::RegistryKey key;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                        tools::as_wide(protocol::kHostRegistryKey), 0, nullptr,
                        0, KEY_SET_VALUE | view, nullptr, key.put(), nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExW(key.get(), tools::as_wide(protocol::kHostPathValue), 0,
                       REG_SZ, reinterpret_cast<const BYTE*>(exe.c_str()),
                       static_cast<DWORD>((exe.size() + 1) * sizeof(wchar_t))),
        ERROR_SUCCESS);
  }
  std::size_t mark = host().log_mark();
  tools::StartedProcess clients[] = {
      start_client(L"1", L"SendsFixesAndRawRequests"),
      start_client(L"2", L"SendsFixesAndRawRequests", other)};
  for (tools::StartedProcess& client : clients) {
    EXPECT_EQ(finish_client(client, 40000), 0u)
        << "a client saw a failed or mixed call, or did not finish";
    TerminateProcess(client.process.get(), 1);
  }

  // Every fix reached the host exactly once.
  std::vector<std::string> lines = host().log_lines_since(mark);
  for (const char* role : {"C1-", "C2-"})
    for (int round = 0; round < kClientRounds; ++round)
      EXPECT_EQ(fixes_named(lines, role + std::to_string(round)), 1)
          << role << round;
  EXPECT_EQ(query("fixes"), std::to_string(2 * kClientRounds));
}

// Callers of Init that come together, threads and processes, with no host
// running: one starts the host, the others find its window.
TEST_F(LinkIntegrityTest, InitCalledAtOnceStartsOneHost) {
  std::size_t mark = host().log_mark();
  tools::StartedProcess clients[] = {start_client(L"P1", L"InitsAndAsks"),
                                     start_client(L"P2", L"InitsAndAsks")};
  std::uint32_t statuses[3] = {99, 99, 99};
  std::vector<std::thread> threads;
  for (std::uint32_t& status : statuses)
    threads.emplace_back([&status] { status = OrvekGPSPort_Init(); });
  for (std::thread& thread : threads) thread.join();
  for (std::uint32_t status : statuses) EXPECT_EQ(status, 0u);
  for (tools::StartedProcess& client : clients)
    EXPECT_EQ(finish_client(client, 30000), 0u);
  EXPECT_EQ(host().count_log_since(mark, "start"), 1);
  EXPECT_EQ(host().count_log_since(mark, "refused"), 0);
}

}  // namespace
}  // namespace orvek::winetest
