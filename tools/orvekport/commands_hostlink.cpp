// Commands of the host link: version, init, query, raw and the status
// table.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/orvekport_status.h"
#include "tools/common/win_text.h"
#include "tools/orvekport/arguments.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/host_side.h"
#include "tools/orvekport/report.h"

namespace orvek::cli {
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
constexpr std::size_t kMaxQueryRequest = ORVEKPORT_COMMAND_BODY_MAX;
constexpr std::size_t kMaxRawRequest = ORVEKPORT_RAW_REQUEST_MAX;

int run_version(std::span<const std::string> arguments);
int run_init(std::span<const std::string> arguments);
int run_query(std::span<const std::string> arguments);
int run_raw(std::span<const std::string> arguments);
int run_statuses(std::span<const std::string> arguments);

enum CommandIndex { kVersion, kInit, kQuery, kRaw, kStatuses };

constexpr Command kCommands[] = {
    {"version", "version",
     "Prints the client's version, OrvekPORT.dll's file version and its\n"
     "interface version (always 3). Needs no host application. The same as\n"
     "'orvekport --version'.",
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
     "reply unjudged (OrvekGPSPort_StringProtocolW).\n"
     "--capacity N: room for N UTF-16 units of reply with the terminator\n"
     "(default 1001). Use 'raw -- TEXT' for a TEXT that begins with --.",
     run_raw},
    {"statuses", "statuses [CODE]",
     "Lists the status codes and their meanings, or the one for CODE.",
     run_statuses},
};

bool take_capacity(Arguments& args, std::int64_t* capacity) {
  const char* text = args.take_option("capacity");
  return text == nullptr || parse_integer(text, 0, kMaxCapacity, capacity);
}
constexpr char kCapacityProblem[] =
    "--capacity needs a number from 0 to 1048576";

// "1.1.0.0" from the DLL's version resource, or "unknown" without one.
std::string dll_file_version() {
  wchar_t path[MAX_PATH];
  HMODULE dll = GetModuleHandleW(L"OrvekPORT.dll");
  if (dll == nullptr || GetModuleFileNameW(dll, path, MAX_PATH) == 0)
    return "unknown";
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return "unknown";
  std::vector<unsigned char> block(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT info_size = 0;
  if (!GetFileVersionInfoW(path, 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info),
                      &info_size) ||
      info == nullptr || info_size < sizeof *info)
    return "unknown";
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionLS));
}

int run_version(std::span<const std::string> arguments) {
  const Command& self = kCommands[kVersion];
  Report report(self.name);
  Arguments args(arguments);
  if (!args.finish(0, 0)) return report.refuse(args.problem(), self.usage);
  report.add(text_field("client", ORVEKPORT_CLI_VERSION));
  report.add(text_field("dll", dll_file_version()));
  report.add(integer_field("interface", OrvekGPSPort_Version()));
  return report.finish(ORVEKPORT_OK);
}

int run_init(std::span<const std::string> arguments) {
  const Command& self = kCommands[kInit];
  Report report(self.name);
  Arguments args(arguments);
  if (!args.finish(0, 0)) return report.refuse(args.problem(), self.usage);
  if (int exit_code = refuse_to_start(report); exit_code != 0) return exit_code;
  ULONGLONG start = GetTickCount64();
  HostCall call(report);
  std::uint32_t status = OrvekGPSPort_Init();
  if (status == ORVEKPORT_OK)
    report.add(integer_field(
        "elapsed_ms", static_cast<std::int64_t>(GetTickCount64() - start)));
  return call.finish(status);
}

int run_query(std::span<const std::string> arguments) {
  const Command& self = kCommands[kQuery];
  Report report(self.name);
  Arguments args(arguments);
  std::int64_t capacity = kDefaultQueryCapacity;
  if (!take_capacity(args, &capacity))
    return report.refuse(kCapacityProblem, self.usage);
  if (!args.finish(1, 1)) return report.refuse(args.problem(), self.usage);
  std::string problem;
  std::optional<std::string> request = to_host(args[0], "REQUEST", &problem);
  if (!request) return report.refuse(problem);

  if (int exit_code = refuse_to_start(report); exit_code != 0) return exit_code;
  // The result has at most capacity - 2 bytes and its NUL; one byte more
  // keeps capacity 0 and 1 safe too.
  std::vector<char> result(static_cast<std::size_t>(capacity) + 1, '\0');
  HostCall call(report);
  call.set_limit({"the query REQUEST", request->size(), kMaxQueryRequest});
  std::uint32_t status = OrvekGPSPort_GetString(
      request->c_str(), static_cast<std::uint32_t>(capacity), result.data());
  if (status == ORVEKPORT_OK)
    report.add_bare(text_field("result", from_host(result.data())));
  return call.finish(status);
}

int run_raw(std::span<const std::string> arguments) {
  const Command& self = kCommands[kRaw];
  Report report(self.name);
  Arguments args(arguments);
  std::int64_t capacity = kDefaultRawCapacity;
  if (!take_capacity(args, &capacity))
    return report.refuse(kCapacityProblem, self.usage);
  if (!args.finish(1, 1)) return report.refuse(args.problem(), self.usage);
  // The DLL converts the request itself; this only checks that it can.
  std::string problem;
  std::optional<std::string> ansi = to_host(args[0], "TEXT", &problem);
  if (!ansi) return report.refuse(problem);
  std::wstring request = tools::widen(CP_UTF8, args[0]);

  if (int exit_code = ensure_host_link(report); exit_code != 0)
    return exit_code;
  std::vector<wchar_t> reply(static_cast<std::size_t>(capacity) + 1, L'\0');
  HostCall call(report);
  call.set_limit(
      {"TEXT in the host's code page", ansi->size(), kMaxRawRequest});
  std::uint32_t status = OrvekGPSPort_StringProtocolW(
      request.c_str(), static_cast<std::int32_t>(capacity), reply.data());
  if (status == ORVEKPORT_OK)
    report.add_bare(text_field("reply", tools::narrow(CP_UTF8, reply.data())));
  return call.finish(status);
}

Fields status_row(std::uint32_t code) {
  return {integer_field("code", code),
          text_field("name", orvekport_status_name(code)),
          text_field("meaning", orvekport_status_meaning(code))};
}

// " 7 E_TIMEOUT            no reply signal from the host within 3000 ms"
std::string table_line(std::uint32_t code) {
  char line[256];
  std::snprintf(line, sizeof line, "%2u %-20s %s", static_cast<unsigned>(code),
                orvekport_status_name(code), orvekport_status_meaning(code));
  return line;
}

int run_statuses(std::span<const std::string> arguments) {
  const Command& self = kCommands[kStatuses];
  Report report(self.name);
  Arguments args(arguments);
  if (!args.finish(0, 1)) return report.refuse(args.problem(), self.usage);
  if (args.size() == 1) {
    std::int64_t code = 0;
    if (!parse_integer(args[0], 0, UINT32_MAX, &code))
      return report.refuse("CODE must be a number", self.usage);
    if (std::string(orvekport_status_name(static_cast<std::uint32_t>(code))) ==
        "UNKNOWN")
      return report.refuse("no status has the code " + std::string(args[0]) +
                               "; 'orvekport statuses' lists them",
                           self.usage);
    for (Field& field : status_row(static_cast<std::uint32_t>(code)))
      report.add(std::move(field));
    return report.finish(ORVEKPORT_OK);
  }
  std::vector<Fields> rows;
  std::vector<std::string> lines;
#define ORVEKPORT_CLI_STATUS_ROW(name, value, meaning) \
  rows.push_back(status_row(value));                   \
  lines.push_back(table_line(value));
  ORVEKPORT_STATUS_MAP(ORVEKPORT_CLI_STATUS_ROW)
#undef ORVEKPORT_CLI_STATUS_ROW
  report.add_list("statuses", rows, lines);
  report.note(
      "waypoint get and mobiles get also give 5 to 9 when the host's record "
      "ends before the comma after field 1 to 5; the client names which");
  return report.finish(ORVEKPORT_OK);
}

}  // namespace

std::span<const Command> hostlink_commands() { return kCommands; }

}  // namespace orvek::cli
