// Tests of orvekport.exe under Wine: whole runs of the program against the
// host emulator, whose log is the witness of what the client sent, grouped
// by what a user relies on (the exit-code table, the JSON shape, UTF-8 in
// and out, the refusals), and what only the real system can tell. Its
// rules are tested natively against fakes (client_test.cpp).
#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "tools/common/win_process.h"
#include "wine_support.h"

namespace orvek::winetest {
namespace {

using nlohmann::json;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// ---- Whole runs of orvekport.exe --------------------------------------------

class ClientRunTest : public EmulatorTest {
 protected:
  tools::ProcessRun run(const std::wstring& arguments,
                        const wchar_t* exe = L"orvekport.exe") {
    tools::ProcessRun result = tools::run_process(
        test_binary_dir() + L"\\" + exe, arguments, host().directory(), 20000);
    EXPECT_TRUE(result.started && result.finished)
        << to_ansi(arguments) << " did not run to its end";
    return result;
  }
};

// What only the real system tells: an export the host answered but did not
// write, and a text that reads back as UTF-8 rather than the code page;
// the registry value the DLL reads, deleted. The client's own rules and
// reports are pinned natively.
TEST_F(ClientRunTest, WhatTheRealSystemTellsIsSaid) {
  ASSERT_TRUE(host().set_faults(
      "when=J|ghost.png reply A|\\n\n"
      "when=F|77 reply G|Caf\\xC3\\xA9\n"));
  tools::ProcessRun ghost = run(L"export-view ghost.png");
  EXPECT_EQ(ghost.exit_code, 0u);
  EXPECT_THAT(ghost.err, HasSubstr("ghost.png' did not appear"));
  if (GetACP() != CP_UTF8) {
    EXPECT_THAT(run(L"query 77").err, HasSubstr("reads as UTF-8"));
  }
  ASSERT_TRUE(host().stop());
  ASSERT_TRUE(delete_host_path());
  tools::ProcessRun unset = run(L"waypoint delete WP2");
  EXPECT_EQ(unset.exit_code, 4u);
  EXPECT_THAT(unset.err, HasSubstr("SOFTWARE\\OrvekGPS\\General"));
}

// A real run's JSON: the picture's full path, where the host put it.
TEST_F(ClientRunTest, ExportViewGivesThePicturesFullPath) {
  json exported = json::parse(run(L"--json export-view v.png").out, nullptr, false);
  ASSERT_TRUE(exported.is_object());
  std::string file = exported["fields"]["file"];
  EXPECT_THAT(file, ::testing::EndsWith("\\v.png"));
  EXPECT_NE(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << file;
  EXPECT_TRUE(exported["notes"].empty()) << exported["notes"];
}

TEST_F(ClientRunTest, TextsAreUtf8OutsideAndTheCodePageOnTheLink) {
  tools::ProcessRun result =
      run(L"waypoint add WP1 Caf\u00E9 2 41 0 flag");
  ASSERT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_THAT(host().log_lines(),
              Contains(recv(
                  "M|WP1,Caf\xE9,2.000000,41.000000,0.000000,flag")));
  result = run(L"waypoint get 0");
  EXPECT_THAT(result.out, HasSubstr("description: Caf\xC3\xA9\n"));

  // What the code page can't hold goes only when the user accepts the loss.
  result = run(L"--lossy newpoint 1 2 --name \u6771\u4EAC --show");
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_THAT(result.out, HasSubstr(",m,,,,,,,??,"));
}

// The demo is the README's main job: every export, each step reported.
// The emulator starts with no mobiles, waypoints or fixes, as it does there.
TEST_F(ClientRunTest, DemoSucceedsInEveryStep) {
  tools::ProcessRun result = run(L"", L"orvek-demo.exe");
  // Exit code 0: no step failed; the last line: it ran to the end.
  EXPECT_EQ(result.exit_code, 0u) << result.out;
  EXPECT_THAT(result.out, HasSubstr(" steps succeeded.\n"));
  // The emulator started through the shell, as the DLL found none running.
  EXPECT_THAT(host().log_lines(), Contains(HasSubstr("start pid")));
}

}  // namespace
}  // namespace orvek::winetest
