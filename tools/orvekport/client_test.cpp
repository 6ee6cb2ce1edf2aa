// Tests of orvekport.exe under Wine: its argument handling in-process, and
// whole runs of the program against the host emulator, whose log is the
// witness of what the client sent.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/orvekport/arguments.h"
#include "wine_support.h"

namespace {

using orvek::winetest::EmulatorTest;
using orvek::winetest::log_escape;
using orvek::winetest::test_binary_dir;
using orvek::winetest::to_ansi;
using orvekport_cli::Arguments;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// ---- Argument handling -------------------------------------------------------

struct SplitCase {
  std::vector<const char*> argv;
  std::size_t max_positionals;
  bool ok;
  std::vector<std::string> positionals;
  const char* capacity;  // the value of --capacity, or nullptr
  const char* problem;   // a part of problem() when not ok
};

TEST(ClientArguments, SplitsOptionsFromPositionals) {
  const SplitCase cases[] = {
      {{"4"}, 1, true, {"4"}, nullptr, ""},
      {{"4", "--capacity", "8"}, 1, true, {"4"}, "8", ""},
      {{"--capacity", "8", "4"}, 1, true, {"4"}, "8", ""},
      {{"--capacity=8", "4"}, 1, true, {"4"}, "8", ""},
      // A value that looks like a number with a minus is still a value.
      {{"--capacity", "-1", "x"}, 1, true, {"x"}, "-1", ""},
      // One dash is no option: negative numbers are positionals.
      {{"-3.5", "41.5"}, 2, true, {"-3.5", "41.5"}, nullptr, ""},
      // After "--" everything is a positional, "--capacity" too.
      {{"--", "--capacity"}, 1, true, {"--capacity"}, nullptr, ""},
      {{"4", "--capacity"}, 1, false, {}, nullptr, "--capacity needs a value"},
      {{"4", "--colour", "red"}, 2, false, {}, nullptr,
       "unknown option --colour"},
      {{"4", "5"}, 1, false, {}, nullptr, "unexpected argument 5"},
      {{}, 1, false, {}, nullptr, "missing argument"},
  };
  for (const SplitCase& c : cases) {
    std::string shown;
    for (const char* a : c.argv) shown += std::string(a) + " ";
    SCOPED_TRACE("argv: " + shown);
    std::vector<char*> argv;
    for (const char* a : c.argv) argv.push_back(const_cast<char*>(a));
    Arguments args(static_cast<int>(argv.size()), argv.data());
    const char* capacity = args.take_option("capacity");
    bool ok = args.finish(1, c.max_positionals);
    ASSERT_EQ(ok, c.ok) << args.problem();
    if (!ok) {
      EXPECT_THAT(args.problem(), HasSubstr(c.problem));
      continue;
    }
    EXPECT_STREQ(capacity, c.capacity);
    ASSERT_EQ(args.size(), c.positionals.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
      EXPECT_EQ(args[i], c.positionals[i]);
      // The index back into argv is what lines up the wide arguments.
      EXPECT_STREQ(argv[args.argv_index(i)], args[i]);
    }
  }
}

TEST(ClientArguments, GlobalOptionsAreTakenOutWhereverTheyStand) {
  struct Case {
    std::vector<const char*> argv;
    std::vector<std::string> kept;
  };
  const Case cases[] = {
      {{"orvekport", "raw", "x"}, {"orvekport", "raw", "x"}},
      {{"orvekport", "--no-init", "raw", "x"}, {"orvekport", "raw", "x"}},
      {{"orvekport", "raw", "x", "--no-init"}, {"orvekport", "raw", "x"}},
      {{"orvekport", "--no-init", "raw", "--no-init", "x"},
       {"orvekport", "raw", "x"}},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv;
    for (const char* a : c.argv) argv.push_back(const_cast<char*>(a));
    int argc = orvekport_cli::take_global_options(static_cast<int>(argv.size()),
                                                  argv.data());
    std::vector<std::string> kept(argv.begin(), argv.begin() + argc);
    EXPECT_EQ(kept, c.kept);
  }
  EXPECT_TRUE(orvekport_cli::global_options().no_init);
}

TEST(ClientArguments, NumbersMustBeWholeAndInRange) {
  struct IntegerCase {
    const char* text;
    bool ok;
    std::int64_t value;
  };
  const IntegerCase integers[] = {
      {"8", true, 8},          {"+8", true, 8},      {"0", true, 0},
      {"1000", true, 1000},    {"-1", false, 0},     {"1001", false, 0},
      {" 8", false, 0},        {"8 ", false, 0},     {"8x", false, 0},
      {"", false, 0},          {"0x10", false, 0},
      {"99999999999999999999", false, 0},
  };
  for (const IntegerCase& c : integers) {
    std::int64_t value = -7;
    EXPECT_EQ(orvekport_cli::parse_integer(c.text, 0, 1000, &value), c.ok)
        << "'" << c.text << "'";
    EXPECT_EQ(value, c.ok ? c.value : -7) << "'" << c.text << "'";
  }

  struct RealCase {
    const char* text;
    bool ok;
    double value;
  };
  const RealCase reals[] = {
      {"41.5", true, 41.5}, {"-3e2", true, -300}, {"-0.5", true, -0.5},
      {"4,5", false, 0},    {"nan", false, 0},    {"inf", false, 0},
      {"1e999", false, 0},  {"", false, 0},       {" 1", false, 0},
  };
  for (const RealCase& c : reals) {
    double value = -7;
    EXPECT_EQ(orvekport_cli::parse_real(c.text, &value), c.ok)
        << "'" << c.text << "'";
    EXPECT_EQ(value, c.ok ? c.value : -7) << "'" << c.text << "'";
  }
}

// ---- Whole runs of orvekport.exe --------------------------------------------

struct ClientRun {
  DWORD exit_code = 0;
  std::string out;
  std::string err;
};

// Runs `program` (built beside this test) with `arguments`, its stdout and
// stderr going to files in `scratch`; fails the test after 20 s.
ClientRun run_program(const wchar_t* program, const std::wstring& arguments,
                      const std::wstring& scratch,
                      const wchar_t* working_directory = nullptr) {
  ClientRun run;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  std::wstring out_path = scratch + L"\\client.out";
  std::wstring err_path = scratch + L"\\client.err";
  HANDLE out = CreateFileW(out_path.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE err = CreateFileW(err_path.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(out, INVALID_HANDLE_VALUE);
  EXPECT_NE(err, INVALID_HANDLE_VALUE);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::wstring command =
      L"\"" + test_binary_dir() + L"\\" + program + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr,
                                TRUE, 0, nullptr, working_directory, &startup,
                                &process) != FALSE;
  CloseHandle(out);
  CloseHandle(err);
  EXPECT_TRUE(started) << to_ansi(program) << " can't be started";
  if (!started) return run;
  if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << to_ansi(program) << " still runs after 20 s";
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
  }
  GetExitCodeProcess(process.hProcess, &run.exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  auto read_all = [](const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    char chunk[4096];
    DWORD count = 0;
    while (file != INVALID_HANDLE_VALUE &&
           ReadFile(file, chunk, sizeof chunk, &count, nullptr) && count > 0)
      bytes.append(chunk, count);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return bytes;
  };
  run.out = read_all(out_path);
  run.err = read_all(err_path);
  return run;
}

class ClientRunTest : public EmulatorTest {
 protected:
  ClientRun run(const std::wstring& arguments,
                const wchar_t* working_directory = nullptr) {
    return run_program(L"orvekport.exe", arguments, host().directory(),
                       working_directory);
  }
};

TEST_F(ClientRunTest, BadCommandLinesExitWithTwoAndSendNothing) {
  const wchar_t* const command_lines[] = {
      L"",
      L"bogus",
      L"query",
      L"query 4 5",
      L"query 4 --capacity -1",
      L"query 4 --capacity",
      L"raw x --colour red",
      L"version extra",
  };
  for (const wchar_t* arguments : command_lines) {
    SCOPED_TRACE(to_ansi(arguments));
    ClientRun result = run(arguments);
    EXPECT_EQ(result.exit_code, 2u);
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_THAT(result.err, HasSubstr("usage: orvekport"));
  }
  // Nothing reached a host: none was started, so none wrote a log.
  EXPECT_THAT(host().log_lines(), IsEmpty());
}

TEST_F(ClientRunTest, HelpOfACommandIsShownInsteadOfRunningIt) {
  ClientRun result = run(L"raw --help");
  EXPECT_EQ(result.exit_code, 0u);
  EXPECT_THAT(result.out, HasSubstr("usage: orvekport raw TEXT"));
  EXPECT_THAT(host().log_lines(), IsEmpty());

  // After "--" it is text to send, not a request for help.
  result = run(L"raw -- --help");
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_EQ(result.out, "R|--help\n");
}

TEST_F(ClientRunTest, ExitCodeIsTheStatusAndStderrNamesIt) {
  ASSERT_TRUE(orvek::winetest::delete_host_path());
  ClientRun result = run(L"query 4");
  EXPECT_EQ(result.exit_code, 4u);
  EXPECT_THAT(result.out, IsEmpty());
  EXPECT_THAT(result.err, HasSubstr("status: E_REGISTRY (4): "));

  ASSERT_TRUE(host().register_path());
  ASSERT_TRUE(host().set_faults("when=F|4 reply Z|not a query reply\n"));
  result = run(L"query 4");
  EXPECT_EQ(result.exit_code, 9u);
  EXPECT_THAT(result.err, HasSubstr("status: E_READ_REPLY (9): "));
}

TEST_F(ClientRunTest, QueryPrintsTheResultWithinItsCapacity) {
  ClientRun result = run(L"query 0");
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_EQ(result.out, "orvek-host 3\n");
  EXPECT_THAT(result.err, HasSubstr("status: OK (0)"));

  // Six reply bytes are "G|orve": the result is what follows the bar.
  result = run(L"query 0 --capacity 6");
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_EQ(result.out, "orve\n");
}

TEST_F(ClientRunTest, RawSendsTheWideCommandLineAndPrintsUtf8) {
  std::size_t mark = host().log_mark();
  ClientRun result = run(L"raw \"Gr\u00FC\u00DFe, host\"");
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_EQ(result.out, "R|Gr\xC3\xBC\xC3\x9F" "e, host\n");
  std::vector<std::string> lines = host().log_lines_since(mark);
  // Init's handshake first, then the request in the ANSI code page.
  EXPECT_THAT(lines, Contains("recv F|0\\n"));
  EXPECT_THAT(lines, Contains("recv " + log_escape(to_ansi(
                                            L"Gr\u00FC\u00DFe, host\n"))));

  // An option before the text shifts it in argv; the wide text must follow.
  result = run(L"raw --capacity 8 \"Gr\u00FC\u00DFe, host\"");
  EXPECT_EQ(result.exit_code, 0u) << result.err;
  EXPECT_EQ(result.out, "R|Gr\xC3\xBC\xC3\x9F" "e\n");
}

// Without Init the process knows no host directory, so the request goes to
// the root of the current drive; C: of the prefix takes it harmlessly.
TEST_F(ClientRunTest, NoInitSkipsDiscoveryWhereverItStands) {
  DeleteFileW(L"C:\\PACKETTX.DAT");
  ClientRun result = run(L"raw --no-init \"Gr\u00FC\u00DFe\"", L"C:\\");
  EXPECT_EQ(result.exit_code, 7u) << result.err;
  EXPECT_THAT(result.err, HasSubstr("status: E_TIMEOUT (7)"));
  // No discovery: the host was never started, so it logged nothing.
  EXPECT_THAT(host().log_lines(), IsEmpty());

  std::string sent;
  HANDLE file = CreateFileW(L"C:\\PACKETTX.DAT", GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char bytes[64];
  DWORD count = 0;
  ReadFile(file, bytes, sizeof bytes, &count, nullptr);
  CloseHandle(file);
  DeleteFileW(L"C:\\PACKETTX.DAT");
  EXPECT_EQ(std::string(bytes, count), to_ansi(L"Gr\u00FC\u00DFe\n"));
}

// The demo is the README's main job: every export, each step reported.
// The emulator starts with no mobiles, waypoints or fixes, as it does there.
TEST_F(ClientRunTest, DemoSucceedsInEveryStep) {
  ClientRun result = run_program(L"orvek-demo.exe", L"", host().directory());
  // Exit code 0: no step failed; the last line: it ran to the end.
  EXPECT_EQ(result.exit_code, 0u) << result.out;
  EXPECT_THAT(result.out, HasSubstr(" steps succeeded.\n"));
  // The emulator started through the shell, as the DLL found none running.
  EXPECT_THAT(host().log_lines(), Contains(HasSubstr("start pid")));
}

}  // namespace
