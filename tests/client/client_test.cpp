// The client natively, on a fake library and machine (fake_seam.h): its
// argument rules, the options every command shares, what each failure
// says and the GPX import's checks. Whole runs against the emulator under
// Wine are in client_runs_test.cpp.
#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "fake_seam.h"
#include "tools/common/arguments.h"
#include "tools/orvekport/advice.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/run.h"

namespace orvek::clitest {
namespace {

using nlohmann::json;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using Argv = std::vector<std::string>;

// A <wpt> as the GPX reader gives it.
cli::GpxWaypoint wpt(unsigned line, std::optional<std::string> name,
                     std::optional<std::string> description = std::nullopt,
                     std::optional<std::string> symbol = std::nullopt) {
  cli::GpxWaypoint w;
  w.line = line;
  w.latitude = 1;
  w.longitude = 2;
  w.name = std::move(name);
  w.description = std::move(description);
  w.symbol = std::move(symbol);
  return w;
}

struct Result {
  int exit_code;
  std::string out, err;
  std::vector<std::string> calls;
};

class ClientTest : public ::testing::Test {
 protected:
  Result run(Argv argv) {
    system.out.clear();
    system.err.clear();
    library.calls.clear();
    int exit_code = cli::run_client(std::move(argv), library, system);
    return {exit_code, system.out, system.err, library.calls};
  }
  // A --json run, its one object parsed and its exit code checked.
  json run_json(Argv argv) {
    argv.insert(argv.begin(), "--json");
    Result result = run(argv);
    json parsed = json::parse(result.out, nullptr, false);
    EXPECT_FALSE(parsed.is_discarded()) << result.out;
    if (parsed.is_discarded()) return json::object();
    EXPECT_EQ(parsed["exit_code"], result.exit_code);
    return parsed;
  }

  FakeSystem system;
  FakeLibrary library{system};
};

// Every row of the command table, with a command line that it runs.
struct Row {
  const cli::Action* action;
  std::string words;
  Argv argv;
};
std::vector<Row> every_action() {
  const std::map<std::string, Argv> samples = {
      {"version", {}},
      {"init", {}},
      {"query", {"4"}},
      {"raw", {"x"}},
      {"statuses", {}},
      {"newpoint", {"1", "2", "--name", "N"}},
      {"center", {"1", "2", "3"}},
      {"center-waypoint", {"WP1", "2"}},
      {"viewport", {"1", "2"}},
      {"exec", {"3"}},
      {"open", {"a.gpx"}},
      {"export-view", {"v.png"}},
      {"delete-mobile", {"X"}},
      {"moving-map-init", {}},
      {"waypoint add", {"WP1", "Gate", "2", "41", "0", "flag"}},
      {"waypoint delete", {"WP1"}},
      {"waypoint count", {}},
      {"waypoint get", {"0"}},
      {"waypoint list", {}},
      {"waypoint import", {"in.gpx"}},
      {"waypoint export", {"out.gpx"}},
      {"mobiles count", {}},
      {"mobiles get", {"0"}},
      {"mobiles list", {}},
      {"mobiles export", {"out.gpx"}},
      {"device-id", {}},
      {"disk-free", {"C:\\"}},
      {"host start", {"C:\\h"}},
      {"host stop", {}},
      {"host status", {}},
  };
  std::vector<Row> rows;
  for (auto table : {cli::hostlink_commands, cli::map_commands,
                     cli::waypoint_commands, cli::device_commands,
                     cli::host_commands})
    for (const cli::Command& command : table()) {
      std::vector<const cli::Action*> actions = {&command.action};
      if (!command.actions.empty()) actions.clear();
      for (const cli::Action& action : command.actions) actions.push_back(&action);
      for (const cli::Action* action : actions) {
        std::string words = action->words ? action->words : command.name;
        auto sample = samples.find(words);
        EXPECT_NE(sample, samples.end()) << words << " has no sample";
        if (sample == samples.end()) continue;
        Argv argv = {command.name};
        if (action->words) argv.push_back(words.substr(words.find(' ') + 1));
        argv.insert(argv.end(), sample->second.begin(), sample->second.end());
        rows.push_back({action, words, argv});
      }
    }
  return rows;
}

// ---- Argument rules -------------------------------------------------------

TEST(Arguments, SplitOptionsFromPositionals) {
  // What a command of one to `most` positionals sees: --capacity and the
  // positionals, or the problem.
  auto split = [](Argv argv, std::size_t most) {
    tools::Arguments args(argv);
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
  EXPECT_EQ(split({"4", "--capacity"}, 1), "problem: --capacity needs a value");
  EXPECT_EQ(split({"4", "--colour", "red"}, 2),
            "problem: unknown option --colour");
  EXPECT_EQ(split({"4", "5"}, 1), "problem: unexpected argument 5");
  EXPECT_EQ(split({}, 1), "problem: missing argument");

  Argv global = {"--json", "raw", "x", "--lossy", "--", "--force"};
  cli::GlobalOptions options = cli::take_global_options(&global);
  EXPECT_EQ(global, (Argv{"raw", "x", "--", "--force"}));
  EXPECT_TRUE(options.json && options.lossy && !options.force);
}

TEST(Arguments, NumbersMustBeWholeAndInRange) {
  std::int64_t value = 0;
  for (const char* text : {"8", "+8", "0", "1000"})
    EXPECT_TRUE(tools::parse_integer(text, 0, 1000, &value)) << text;
  for (const char* text :
       {"-1", "1001", " 8", "8 ", "8x", "", "0x10", "99999999999999999999"})
    EXPECT_FALSE(tools::parse_integer(text, 0, 1000, &value)) << text;
  double real = 0;
  EXPECT_TRUE(tools::parse_real("-3e2", &real));
  EXPECT_EQ(real, -300);
  for (const char* text : {"4,5", "nan", "inf", "1e999", "", " 1"})
    EXPECT_FALSE(tools::parse_real(text, &real)) << text;
}

// ---- What every command shares --------------------------------------------

// A usage error exits 2 through the one runner: the problem and the usage
// on stderr, nothing on stdout, nothing called; as JSON, one object.
TEST_F(ClientTest, EveryCommandRefusesABadCommandLineTheSameWay) {
  for (const auto& [action, words, argv] : every_action()) {
    SCOPED_TRACE(words);
    Argv bad = argv;
    bad.push_back("--bogus");
    Result result = run(bad);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_THAT(result.err, HasSubstr("orvekport: unknown option --bogus\n"));
    EXPECT_THAT(result.err, HasSubstr("\nusage: orvekport "));
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_THAT(result.calls, IsEmpty());
    bad.insert(bad.begin(), "--json");
    json refused = json::parse(run(bad).out, nullptr, false);
    EXPECT_EQ(refused["exit_code"], 2);
    EXPECT_EQ(refused["status"], nullptr);
    EXPECT_EQ(refused["error"], "unknown option --bogus");
  }
  EXPECT_EQ(run({"waypoint"}).exit_code, 2);
  EXPECT_EQ(run({"host", "launch"}).exit_code, 2);
  EXPECT_EQ(run({"bogus"}).exit_code, 2);
  EXPECT_THAT(run({"--no-init", "query", "0"}).err, HasSubstr("--no-start"));
}

// --json prints one object for every command, succeeding or not;
// --no-start fails (exit 3) every command that needs the host, before any
// call, and leaves the others alone.
TEST_F(ClientTest, JsonAndNoStartMeanTheSameForEveryCommand) {
  library.waypoints = {{"WP1", "Gate", 2, 41, 0, "flag"}};
  library.mobiles = {{"KIWI1", "", 175.5, -37.75, 60}};
  system.gpx_files["in.gpx"] = {wpt(3, "WP1", "Gate", "flag")};
  for (const auto& [action, words, argv] : every_action()) {
    SCOPED_TRACE(words);
    system.window = words != "host start";
    json object = run_json(argv);
    EXPECT_EQ(object["command"], words);
    EXPECT_TRUE(object["fields"].is_object());
    EXPECT_TRUE(object["notes"].is_array());

    system.window = false;
    Argv no_start = argv;
    no_start.insert(no_start.begin(), "--no-start");
    Result result = run(no_start);
    if (action->need == cli::HostNeed::kNone) continue;
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_THAT(result.err, HasSubstr("--no-start was given"));
    EXPECT_THAT(result.calls, IsEmpty());
  }
}

// What the code page can't hold is refused (exit 2, nothing called) unless
// --lossy, which sends it as '?'; what the host would not show, or not read
// back, is refused unless --force, which sends it. The same for every
// command that takes such input, wherever the option stands.
TEST_F(ClientTest, LossyAndForceSendWhatIsRefusedOtherwise) {
  system.gpx_files["cjk.gpx"] = {wpt(3, "\xE6\x9D\xB1")};
  system.gpx_files["comma.gpx"] = {wpt(3, "WP,1", "a, b")};
  const struct {
    Argv argv;
    const char* option;  // what lets it go
    const char* refusal;
    const char* sent;  // part of the call that goes
  } cases[] = {
      {{"query", "\xE6\x9D\xB1"}, "--lossy", "can't hold: '\xE6\x9D\xB1'", "GetString(?)"},
      {{"raw", "\xE6\x9D\xB1x"}, "--lossy", "--lossy sends them", "StringProtocolW("},
      {{"newpoint", "1", "2", "--name", "\xE6\x9D\xB1\xE4\xBA\xAC"}, "--lossy",
       "the name (--name, --text1)", "|??|"},
      {{"open", "\xE6\x9D\xB1"}, "--lossy", "FILE", "OpenFile(?)"},
      {{"waypoint", "import", "cjk.gpx"}, "--lossy", "(line 3): name", "New_Waypoint(?|"},
      {{"newpoint", "200", "-95"}, "--force", "longitude 200 is outside -180..180, latitude -95",
       "NewPoint(200|-95|"},
      {{"center", "1", "91", "0"}, "--force", "latitude 91", "CenterCoordinate(1|91|0)"},
      {{"viewport", "640", "0"}, "--force", "above 0", "SetViewportLen(640|0)"},
      {{"waypoint", "add", "WP1", "a, b", "2", "41", "0", "flag"}, "--force",
       "DESCRIPTION 'a, b' holds a comma", "New_Waypoint(WP1|a, b|"},
      {{"waypoint", "add", "WP1", std::string(100, 'd'), "2", "41", "0", "i"}, "--force",
       "DESCRIPTION is 100 bytes; a waypoint reads back texts of at most 99",
       "New_Waypoint(WP1|ddd"},
      {{"waypoint", "import", "comma.gpx"}, "--force",
       "'WP,1' (line 3): name holds a comma", "New_Waypoint(WP,1|a, b|"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argv[0] + " " + c.argv[1]);
    Result refused = run(c.argv);
    EXPECT_EQ(refused.exit_code, 2);
    EXPECT_THAT(refused.err, HasSubstr(c.refusal));
    EXPECT_THAT(refused.calls, IsEmpty());
    for (bool first : {true, false}) {
      Argv let_go = c.argv;
      let_go.insert(first ? let_go.begin() : let_go.end(), c.option);
      Result sent = run(let_go);
      EXPECT_EQ(sent.exit_code, 0) << sent.err;
      EXPECT_THAT(sent.calls, Contains(HasSubstr(c.sent)));
    }
  }
}

// ---- What each failure says -------------------------------------------------

TEST_F(ClientTest, FailuresFollowTheExitCodeTableAndSayWhy) {
  const struct {
    Argv argv;
    const char* fails;  // the export that fails, "" for none
    std::uint32_t status;
    std::optional<std::string> reply;  // what the host wrote, if it did
    int exit_code;
    std::vector<std::string> err;  // parts of stderr
  } cases[] = {
      {{"center", "1", "2", "1e90"}, "CenterCoordinate", ORVEKPORT_E_TOO_LONG, {}, 11,
       {"the body \"%f,%f,%f\" is 115 bytes, 99 at most (16 too many); nothing was sent"}},
      {{"newpoint", "1", "2", "--real", "1e60"}, "NewPoint", ORVEKPORT_E_TOO_LONG, {}, 11,
       {"--real written as \"%f\" is 67 bytes, 49 at most (18 too many)"}},
      {{"query", std::string(200, 'x')}, "GetString", ORVEKPORT_E_TOO_LONG, {}, 11,
       {"the query REQUEST is 200 bytes, 196 at most (4 too many)"}},
      {{"waypoint", "delete", "WP2"}, "", 0, {}, 9,
       {"status: E_READ_REPLY (9)", "host answered: E|no waypoint WP2"}},
      {{"query", "7"}, "GetString", ORVEKPORT_E_NO_RESULT, "Gnothing\r\n", 10,
       {"host answered: Gnothing\\r\\n"}},
      {{"waypoint", "get", "0"}, "Get_Waypoint", ORVEKPORT_E_NO_COMMA_AFTER_FIELD2,
       "G|WP1,Gate", 6,
       {"E_NO_COMMA_AFTER_FIELD2", "before field 3 (longitude)", "host answered: G|WP1,Gate"}},
      {{"mobiles", "get", "0"}, "GetMovingMapPosition", ORVEKPORT_E_NO_COMMA_AFTER_FIELD1,
       "G|41.25", 5, {"before field 2 (longitude): no comma after field 1 (latitude)"}},
      // The same number, but the host's reply was no record: the exchange's.
      {{"waypoint", "get", "0"}, "Get_Waypoint", ORVEKPORT_E_CREATE_REQUEST, {}, 5,
       {"status: E_CREATE_REQUEST (5)", "PACKETTX.DAT in 'C:\\host' can't be written"}},
      {{"exec", "1"}, "ExecCommand", ORVEKPORT_E_TIMEOUT, {}, 7,
       {"the host in 'C:\\host' did not signal its reply"}},
      {{"exec", "1"}, "Init", ORVEKPORT_E_NO_HOST, {}, 1,
       {"OrvekGPSPort_Init failed, so nothing was sent",
        "started 'C:\\host\\host.exe' (Path_EXE), but no window of class ORVEKPOCKETMAINW"}},
      {{"waypoint", "list"}, "Get_Waypoint", ORVEKPORT_E_BUSY, {}, 14,
       {"at index 0 of 1", "nothing was sent: try again"}},
      {{"mobiles", "count"}, "GetMovingMapCount", 0, "E|busy", 3,
       {"host answered: E|busy", "gave -1: the query failed, or the host answered -1"}},
      {{"disk-free", "Q:\\nope"}, "", 0, {}, 3, {"the free space of 'Q:\\nope' can't be queried"}},
      {{"waypoint", "export", "Q:\\out.gpx"}, "", 0, {}, 3, {"can't create Q:\\out.gpx.tmp7"}},
      {{"statuses", "99"}, "", 0, {}, 2, {"no status has the code 99"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argv[0] + " " + c.argv[1]);
    library.waypoints = {{"WP1", "Gate", 2, 41, 0, "flag"}};
    library.mobiles = {{"KIWI1", "", 175.5, -37.75, 60}};
    if (*c.fails) library.fail_next(c.fails, c.status, c.reply);
    Result result = run(c.argv);
    EXPECT_EQ(result.exit_code, c.exit_code);
    for (const std::string& part : c.err) EXPECT_THAT(result.err, HasSubstr(part));
  }
  // Without Path_EXE: the key, and how to set it in this build's view.
  system.path_exe.reset();
  library.fail_next("Init", ORVEKPORT_E_REGISTRY);
  Result unset = run({"waypoint", "delete", "WP2"});
  EXPECT_EQ(unset.exit_code, 4);
  EXPECT_THAT(unset.err, HasSubstr("HKEY_LOCAL_MACHINE\\SOFTWARE\\OrvekGPS\\General is not "
                                   "set or can't be read; set it with 'orvekport host start"));
}

// --show reads back the request line the call wrote, or says nothing went.
TEST_F(ClientTest, ShowPrintsTheRequestTheCallWrote) {
  EXPECT_EQ(run({"--show", "exec", "3"}).out, "sent: ExecCommand(3)\\n\n");
  library.fail_next("CenterCoordinate", ORVEKPORT_E_TOO_LONG);
  EXPECT_EQ(run({"--show", "center", "1", "2", "3"}).out, "sent: (nothing)\n");
}

// A result cut short by the capacity succeeds with what fit, and says so.
TEST_F(ClientTest, AResultCutByTheCapacityIsSaidOnStderr) {
  const std::string kSucceeded = "status: OK (0): success\n";
  library.query_replies["0"] = "G|orvek-host 3";
  Result whole = run({"query", "0", "--capacity", "14"});
  EXPECT_EQ(whole.out, "orvek-host 3\n");
  EXPECT_EQ(whole.err, kSucceeded);
  Result cut = run({"query", "0", "--capacity", "4"});
  EXPECT_EQ(cut.exit_code, 0);
  EXPECT_EQ(cut.out, "or\n");
  EXPECT_THAT(cut.err, HasSubstr("the result was cut to 2 bytes by --capacity 4: the host's "
                                 "reply holds 12; --capacity 14 reads it whole"));
  library.query_replies["0"] = "G|" + std::string(1200, 'r');
  EXPECT_THAT(run({"query", "0"}).err,
              HasSubstr("by the default capacity, 1000: the host's reply holds 1200"));

  Result raw = run({"raw", "hello", "--capacity", "3"});
  EXPECT_EQ(raw.out, "R|\n");
  EXPECT_THAT(raw.err, HasSubstr("cut to 2 UTF-16 units by --capacity 3: the host's reply "
                                 "holds 7; --capacity 8 reads it whole"));
  EXPECT_EQ(run({"raw", "hello", "--capacity", "8"}).err, kSucceeded);
}

// ---- Waypoints and GPX ----------------------------------------------------------

TEST_F(ClientTest, ImportSendsEveryWaypointWithItsIconAndReplacesById) {
  library.waypoints = {{"OLD", "x", 0, 0, 0, ""}, {"KEEP", "y", 0, 0, 0, ""}};
  cli::GpxWaypoint with_comment = wpt(7, "  OLD \n", std::nullopt, " flag ");
  with_comment.latitude = 41.5;
  with_comment.longitude = 2.25;
  with_comment.elevation = -3.5;
  with_comment.comment = "the\tgate";
  cli::GpxWaypoint refused = wpt(9, "NEW");
  cli::GpxWaypoint again = with_comment;
  system.gpx_files["in.gpx"] = {with_comment, refused, again};
  library.fail_next("New_Waypoint", 0);  // OLD goes
  library.fail_next("New_Waypoint", ORVEKPORT_E_READ_REPLY, "E|no room");
  json report = run_json({"waypoint", "import", "in.gpx", "--replace"});
  // The id deleted once, though the file has it twice; each sent on its own.
  EXPECT_THAT(library.calls_of("Delete_Waypoint"), ElementsAre("Delete_Waypoint(OLD)"));
  EXPECT_THAT(library.calls_of("New_Waypoint"),
              ElementsAre("New_Waypoint(OLD|the gate|2.25|41.5|-3.5|flag)",
                          "New_Waypoint(NEW||2|1|0|)",
                          "New_Waypoint(OLD|the gate|2.25|41.5|-3.5|flag)"));
  EXPECT_EQ(report["exit_code"], 9);
  EXPECT_EQ(report["fields"]["replaced"], 1);
  EXPECT_EQ(report["fields"]["imported"], 2);
  EXPECT_EQ(report["failures"][0]["host_answered"], "E|no room");

  // A file with a problem sends nothing, and says every problem.
  system.gpx_files["bad.gpx"] = {wpt(3, ""), wpt(5, std::string(120, 'n')),
                                 wpt(6, "B\xEF\xBF\xBD" "AD")};
  Result bad = run({"waypoint", "import", "bad.gpx"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_THAT(bad.err, HasSubstr("bad.gpx: 3 problems (below); nothing was sent"));
  // Bytes the reader could not decode are not text the code page lacks.
  EXPECT_THAT(bad.err, HasSubstr("(line 6): name holds bytes that are not in the file's "
                                 "encoding (read as U+FFFD)"));
  EXPECT_THAT(bad.err, HasSubstr("<wpt> at line 3 has no <name>"));
  // A long text is quoted by its first characters only.
  EXPECT_THAT(bad.err, HasSubstr("'" + std::string(60, 'n') + "...' (line 5): name is 120 bytes"));
  EXPECT_THAT(bad.calls, IsEmpty());
  EXPECT_THAT(run({"waypoint", "import", "missing.gpx"}).err,
              HasSubstr("missing.gpx: can't open it"));
}

TEST_F(ClientTest, ExportWritesEveryRecordWithItsIconAsTheSymbol) {
  library.waypoints = {{"OPERA", "Opera & Quay", 151.215297, -33.856784, 4.5, "flag"},
                       {"PRIME", "", 0, 0, 0, ""}};
  ASSERT_EQ(run({"waypoint", "export", "out.gpx"}).exit_code, 0);
  const std::string& file = system.files["out.gpx"];
  EXPECT_THAT(file, HasSubstr("  <wpt lat=\"-33.856784\" lon=\"151.215297\">\n"
                              "    <ele>4.5</ele>\n    <name>OPERA</name>\n"
                              "    <desc>Opera &amp; Quay</desc>\n    <sym>flag</sym>\n"));
  EXPECT_THAT(file, HasSubstr("<name>PRIME</name>\n  </wpt>"));
  // A record that fails leaves no file.
  library.fail_next("Get_Waypoint", ORVEKPORT_E_TIMEOUT);
  Result failed = run({"waypoint", "export", "none.gpx"});
  EXPECT_EQ(failed.exit_code, 7);
  EXPECT_THAT(failed.err, HasSubstr("at index 0 of 2; no file written"));
  EXPECT_EQ(system.files.count("none.gpx"), 0u);
}

// ---- The host by hand ---------------------------------------------------------

TEST_F(ClientTest, HostStartInstallsRegistersAndWaitsForTheWindow) {
  system.window = false;
  system.files["C:\\tools\\orvek-host.exe"] = "emulator";
  Result started = run({"host", "start", "C:\\by hand\\"});
  EXPECT_EQ(started.exit_code, 0) << started.err;
  EXPECT_EQ(system.files["C:\\by hand\\orvek-host.exe"], "emulator");
  EXPECT_EQ(system.path_exe, "C:\\by hand\\orvek-host.exe");
  EXPECT_EQ(run({"host", "start"}).exit_code, 3) << "one is running";

  system.window = false;
  system.started_program_shows_window = false;
  Result windowless = run({"host", "start", "C:\\h"});
  EXPECT_EQ(windowless.exit_code, 3);
  EXPECT_THAT(windowless.err, HasSubstr("its window did not appear"));
  EXPECT_EQ(system.clock_ms, 10000u) << "it waited the library's 10 s";
  EXPECT_THAT(run({"host", "start", "C:\\" + std::string(90, 'f')}).err,
              HasSubstr("Path_EXE may hold 99: choose a shorter FOLDER"));
}

// A host that started without a window: what the client can find out
// points at the cause.
TEST(ClientAdvice, AHostWithoutAWindowPointsAtTheLikelyCause) {
  const std::string log = "C:\\h\\orvek-host.log";
  auto advice = [&](std::optional<std::string> log_error, bool wine,
                    bool display, const char* driver) {
    cli::NoWindowFacts facts{log, log_error, wine, display, driver};
    std::string joined;
    for (const std::string& line : cli::no_window_advice(facts))
      joined += line + "\n";
    return joined;
  };
  const std::string window_error = "10:00:00.000 error window can't be created";
  // Wine, no display, no null driver: the cause and the command that fixes it.
  std::string headless = advice(window_error, true, false, "");
  EXPECT_THAT(headless, HasSubstr("says: " + window_error));
  EXPECT_THAT(headless, HasSubstr("/v Graphics /d null /f"));
  // A display or the null driver: the log says why, and nothing else is guessed.
  EXPECT_THAT(advice(window_error, true, false, "null"), Not(HasSubstr("/d null")));
  EXPECT_THAT(advice(window_error, true, true, ""), Not(HasSubstr("/d null")));
  // No log beside the host: where the emulator would log, and the setting.
  std::string unknown = advice(std::nullopt, true, true, "");
  EXPECT_THAT(unknown, HasSubstr(log));
  EXPECT_THAT(unknown, HasSubstr("null graphics driver"));

  // The log's last error since the emulator last started.
  FakeSystem system;
  system.files[log] = "10:00:00.000 start pid 1 in C:\\h\n" + window_error +
                      "\n10:00:01.000 start pid 2 in C:\\h\n"
                      "10:00:01.100 error window class can't be registered\r\n";
  EXPECT_EQ(cli::no_window_facts(system, "C:\\h\\host.exe").log_error,
            "10:00:01.100 error window class can't be registered");
}

}  // namespace
}  // namespace orvek::clitest
