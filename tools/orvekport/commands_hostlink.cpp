// Commands of the host link: version, init, query, raw, and the status
// table; plus the helpers that every command shares.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "hostlink/status.h"
#include "tools/orvekport/arguments.h"
#include "tools/orvekport/command.h"

namespace orvekport_cli {
namespace {

// The largest reply a command line may ask for; far beyond any host reply,
// small enough that the buffer is never a problem.
constexpr std::int64_t kMaxCapacity = 1 << 20;

// A query reads up to this many reply bytes unless told otherwise: room for
// any result that the host's moving-map and waypoint queries give.
constexpr std::int64_t kDefaultQueryCapacity = 1000;

// A raw reply has at most 1000 bytes, so at most 1000 UTF-16 units and the
// terminator.
constexpr std::int64_t kDefaultRawCapacity = 1001;

// Reads "--capacity N" into *capacity when given; false when N is not a
// number from 0 to kMaxCapacity.
constexpr char kCapacityProblem[] = "--capacity needs a number from 0 to 1048576";
bool take_capacity(Arguments& args, std::int64_t* capacity) {
  const char* text = args.take_option("capacity");
  return text == nullptr || parse_integer(text, 0, kMaxCapacity, capacity);
}

// Prints a host text on its own line, adding a line end only when the host
// did not end it with one.
void print_result(const char* text) {
  std::fputs(text, stdout);
  std::size_t length = std::strlen(text);
  if (length == 0 || text[length - 1] != '\n') std::fputc('\n', stdout);
}

int run_version(int argc, char** argv);
int run_init(int argc, char** argv);
int run_query(int argc, char** argv);
int run_raw(int argc, char** argv);
int run_statuses(int argc, char** argv);

enum CommandIndex { kVersion, kInit, kQuery, kRaw, kStatuses };

constexpr Command kCommands[] = {
    {"version", "version",
     "Prints the interface version of OrvekPORT.dll (always 3).\n"
     "Needs no host application.",
     run_version},
    {"init", "init",
     "Finds the host application, or starts it and waits up to 10 s for its\n"
     "window, then sends the handshake query \"0\" (OrvekGPSPort_Init).\n"
     "Prints how long that took.",
     run_init},
    {"query", "query REQUEST [--capacity N]",
     "Sends the query F|REQUEST and prints the result text after the first\n"
     "'|' of the reply (OrvekGPSPort_GetString). Starts discovery by itself.\n"
     "--capacity N: read at most N reply bytes (default 1000).\n"
     "Examples: query 4 (waypoint count), query 2 (moving-map count),\n"
     "query 3,0 (position record of entry 0).",
     run_query},
    {"raw", "raw TEXT [--capacity N]",
     "Sends TEXT as the whole request line, without prefix, and prints the\n"
     "reply unjudged (OrvekGPSPort_StringProtocolW). TEXT is taken as UTF-16\n"
     "from the command line and converted to the ANSI code page.\n"
     "--capacity N: room for N UTF-16 units of reply with the terminator\n"
     "(default 1001). Use 'raw -- TEXT' for a TEXT that begins with --.",
     run_raw},
    {"statuses", "statuses [CODE]",
     "Lists the status codes and their meanings, or the one for CODE.",
     run_statuses},
};

int run_version(int argc, char** argv) {
  Arguments args(argc, argv);
  if (!args.finish(0, 0))
    return usage_error(kCommands[kVersion], args.problem().c_str());
  std::printf("%u\n", static_cast<unsigned>(OrvekGPSPort_Version()));
  return 0;
}

int run_init(int argc, char** argv) {
  Arguments args(argc, argv);
  if (!args.finish(0, 0))
    return usage_error(kCommands[kInit], args.problem().c_str());
  ULONGLONG start = GetTickCount64();
  std::uint32_t status = OrvekGPSPort_Init();
  std::printf("init took %llu ms\n",
              static_cast<unsigned long long>(GetTickCount64() - start));
  return report_status(status);
}

int run_query(int argc, char** argv) {
  const Command& self = kCommands[kQuery];
  Arguments args(argc, argv);
  std::int64_t capacity = kDefaultQueryCapacity;
  if (!take_capacity(args, &capacity))
    return usage_error(self, kCapacityProblem);
  if (!args.finish(1, 1)) return usage_error(self, args.problem().c_str());

  // The result has at most capacity - 2 bytes and its NUL; one byte more
  // keeps capacity 0 and 1 safe too.
  std::vector<char> result(static_cast<std::size_t>(capacity) + 1, '\0');
  std::uint32_t status = OrvekGPSPort_GetString(
      args[0], static_cast<std::uint32_t>(capacity), result.data());
  if (status == ORVEKPORT_OK) print_result(result.data());
  return report_status(status);
}

int run_raw(int argc, char** argv) {
  const Command& self = kCommands[kRaw];
  Arguments args(argc, argv);
  std::int64_t capacity = kDefaultRawCapacity;
  if (!take_capacity(args, &capacity))
    return usage_error(self, kCapacityProblem);
  if (!args.finish(1, 1)) return usage_error(self, args.problem().c_str());

  std::vector<std::wstring> wide = wide_arguments();
  std::wstring request;
  if (args.argv_index(0) < wide.size()) {
    request = wide[args.argv_index(0)];
  } else {
    // The CRT and the shell split a command line slightly differently in
    // rare quoting cases; fall back to the ANSI argument then.
    int units = MultiByteToWideChar(CP_ACP, 0, args[0], -1, nullptr, 0);
    request.assign(static_cast<std::size_t>(units > 0 ? units : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, args[0], -1, request.data(), units);
    request.resize(request.size() - 1);
  }

  if (int status = ensure_host_link(); status != 0) return status;
  std::vector<wchar_t> reply(static_cast<std::size_t>(capacity) + 1, L'\0');
  std::uint32_t status = OrvekGPSPort_StringProtocolW(
      request.c_str(), static_cast<std::int32_t>(capacity), reply.data());
  if (status == ORVEKPORT_OK) {
    std::wstring text(reply.data());
    if (text.empty() || text.back() != L'\n') text += L'\n';
    print_wide(text);
  }
  return report_status(status);
}

int run_statuses(int argc, char** argv) {
  const Command& self = kCommands[kStatuses];
  Arguments args(argc, argv);
  if (!args.finish(0, 1)) return usage_error(self, args.problem().c_str());
  if (args.size() == 1) {
    std::int64_t code = 0;
    if (!parse_integer(args[0], 0, UINT32_MAX, &code))
      return usage_error(self, "CODE must be a number");
    auto status = static_cast<std::uint32_t>(code);
    std::printf("%u %s: %s\n", status, orvek::status_name(status),
                orvek::status_meaning(status));
    return 0;
  }
#define ORVEKPORT_CLI_STATUS_ROW(name, value, meaning) \
  std::printf("%2d %-20s %s\n", value, #name, meaning);
  ORVEKPORT_STATUS_MAP(ORVEKPORT_CLI_STATUS_ROW)
#undef ORVEKPORT_CLI_STATUS_ROW
  std::printf(
      "\nOrvekGPSPort_GetMovingMapPosition and OrvekGPSPort_Get_Waypoint also\n"
      "give 5 to 9 when a record ends before the comma after field 1 to 5.\n");
  return 0;
}

}  // namespace

std::span<const Command> hostlink_commands() { return kCommands; }

int report_status(std::uint32_t status) {
  std::fflush(stdout);
  std::fprintf(stderr, "status: %s (%u): %s\n", orvek::status_name(status),
               static_cast<unsigned>(status), orvek::status_meaning(status));
  return static_cast<int>(status);
}

int ensure_host_link() {
  if (global_options().no_init) return 0;
  std::uint32_t status = OrvekGPSPort_Init();
  if (status != ORVEKPORT_OK) return report_status(status);
  return 0;
}

}  // namespace orvekport_cli
