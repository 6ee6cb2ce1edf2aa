// The client natively, through its seam on the library's own core and the
// fake platform (fake_seam.h), the emulator's model answering: its
// argument rules, the options every command shares, what each failure says
// and the GPX import's checks. The host's request lines are the witness of
// what was sent. Whole runs of orvekport.exe under Wine are in
// client_runs_test.cpp.
#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "fake_seam.h"
#include "tools/common/arguments.h"
#include "tools/orvekport/advice.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/host_text.h"
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

// A --json run: its one object, its exit code checked against the run's.
json run_json(World& world, Argv argv) {
  argv.insert(argv.begin(), "--json");
  int exit_code = world.run(argv);
  json parsed = json::parse(world.system.out, nullptr, false);
  EXPECT_FALSE(parsed.is_discarded()) << world.system.out;
  if (parsed.is_discarded()) return json::object();
  EXPECT_EQ(parsed["exit_code"], exit_code);
  return parsed;
}

// Every row of the command table, with a command line that it runs.
struct Row {
  const cli::Action* action;
  std::string words;
  Argv argv;
};
std::vector<Row> every_action() {
  const std::map<std::string, Argv> samples = {
      {"version", {}}, {"init", {}}, {"query", {"4"}}, {"raw", {"x"}},
      {"statuses", {}}, {"newpoint", {"1", "2", "--name", "N"}},
      {"center", {"1", "2", "3"}}, {"center-waypoint", {"WP1", "2"}},
      {"viewport", {"1", "2"}}, {"exec", {"3"}}, {"open", {"a.gpx"}},
      {"export-view", {"v.png"}}, {"delete-mobile", {"X"}},
      {"moving-map-init", {}},
      {"waypoint add", {"WP1", "Gate", "2", "41", "0", "flag"}},
      {"waypoint delete", {"WP1"}}, {"waypoint count", {}},
      {"waypoint get", {"0"}}, {"waypoint list", {}},
      {"waypoint import", {"in.gpx"}}, {"waypoint export", {"out.gpx"}},
      {"mobiles count", {}}, {"mobiles get", {"0"}}, {"mobiles list", {}},
      {"mobiles export", {"out.gpx"}}, {"device-id", {}},
      {"disk-free", {"C:\\"}}, {"host start", {"C:\\h"}}, {"host stop", {}},
      {"host status", {}},
  };
  std::vector<Row> rows;
  for (auto table : {cli::hostlink_commands, cli::map_commands, cli::waypoint_commands,
                     cli::device_commands, cli::host_commands})
    for (const cli::Command& command : table())
      for (const cli::Action& action :
           command.actions.empty() ? std::span(&command.action, 1) : command.actions) {
        std::string words = action.words ? action.words : command.name;
        EXPECT_TRUE(samples.count(words)) << words << " has no sample";
        Argv argv = {command.name};
        if (action.words) argv.push_back(words.substr(words.find(' ') + 1));
        for (const std::string& arg : samples.count(words) ? samples.at(words) : Argv{})
          argv.push_back(arg);
        rows.push_back({&action, words, argv});
      }
  return rows;
}

// ---- Argument rules -------------------------------------------------------

TEST(Arguments, OptionsPositionalsAndNumbers) {
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
  EXPECT_EQ(split({"4", "--colour", "red"}, 2), "problem: unknown option --colour");
  EXPECT_EQ(split({"4", "5"}, 1), "problem: unexpected argument 5");
  EXPECT_EQ(split({}, 1), "problem: missing argument");

  Argv global = {"--json", "raw", "x", "--lossy", "--", "--force"};
  cli::GlobalOptions options = cli::take_global_options(&global);
  EXPECT_EQ(global, (Argv{"raw", "x", "--", "--force"}));
  EXPECT_TRUE(options.json && options.lossy && !options.force);

  std::int64_t value = 0;
  for (const char* text : {"8", "+8", "0", "1000"})
    EXPECT_TRUE(tools::parse_integer(text, 0, 1000, &value)) << text;
  for (const char* text : {"-1", "1001", " 8", "8 ", "8x", "", "0x10", "99999999999999999999"})
    EXPECT_FALSE(tools::parse_integer(text, 0, 1000, &value)) << text;
  double real = 0;
  EXPECT_TRUE(tools::parse_real("-3e2", &real) && real == -300);
  for (const char* text : {"4,5", "nan", "inf", "1e999", "", " 1"})
    EXPECT_FALSE(tools::parse_real(text, &real)) << text;
}

// ---- What every command shares --------------------------------------------

// The same for every command, through the one runner: a usage error exits 2
// (the problem and the usage on stderr, nothing on stdout, nothing sent;
// as JSON, one object); --json prints one object, succeeding or not; and
// --no-start fails (exit 3) every command that needs the host before
// anything is sent, and leaves the others alone.
TEST(Client, EveryCommandTakesTheCommandLineAndTheOptionsTheSameWay) {
  for (const auto& [action, words, argv] : every_action()) {
    SCOPED_TRACE(words);
    World world;
    world.model.answer("M|WP1,Gate,2,41,0,flag\n");
    world.model.answer("E|$AAGGAM,,4015.000,N,330.000,W,1,5,0,650,m,,,,,,,A,B,1.500000,2*64\r\n\n");
    world.system.gpx_files["in.gpx"] = {wpt(3, "WP1", "Gate", "flag")};
    world.system.write("C:\\tools\\orvek-host.exe", "MZ");
    Argv bad = argv;
    bad.push_back("--bogus");
    EXPECT_EQ(world.run(bad), 2);
    EXPECT_THAT(world.system.err, HasSubstr("orvekport: unknown option --bogus\n"));
    EXPECT_THAT(world.system.err, HasSubstr("\nusage: orvekport "));
    EXPECT_THAT(world.system.out, IsEmpty());
    EXPECT_THAT(world.requests(), IsEmpty());
    EXPECT_EQ(run_json(world, bad)["error"], "unknown option --bogus");

    if (words == "host start") world.host.exit();
    json object = run_json(world, argv);
    EXPECT_EQ(object["command"], words);
    EXPECT_TRUE(object["fields"].is_object() && object["notes"].is_array());

    world.host.exit();
    Argv no_start = argv;
    no_start.insert(no_start.begin(), "--no-start");
    int exit_code = world.run(no_start);
    if (action->need == cli::HostNeed::kNone) continue;
    EXPECT_EQ(exit_code, 3);
    EXPECT_THAT(world.system.err, HasSubstr("--no-start was given"));
    EXPECT_THAT(world.requests(), IsEmpty());
  }
  World world;
  EXPECT_EQ(world.run({"waypoint"}), 2);
  EXPECT_EQ(world.run({"host", "launch"}), 2);
  EXPECT_EQ(world.run({"bogus"}), 2);
  world.run({"--no-init", "query", "0"});
  EXPECT_THAT(world.system.err, HasSubstr("--no-start"));
}

// What the code page can't hold is refused (exit 2, nothing sent) unless
// --lossy, which sends it as '?'; what the host would not show, or not read
// back, is refused unless --force, which sends it. The same for every
// command that takes such input, wherever the option stands.
TEST(Client, LossyAndForceSendWhatIsRefusedOtherwise) {
  const struct {
    Argv argv;
    const char* option;  // what lets it go
    const char* refusal;
    const char* sent;  // the start of the request line that goes
  } cases[] = {
      {{"query", "\xE6\x9D\xB1"}, "--lossy", "can't hold: '\xE6\x9D\xB1'", "F|?\n"},
      {{"raw", "\xE6\x9D\xB1x"}, "--lossy", "--lossy sends them", "?x\n"},
      {{"newpoint", "1", "2", "--name", "\xE6\x9D\xB1\xE4\xBA\xAC"}, "--lossy",
       "the name (--name, --text1)", "E|$AAGGAM,,200.000,N,100.000,E,1,5,0,0,m,,,,,,,??,"},
      {{"open", "\xE6\x9D\xB1"}, "--lossy", "FILE", "D|?\n"},
      {{"waypoint", "import", "cjk.gpx"}, "--lossy", "(line 3): name", "M|?,"},
      {{"newpoint", "170", "-95"}, "--force", "latitude -95 is outside -90..90",
       "E|$AAGGAM,,9500.000,S,17000.000,E"},
      {{"center", "1", "91", "0"}, "--force", "latitude 91", "O|1.000000,91.000000,0.000000"},
      {{"viewport", "640", "0"}, "--force", "above 0", "K|640,0"},
      {{"waypoint", "add", "WP1", "a, b", "2", "41", "0", "flag"}, "--force",
       "DESCRIPTION 'a, b' holds a comma", "M|WP1,a, b,2.000000"},
      {{"waypoint", "add", "WP1", std::string(100, 'd'), "2", "41", "0", "i"}, "--force",
       "DESCRIPTION is 100 bytes; a waypoint reads back texts of at most 99", "M|WP1,ddd"},
      {{"waypoint", "import", "comma.gpx"}, "--force",
       "'WP,1' (line 3): name holds a comma", "M|WP,1,a, b,2.000000,1.000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argv[0] + " " + c.argv[1]);
    for (int how = 0; how < 3; ++how) {  // refused; the option first; last
      World world;
      world.system.gpx_files["cjk.gpx"] = {wpt(3, "\xE6\x9D\xB1")};
      world.system.gpx_files["comma.gpx"] = {wpt(3, "WP,1", "a, b")};
      world.answer("F|?", "G|");
      Argv argv = c.argv;
      if (how > 0) argv.insert(how == 1 ? argv.begin() : argv.end(), c.option);
      int exit_code = world.run(argv);
      if (how == 0) {
        EXPECT_EQ(exit_code, 2);
        EXPECT_THAT(world.system.err, HasSubstr(c.refusal));
        EXPECT_THAT(world.requests(), IsEmpty());
      } else {
        EXPECT_EQ(exit_code, 0) << world.system.err;
        EXPECT_THAT(world.requests(), Contains(::testing::StartsWith(c.sent)));
      }
    }
  }
}

// ---- What each failure says -------------------------------------------------

TEST(Client, FailuresFollowTheExitCodeTableAndSayWhy) {
  const struct {
    Argv argv;
    const char* request;  // requests beginning so get `reply`; "": none
    const char* reply;
    int exit_code;
    std::vector<std::string> err;  // parts of stderr
    std::function<void(World&)> fault = nullptr;
  } cases[] = {
      {{"center", "1", "2", "1e90"}, "", "", 11,
       {"the body \"%f,%f,%f\" is 115 bytes, 99 at most (16 too many); nothing was sent"}},
      {{"newpoint", "1", "2", "--real", "1e60"}, "", "", 11,
       {"--real written as \"%f\" is 67 bytes, 49 at most (18 too many)"}},
      {{"query", std::string(200, 'x')}, "", "", 11,
       {"the query REQUEST is 200 bytes, 196 at most (4 too many)"}},
      {{"waypoint", "delete", "WP2"}, "", "", 9,
       {"status: E_READ_REPLY (9)", "host answered: E|no waypoint WP2"}},
      {{"query", "7"}, "F|7", "Gnothing\r\n", 10, {"host answered: Gnothing\\r\\n"}},
      {{"waypoint", "get", "0"}, "F|2,0", "G|WP1,Gate", 6,
       {"E_NO_COMMA_AFTER_FIELD2", "before field 3 (longitude)", "host answered: G|WP1,Gate"}},
      {{"mobiles", "get", "0"}, "F|3,0", "G|41.25", 5,
       {"before field 2 (longitude): no comma after field 1 (latitude)"}},
      {{"waypoint", "list"}, "F|2,0", "E|gone", 9, {"at index 0 of 1", "host answered: E|gone"}},
      {{"mobiles", "count"}, "F|2\n", "E|busy", 3,
       {"host answered: E|busy", "gave -1: the query failed, or the host answered -1"}},
      {{"disk-free", "Q:\\nope"}, "", "", 3, {"the free space of 'Q:\\nope' can't be queried"}},
      {{"waypoint", "export", "Q:\\out.gpx"}, "", "", 3, {"can't create Q:\\out.gpx.tmp7"}},
      {{"statuses", "99"}, "", "", 2, {"no status has the code 99"}},
      // The same number as a parse status, but the exchange's.
      {{"waypoint", "get", "0"}, "", "", 5,
       {"status: E_CREATE_REQUEST (5)", "PACKETTX.DAT in 'C:\\Orvek' can't be written"},
       [](World& w) { w.os.hold_file(w.host.request_path()); }},
      {{"exec", "1"}, "", "", 7, {"the host in 'C:\\Orvek' did not signal its reply"},
       [](World& w) { w.host.signal = false; }},
      {{"exec", "1"}, "", "", 1,
       {"OrvekGPSPort_Init failed, so nothing was sent",
        "started 'C:\\Orvek\\orvek.exe' (Path_EXE), but no window of class ORVEKPOCKETMAINW"},
       [](World& w) { w.host.exit(); }},
      {{"waypoint", "delete", "WP2"}, "", "", 4,
       {"HKEY_LOCAL_MACHINE\\SOFTWARE\\OrvekGPS\\General is not set or can't be read; "
        "set it with 'orvekport host start"},
       [](World& w) {
         w.os.remove_registry_value(protocol::kHostRegistryKey, protocol::kHostPathValue);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argv[0] + " " + c.argv[1]);
    World world;
    world.model.answer("M|WP1,Gate,2,41,0,flag\n");
    world.model.seed_mobiles("41.25,2,0,KIWI1,x\n");
    if (*c.request) world.answer(c.request, c.reply);
    if (c.fault) c.fault(world);
    EXPECT_EQ(world.run(c.argv), c.exit_code);
    for (const std::string& part : c.err)
      EXPECT_THAT(world.system.err, HasSubstr(part));
  }
}

// --show reads back the request line the call wrote, or says nothing went.
TEST(Client, ShowPrintsTheRequestTheCallWrote) {
  World world;
  world.run({"--show", "exec", "3"});
  EXPECT_EQ(world.system.out, "sent: I|3\\n\n");
  world.run({"--show", "center", "1", "2", "1e90"});
  EXPECT_EQ(world.system.out, "sent: (nothing)\n");
}

// A result cut short by the capacity succeeds with what fit, and says so.
TEST(Client, AResultCutByTheCapacityIsSaidOnStderr) {
  World world;
  const std::string succeeded = "status: OK (0): success\n";
  EXPECT_EQ(world.run({"query", "0", "--capacity", "14"}), 0);
  EXPECT_EQ(world.system.out, "orvek-host 3\n");
  EXPECT_EQ(world.system.err, succeeded);
  EXPECT_EQ(world.run({"query", "0", "--capacity", "4"}), 0);
  EXPECT_EQ(world.system.out, "or\n");
  EXPECT_THAT(world.system.err, HasSubstr("the result was cut to 2 bytes by --capacity 4: the "
                                          "host's reply holds 12; --capacity 14 reads it whole"));
  world.answer("F|0", "G|" + std::string(1200, 'r'));
  world.run({"query", "0"});
  EXPECT_THAT(world.system.err,
              HasSubstr("by the default capacity, 1000: the host's reply holds 1200"));

  EXPECT_EQ(world.run({"raw", "hello", "--capacity", "3"}), 0);
  EXPECT_EQ(world.system.out, "R|\n");
  EXPECT_THAT(world.system.err, HasSubstr("cut to 2 UTF-16 units by --capacity 3: the host's "
                                          "reply holds 7; --capacity 8 reads it whole"));
  world.run({"raw", "hello", "--capacity", "8"});
  EXPECT_EQ(world.system.err, succeeded);
}

// ---- Waypoints and GPX ----------------------------------------------------------

TEST(Client, ImportSendsEveryWaypointWithItsIconAndReplacesById) {
  World world;
  world.model.answer("M|OLD,x,0,0,0,\n");
  world.model.answer("M|KEEP,y,0,0,0,\n");
  cli::GpxWaypoint old = wpt(7, "  OLD \n", std::nullopt, " flag ");
  old.elevation = -3.5;
  old.comment = "the\tgate";
  world.system.gpx_files["in.gpx"] = {old, wpt(9, "NEW"), old};
  world.answer("M|NEW,", "E|no room");
  json report = run_json(world, {"waypoint", "import", "in.gpx", "--replace"});
  // The id deleted once, though the file has it twice; each sent on its own.
  std::vector<std::string> sent;
  for (const std::string& line : world.requests())
    if (line[0] == 'M' || line[0] == 'N') sent.push_back(line);
  EXPECT_THAT(sent, ElementsAre("N|OLD\n", "M|OLD,the gate,2.000000,1.000000,-3.500000,flag\n",
                                "M|NEW,,2.000000,1.000000,0.000000,\n",
                                "M|OLD,the gate,2.000000,1.000000,-3.500000,flag\n"));
  EXPECT_EQ(report["exit_code"], 9);
  EXPECT_EQ(report["fields"]["replaced"], 1);
  EXPECT_EQ(report["fields"]["imported"], 2);
  EXPECT_EQ(report["failures"][0]["host_answered"], "E|no room");

  // A file with a problem sends nothing, and says every problem.
  world.system.gpx_files["bad.gpx"] = {wpt(3, ""), wpt(5, std::string(120, 'n')),
                                       wpt(6, "B\xEF\xBF\xBD" "AD")};
  EXPECT_EQ(world.run({"waypoint", "import", "bad.gpx"}), 2);
  const std::string& err = world.system.err;
  EXPECT_THAT(err, HasSubstr("bad.gpx: 3 problems (below); nothing was sent"));
  EXPECT_THAT(err, HasSubstr("<wpt> at line 3 has no <name>"));
  // A long text is quoted by its first characters only.
  EXPECT_THAT(err, HasSubstr("'" + std::string(60, 'n') + "...' (line 5): name is 120 bytes"));
  // Bytes the reader could not decode are not text the code page lacks.
  EXPECT_THAT(err, HasSubstr("(line 6): name holds bytes that are not in the file's "
                             "encoding (read as U+FFFD)"));
  EXPECT_THAT(world.requests(), IsEmpty());
  world.run({"waypoint", "import", "missing.gpx"});
  EXPECT_THAT(world.system.err, HasSubstr("missing.gpx: can't open it"));
}

TEST(Client, ExportWritesEveryRecordWithItsIconAsTheSymbol) {
  World world;
  world.model.answer("M|OPERA,Opera & Quay,151.215297,-33.856784,4.500000,flag\n");
  world.model.answer("M|PRIME,,0,0,0,\n");
  ASSERT_EQ(world.run({"waypoint", "export", "C:\\out.gpx"}), 0);
  std::string file = world.system.read_file("C:\\out.gpx").value_or("");
  EXPECT_THAT(file, HasSubstr("  <wpt lat=\"-33.856784\" lon=\"151.215297\">\n"
                              "    <ele>4.5</ele>\n    <name>OPERA</name>\n"
                              "    <desc>Opera &amp; Quay</desc>\n    <sym>flag</sym>\n"));
  EXPECT_THAT(file, HasSubstr("<name>PRIME</name>\n  </wpt>"));
  // A record that fails leaves no file.
  world.answer("F|2,1", "E|gone");
  EXPECT_EQ(world.run({"waypoint", "export", "C:\\none.gpx"}), 9);
  EXPECT_THAT(world.system.err, HasSubstr("at index 1 of 2; no file written"));
  EXPECT_FALSE(world.system.read_file("C:\\none.gpx"));
}

// ---- The host by hand ---------------------------------------------------------

TEST(Client, HostStartInstallsRegistersAndWaitsForTheWindow) {
  World world;
  world.host.exit();
  world.system.write("C:\\tools\\orvek-host.exe", "emulator");
  EXPECT_EQ(world.run({"host", "start", "C:\\by hand\\"}), 0) << world.system.err;
  EXPECT_EQ(world.system.read_file("C:\\by hand\\orvek-host.exe"), "emulator");
  EXPECT_EQ(world.system.host_path(), "C:\\by hand\\orvek-host.exe");
  EXPECT_EQ(world.run({"host", "start"}), 3) << "one is running";

  world.host.exit();
  world.system.started_program_shows_window = false;
  std::uint64_t before = world.os.now_ms();
  EXPECT_EQ(world.run({"host", "start", "C:\\h"}), 3);
  EXPECT_THAT(world.system.err, HasSubstr("its window did not appear"));
  EXPECT_EQ(world.os.now_ms() - before, 10000u) << "it waited the library's 10 s";
  world.run({"host", "start", "C:\\" + std::string(90, 'f')});
  EXPECT_THAT(world.system.err, HasSubstr("Path_EXE may hold 99: choose a shorter FOLDER"));
}

// ---- Advice -----------------------------------------------------------------------

// A text read back from the host that may not be in its code page is
// doubted: bytes the code page does not define, or UTF-8.
TEST(ClientAdvice, TextsReadBackInAnotherCodePageAreDoubted) {
  World world;
  world.system.undefined_bytes = "\x81";
  cli::HostText text(world.system, false);
  EXPECT_EQ(text.read_back_doubt("plain", 1252), "");
  EXPECT_EQ(text.read_back_doubt("Caf\xE9", 1252), "");
  EXPECT_THAT(text.read_back_doubt("Caf\xC3\xA9", 1252), HasSubstr("reads as UTF-8"));
  EXPECT_EQ(text.read_back_doubt("Caf\xC3\xA9", 65001), "");
  EXPECT_THAT(text.read_back_doubt("\x81", 1252), HasSubstr("does not define"));
}

// A host that started without a window: what the client can find out
// points at the cause.
TEST(ClientAdvice, AHostWithoutAWindowPointsAtTheLikelyCause) {
  const std::string log = "C:\\h\\orvek-host.log";
  auto advice = [&](std::optional<std::string> log_error, bool wine,
                    bool display, const char* driver,
                    const char* wine_command = "wine") {
    cli::NoWindowFacts facts{log, log_error, wine, display, driver,
                             wine_command};
    std::string joined;
    for (const std::string& line : cli::no_window_advice(facts)) joined += line + "\n";
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

  // The log's last error since the emulator last started.
  World world;
  world.system.write(log, "10:00:00.000 start pid 1 in C:\\h\n" + window_error +
                              "\n10:00:01.000 start pid 2 in C:\\h\n"
                              "10:00:01.100 error window class can't be registered\r\n");
  EXPECT_EQ(cli::no_window_facts(world.system, "C:\\h\\host.exe").log_error,
            "10:00:01.100 error window class can't be registered");
}

}  // namespace
}  // namespace orvek::clitest
