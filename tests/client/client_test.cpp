// Tests of orvekport.exe under Wine: its argument handling in-process, and
// whole runs of the program against the host emulator, whose log is the
// witness of what the client sent. Grouped by what a user relies on: the
// exit-code table, the JSON shape, UTF-8 in and out, and the refusals.
#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "tools/common/win_process.h"
#include "tools/orvekport/arguments.h"
#include "tools/orvekport/host_side.h"
#include "wine_support.h"

namespace orvek::winetest {
namespace {

using cli::Arguments;
using nlohmann::json;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// ---- Argument handling ----------------------------------------------------

TEST(ClientArguments, SplitsOptionsFromPositionals) {
  // What a command of one to `most` positionals sees: --capacity and the
  // positionals, or the problem.
  auto split = [](std::vector<std::string> argv, std::size_t most) {
    Arguments args(argv);
    const char* capacity = args.take_option("capacity");
    if (!args.finish(1, most)) return "problem: " + args.problem();
    std::string seen = capacity ? std::string("--capacity ") + capacity : "-";
    for (std::size_t i = 0; i < args.size(); ++i)
      seen += std::string(", ") + args[i];
    return seen;
  };
  EXPECT_EQ(split({"4", "--capacity", "8"}, 1), "--capacity 8, 4");
  EXPECT_EQ(split({"--capacity=8", "4"}, 1), "--capacity 8, 4");
  // A value that looks like a number with a minus is still a value.
  EXPECT_EQ(split({"--capacity", "-1", "x"}, 1), "--capacity -1, x");
  // One dash is no option: negative numbers are positionals.
  EXPECT_EQ(split({"-3.5", "41.5"}, 2), "-, -3.5, 41.5");
  // After "--" everything is a positional, "--capacity" too.
  EXPECT_EQ(split({"--", "--capacity"}, 1), "-, --capacity");
  EXPECT_EQ(split({"4", "--capacity"}, 1),
            "problem: --capacity needs a value");
  EXPECT_EQ(split({"4", "--colour", "red"}, 2),
            "problem: unknown option --colour");
  EXPECT_EQ(split({"4", "5"}, 1), "problem: unexpected argument 5");
  EXPECT_EQ(split({}, 1), "problem: missing argument");
}

TEST(ClientArguments, GlobalOptionsAreTakenOutUpToADoubleDash) {
  using Argv = std::vector<std::string>;
  EXPECT_EQ(cli::take_global_options(Argv{"--json", "raw", "x", "--lossy"}),
            (Argv{"raw", "x"}));
  // After "--" a global option's name is text to send.
  EXPECT_EQ(cli::take_global_options(Argv{"raw", "--", "--json"}),
            (Argv{"raw", "--", "--json"}));
  EXPECT_TRUE(cli::global_options().json);
  EXPECT_TRUE(cli::global_options().lossy);
}

TEST(ClientArguments, NumbersMustBeWholeAndInRange) {
  const char* const good_integers[] = {"8", "+8", "0", "1000"};
  const char* const bad_integers[] = {"-1", "1001", " 8", "8 ", "8x", "",
                                      "0x10", "99999999999999999999"};
  std::int64_t value = 0;
  for (const char* text : good_integers)
    EXPECT_TRUE(cli::parse_integer(text, 0, 1000, &value)) << text;
  for (const char* text : bad_integers)
    EXPECT_FALSE(cli::parse_integer(text, 0, 1000, &value)) << text;
  double real = 0;
  EXPECT_TRUE(cli::parse_real("-3e2", &real));
  EXPECT_EQ(real, -300);
  for (const char* text : {"4,5", "nan", "inf", "1e999", "", " 1"})
    EXPECT_FALSE(cli::parse_real(text, &real)) << text;
}

// A host that started without a window: what the client can find out
// points at the cause. Facts made up, since a prefix without its null
// graphics driver costs a Wine restart.
TEST(ClientAdvice, AHostWithoutAWindowPointsAtTheLikelyCause) {
  const std::string log = "C:\\h\\orvek-host.log";
  auto advice = [&](std::optional<std::string> log_error, bool wine,
                    bool display, const char* driver,
                    const char* wine_command = "wine") {
    cli::NoWindowFacts facts{log, log_error, wine, display, driver,
                             wine_command};
    std::string joined;
    for (const std::string& line : cli::no_window_advice(facts))
      joined += line + "\n";
    return joined;
  };
  const std::string window_error = "10:00:00.000 error window can't be created";
  // Wine, no display, no null driver: the cause and the command that fixes it.
  std::string headless = advice(window_error, true, false, "");
  EXPECT_THAT(headless, HasSubstr("says: " + window_error));
  EXPECT_THAT(headless, HasSubstr("with: wine reg add "
                                  "'HKCU\\Software\\Wine\\Drivers' /v "
                                  "Graphics /d null /f"));
  // Where only the 64-bit loader runs, the command names it.
  EXPECT_THAT(advice(window_error, true, false, "", "/usr/lib/wine/wine64"),
              HasSubstr("with: /usr/lib/wine/wine64 reg add 'HKCU"));
  // A display or the null driver: the log says why, and nothing else is guessed.
  EXPECT_THAT(advice(window_error, true, false, "null"), Not(HasSubstr("/d null")));
  EXPECT_THAT(advice(window_error, true, true, ""), Not(HasSubstr("/d null")));
  // No log beside the host: where the emulator would log, and the setting.
  std::string unknown = advice(std::nullopt, true, true, "");
  EXPECT_THAT(unknown, HasSubstr(log));
  EXPECT_THAT(unknown, HasSubstr("null graphics driver"));
}

TEST(ClientAdvice, TextsReadBackInAnotherCodePageAreDoubted) {
  const struct {
    const char* bytes;
    unsigned code_page;
    const char* doubt;  // part of the doubt; "" when none
  } cases[] = {
      {"plain ASCII", 1252, ""},
      {"Caf\xE9", 1252, ""},                 // the code page's own e-acute
      {"Caf\xC3\xA9", 1252, "reads as UTF-8"},  // UTF-8 read as 1252
      {"Caf\xC3\xA9", CP_UTF8, ""},
      {"\x82", 932, "does not define"},  // a lead byte alone
  };
  for (const auto& c : cases) {
    std::string doubt = cli::read_back_doubt(c.bytes, c.code_page);
    if (*c.doubt == '\0') {
      EXPECT_THAT(doubt, IsEmpty()) << c.bytes;
    } else {
      EXPECT_THAT(doubt, HasSubstr(c.doubt)) << c.bytes;
    }
  }
}

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
  // A --json run: its stdout parsed, with the exit code checked against it.
  json run_json(const std::wstring& arguments) {
    tools::ProcessRun result = run(L"--json " + arguments);
    json parsed = json::parse(result.out, nullptr, false);
    EXPECT_FALSE(parsed.is_discarded())
        << to_ansi(arguments) << " printed no JSON: " << result.out;
    if (parsed.is_discarded()) return json::object();
    EXPECT_EQ(parsed["exit_code"], result.exit_code) << to_ansi(arguments);
    return parsed;
  }
};

// The exit-code table and what each failure says: 2 for a command line
// that can't be run (or text that would not cross or read back), 3 for a
// failure without a status, else the status, with the host's answer, the
// field a short record lacks, the limit a request broke, the registry key
// or the path tried.
TEST_F(ClientRunTest, FailuresFollowTheExitCodeTableAndSayWhy) {
  // A formatted body over its limit: --show has nothing to show, though
  // Init's handshake was written just before.
  json refused = run_json(L"--show center 1 2 1e90");
  EXPECT_EQ(refused["status"], 11);
  EXPECT_EQ(refused["sent"], "(nothing)");
  EXPECT_THAT(refused["notes"][0].get<std::string>(),
              HasSubstr("115 bytes, 99 at most (16 too many)"));

  // --force sends a waypoint that can't read back, and the read-back shows
  // why not to.
  ASSERT_EQ(run(L"waypoint add WP1 \"Client, Gate 3\" 2 41 0 flag --force")
                .exit_code,
            0u);
  EXPECT_THAT(run(L"waypoint get 0").out, HasSubstr("description: Client\n"));

  // --force counts wherever it stands before "--", the command word too.
  EXPECT_EQ(run(L"--force newpoint 200 -95").exit_code, 0u);
  EXPECT_EQ(run(L"viewport 0 0 --force").exit_code, 0u);

  // An export the host answered but did not write, and a text that reads
  // back as UTF-8 rather than the code page: both said on stderr.
  ASSERT_TRUE(host().set_faults(
      "when=J|ghost.png reply A|\\n\n"
      "when=F|77 reply G|Caf\\xC3\\xA9\n"));
  tools::ProcessRun ghost = run(L"export-view ghost.png");
  EXPECT_EQ(ghost.exit_code, 0u);
  EXPECT_THAT(ghost.err, HasSubstr("ghost.png' did not appear"));
  if (GetACP() != CP_UTF8) {
    EXPECT_THAT(run(L"query 77").err, HasSubstr("reads as UTF-8"));
  }
  ASSERT_TRUE(host().set_faults(""));

  const std::string too_long = "200 bytes, 196 at most (4 too many)";
  const struct {
    std::wstring arguments;
    DWORD exit_code;
    std::vector<std::string> err;  // parts of stderr
    const char* unsent = nullptr;  // no log line may hold it ("": no line)
    const char* faults = nullptr;  // the emulator's, set before the run
    // Path_EXE, set with no host running; "": no value.
    const wchar_t* path_exe = nullptr;
  } cases[] = {
      {L"", 2, {"orvekport"}, ""},
      {L"bogus", 2, {"orvekport"}, ""},
      {L"query", 2, {"orvekport"}, ""},
      {L"query 4 --capacity -1", 2, {"orvekport"}, ""},
      {L"raw x --colour r", 2, {"orvekport"}, ""},
      {L"waypoint", 2, {"orvekport"}, ""},
      {L"host launch", 2, {"orvekport"}, ""},
      {L"statuses 99", 2, {"no status has the code 99"}, ""},
      // What the library would send but no map can show.
      {L"newpoint 200 -95", 2, {"longitude 200", "latitude -95", "--force"}, ""},
      {L"waypoint add WP1 x 2 91 0 flag", 2, {"latitude 91"}, ""},
      {L"viewport 640 0", 2, {"above 0", "--force"}, ""},
      // Waypoints that would not read back as they were written.
      {L"waypoint add WP1 \"Client, Gate 3\" 2 41 0 flag", 2, {"comma"}, ""},
      {L"waypoint add WP,1 text 2 41 0 flag", 2, {"comma"}, ""},
      {L"waypoint add WP1 text 2 41 0 fl,ag", 2, {"comma"}, ""},
      {L"waypoint add WP1 " + std::wstring(100, L'd') + L" 2 41 0 flag", 2,
       {"100 bytes"}, ""},
      // Text the code page can't hold.
      {L"newpoint 1 2 --name \u6771\u4EAC", 2, {"--lossy"}, ""},
      {L"query " + std::wstring(200, L'x'), 11, {too_long}, "xxxx"},
      {L"waypoint delete WP2", 9, {"host answered: E|no waypoint WP2"}},
      {L"query \"\"", 9, {"host answered: "}},
      {L"waypoint get 0", 6,
       {"E_NO_COMMA_AFTER_FIELD2", "before field 3 (longitude)",
        "host answered: G|-3.5,41.25"},
       nullptr, "when=F|2,0 reply G|-3.5,41.25\n"},
      {L"mobiles get 0", 5, {"before field 2 (longitude)"}, nullptr,
       "when=F|3,0 reply G|41.25\n"},
      {L"disk-free Q:\\nope", 3, {"Q:\\nope"}},
      {L"mobiles count", 3, {"Path_EXE"}, nullptr, nullptr, L""},
      {L"waypoint delete WP2", 4,
       {"status: E_REGISTRY (4)", "SOFTWARE\\OrvekGPS\\General",
        "orvekport host start"}},
      {L"init", 1, {"C:\\nowhere\\host.exe"}, nullptr, nullptr,
       L"C:\\nowhere\\host.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(to_ansi(c.arguments));
    ASSERT_TRUE(!c.faults || host().set_faults(c.faults));
    if (c.path_exe != nullptr) {
      ASSERT_TRUE(host().stop());
      ASSERT_TRUE(*c.path_exe ? set_host_path(c.path_exe)
                              : delete_host_path());
    }
    std::size_t mark = host().log_mark();
    tools::ProcessRun result = run(c.arguments);
    EXPECT_EQ(result.exit_code, c.exit_code);
    for (const std::string& part : c.err)
      EXPECT_THAT(result.err, HasSubstr(part));
    if (c.exit_code == 2) { EXPECT_THAT(result.out, IsEmpty()); }
    if (c.exit_code == 1) { EXPECT_THAT(result.out, Not(HasSubstr("elapsed_ms"))); }
    if (c.unsent != nullptr) {
      EXPECT_THAT(host().log_lines_since(mark),
                  Not(Contains(HasSubstr(c.unsent))));
    }
  }
}

// Every command, succeeding or not, prints one object with its fields and
// exit code; these runs pin the parts a script reads.
TEST_F(ClientRunTest, JsonOutputParsesForEveryKindOfRun) {
  const struct {
    const wchar_t* arguments;
    json part;  // what the object holds (flattened paths and values)
  } cases[] = {
      {L"query 0", {{"status", 0}, {"status_name", "OK"},
                    {"fields", {{"result", "orvek-host 3"}}}}},
      {L"waypoint add WP1 \"Gate 3\" -3.5 41.25 650 flag --show",
       {{"status", 0},
        {"sent", "M|WP1,Gate 3,-3.500000,41.250000,650.000000,flag\\n"}}},
      {L"waypoint list",
       {{"waypoints",
         {{{"id", "WP1"}, {"longitude", -3.5}, {"latitude", 41.25}}}}}},
      {L"newpoint 175.5 -37.75 --altitude 60 --name KIWI1", {{"status", 0}}},
      {L"mobiles list",
       {{"mobiles", {{{"name", "KIWI1"}, {"latitude", -37.75}}}}}},
      {L"waypoint delete NOPE",
       {{"status", 9}, {"host_answer", "E|no waypoint NOPE"}}},
      {L"viewport 1",
       {{"exit_code", 2}, {"status", nullptr}, {"error", "missing argument"}}},
  };
  for (const auto& c : cases) {
    json flat = run_json(c.arguments).flatten(), part = c.part.flatten();
    for (const auto& [path, value] : part.items())
      EXPECT_EQ(flat[path], value) << to_ansi(c.arguments) << " " << path;
  }
  EXPECT_EQ(run_json(L"waypoint list")["waypoints"].size(), 1u);
  // The picture's full path, where the host put it.
  json exported = run_json(L"export-view v.png");
  std::string file = exported["fields"]["file"];
  EXPECT_THAT(file, ::testing::EndsWith("\\v.png"));
  EXPECT_NE(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << file;
  EXPECT_TRUE(exported["notes"].empty()) << exported["notes"];
  EXPECT_EQ(run(L"-V").out, run(L"--version").out);
  EXPECT_EQ(run_json(L"mobiles list")["mobiles"].size(), 1u);
  for (const wchar_t* arguments :
       {L"statuses", L"version", L"host status", L"disk-free Q:\\nope",
        L"device-id", L"raw \"R|\\\"quoted\\\"\"", L"init", L"newpoint 1 2",
        L"center 1 2 3", L"center-waypoint NOPE 2", L"viewport 1 2",
        L"exec 3", L"open a.gpx", L"export-view v.png", L"delete-mobile X",
        L"moving-map-init", L"mobiles count", L"mobiles get 9",
        L"waypoint count", L"waypoint get 9"}) {
    json any = run_json(arguments);
    EXPECT_TRUE(any["fields"].is_object()) << to_ansi(arguments);
  }
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
  EXPECT_EQ(run_json(L"waypoint get 0")["fields"]["description"],
            "Caf\xC3\xA9");

  // The raw request goes as UTF-16 through the DLL and back.
  result = run(L"raw \"Gr\u00FC\u00DFe\"");
  EXPECT_EQ(result.out, "R|Gr\xC3\xBC\xC3\x9F" "e\n");

  // What the code page can't hold goes only when the user accepts the loss.
  result = run(L"--lossy newpoint 1 2 --name \u6771\u4EAC --show");
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_THAT(result.out, HasSubstr(",m,,,,,,,??,"));
}

TEST_F(ClientRunTest, HostCommandsInstallRegisterAndStopTheEmulator) {
  ASSERT_TRUE(delete_host_path());
  // A short folder: the test's own may be too deep for Path_EXE.
  wchar_t temp[MAX_PATH];
  DWORD length = GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp, length) + L"orvek-byhand";
  tools::ProcessRun result = run(L"host start \"" + folder + L"\"");
  ASSERT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_THAT(result.out, HasSubstr("orvek-host.log"));
  EXPECT_NE(find_emulator_window(), nullptr);

  EXPECT_EQ(run(L"--no-start query 0").out, "orvek-host 3\n");
  EXPECT_THAT(run(L"host status").out, HasSubstr("running: yes"));
  EXPECT_EQ(run(L"host stop").exit_code, 0u);
  EXPECT_EQ(find_emulator_window(), nullptr);
  DeleteFileW((folder + L"\\orvek-host.exe").c_str());
  DeleteFileW((folder + L"\\orvek-host.log").c_str());
  RemoveDirectoryW(folder.c_str());

  // Not running, and told not to start it: exit 3, nothing started.
  EXPECT_EQ(run(L"--no-start waypoint count").exit_code, 3u);
  EXPECT_EQ(find_emulator_window(), nullptr);
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
