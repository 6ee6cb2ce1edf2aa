// Commands of the host link: version, init, query, raw and the status
// table.
#include <cstdio>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "protocol/host_protocol.h"
#include "tools/common/orvekport_status.h"
#include "tools/common/text.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/run.h"

namespace orvek::cli {
namespace {

// The largest reply a command line may ask for; far beyond any host reply,
// small enough that the buffer is never a problem.
constexpr std::int64_t kMaxCapacity = 1 << 20;
// A query reads up to this many reply bytes unless told otherwise: room for
// any result that the host's moving-map and waypoint queries give.
constexpr std::int64_t kDefaultQueryCapacity = protocol::kReplyCapacity;
// A raw reply has at most the library's reply capacity in bytes, so at most
// as many UTF-16 units, and the terminator.
constexpr std::int64_t kDefaultRawCapacity = protocol::kReplyCapacity + 1;
static_assert(kDefaultRawCapacity <= kMaxCapacity &&
              kDefaultQueryCapacity <= kMaxCapacity);

bool capacity_ok(const char* text) {
  std::int64_t capacity = 0;
  return tools::parse_integer(text, 0, kMaxCapacity, &capacity);
}
constexpr Option kCapacity[] = {
    {"capacity", true, capacity_ok,
     "--capacity needs a number from 0 to 1048576"}};

std::int64_t capacity_of(const Run& run, std::int64_t default_capacity) {
  std::int64_t capacity = default_capacity;
  if (const char* text = run.option("capacity"))
    tools::parse_integer(text, 0, kMaxCapacity, &capacity);
  return capacity;
}

// The text a C string of `bytes` holds: up to its first NUL.
std::string_view until_nul(std::string_view bytes) {
  return bytes.substr(0, bytes.find('\0'));
}

// A result the capacity cut short, said on stderr: the call succeeds with
// what fit, so nothing else would tell. `whole` is the reply's length after
// its first "|" (for a raw request its whole length), `kept` what the
// result holds, in the same units.
void note_cut(Run& run, std::size_t kept, std::size_t whole,
              std::int64_t capacity, std::int64_t room_beyond,
              const char* units) {
  if (kept >= whole) return;
  std::string given = run.option("capacity") != nullptr
                          ? "--capacity " + std::to_string(capacity)
                          : "the default capacity, " + std::to_string(capacity);
  run.report.note("the result was cut to " + std::to_string(kept) + " " +
                  units + " by " + given + ": the host's reply holds " +
                  std::to_string(whole) + "; --capacity " +
                  std::to_string(whole + room_beyond) + " reads it whole");
}

int run_version(Run& run) {
  run.report.add(text_field("client", ORVEKPORT_CLI_VERSION));
  run.report.add(text_field("dll", run.system.library_file_version()));
  run.report.add(integer_field("interface", run.library.Version()));
  return run.report.finish(ORVEKPORT_OK);
}

int run_init(Run& run) {
  std::uint64_t start = run.system.now_ms();
  return run.call({}, [&] {
    std::uint32_t status = run.library.Init();
    if (status == ORVEKPORT_OK)
      run.report.add(integer_field(
          "elapsed_ms", static_cast<std::int64_t>(run.system.now_ms() - start)));
    return status;
  });
}

int run_query(Run& run) {
  std::int64_t capacity = capacity_of(run, kDefaultQueryCapacity);
  int refused = 0;
  std::optional<std::string> request = run.for_host(run[0], "REQUEST", &refused);
  if (!request) return refused;
  if (int exit_code = run.prepare_host(); exit_code != 0) return exit_code;
  // The result has at most capacity - 2 bytes and its NUL; one byte more
  // keeps capacity 0 and 1 safe too.
  std::vector<char> result(static_cast<std::size_t>(capacity) + 1, '\0');
  PacketWatch watch = run.watch();
  std::uint32_t status = run.library.GetString(
      request->c_str(), static_cast<std::uint32_t>(capacity), result.data());
  if (status == ORVEKPORT_OK) {
    std::string kept = result.data();
    run.report.add_bare(text_field("result", run.text.from_host(kept)));
    // The result is what follows the reply's first "|" and fits the
    // capacity with the reply's first bytes and the NUL.
    std::optional<std::string> reply = watch.fresh_reply();
    std::string_view whole = reply ? until_nul(*reply) : std::string_view();
    std::size_t bar = whole.find(protocol::kResultSeparator);
    if (bar != std::string_view::npos)
      note_cut(run, kept.size(), whole.size() - bar - 1, capacity,
               static_cast<std::int64_t>(bar) + 1, "bytes");
  }
  return run.finish(watch, status,
                    {Limit{"the query REQUEST", request->size(),
                           ORVEKPORT_COMMAND_BODY_MAX},
                     {}});
}

int run_raw(Run& run) {
  std::int64_t capacity = capacity_of(run, kDefaultRawCapacity);
  // The DLL converts the request itself; this only checks that it can.
  int refused = 0;
  std::optional<std::string> ansi = run.for_host(run[0], "TEXT", &refused);
  if (!ansi) return refused;
  std::u16string request = tools::utf16_of(run[0]);
  if (int exit_code = run.prepare_host(); exit_code != 0) return exit_code;
  std::vector<char16_t> reply(static_cast<std::size_t>(capacity) + 1, u'\0');
  PacketWatch watch = run.watch();
  std::uint32_t status = run.library.StringProtocolW(
      request.c_str(), static_cast<std::int32_t>(capacity), reply.data());
  if (status == ORVEKPORT_OK) {
    std::u16string kept = reply.data();
    run.report.add_bare(text_field("reply", tools::utf8_of(kept)));
    // The reply is converted whole, then cut to capacity - 1 units.
    if (std::optional<std::string> bytes = watch.fresh_reply()) {
      std::string read(
          until_nul(std::string_view(*bytes).substr(0, protocol::kReplyCapacity)));
      note_cut(run, kept.size(),
               tools::utf16_of(run.system.from_code_page(read)).size(),
               capacity, 1, "UTF-16 units");
    }
  }
  return run.finish(watch, status,
                    {Limit{"TEXT in the host's code page", ansi->size(),
                           ORVEKPORT_RAW_REQUEST_MAX},
                     {}});
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

int run_statuses(Run& run) {
  if (run.size() == 1) {
    std::int64_t code = 0;
    if (!tools::parse_integer(run[0], 0, UINT32_MAX, &code))
      return run.refuse_usage("CODE must be a number");
    if (std::string(orvekport_status_name(static_cast<std::uint32_t>(code))) ==
        "UNKNOWN")
      return run.refuse_usage("no status has the code " + std::string(run[0]) +
                              "; 'orvekport statuses' lists them");
    for (Field& field : status_row(static_cast<std::uint32_t>(code)))
      run.report.add(std::move(field));
    return run.report.finish(ORVEKPORT_OK);
  }
  std::vector<Fields> rows;
  std::vector<std::string> lines;
#define ORVEKPORT_CLI_STATUS_ROW(name, value, meaning) \
  rows.push_back(status_row(value));                   \
  lines.push_back(table_line(value));
  ORVEKPORT_STATUS_MAP(ORVEKPORT_CLI_STATUS_ROW)
#undef ORVEKPORT_CLI_STATUS_ROW
  run.report.add_list("statuses", rows, lines);
  run.report.note(
      "waypoint get and mobiles get also give 5 to 9 when the host's record "
      "ends before the comma after field 1 to 5; the client names which");
  return run.report.finish(ORVEKPORT_OK);
}


constexpr Command kCommands[] = {
    {"version", "version",
     "Prints the client's version, OrvekPORT.dll's file version and its\n"
     "interface version (always 3). Needs no host application. The same as\n"
     "'orvekport --version'.",
     {nullptr, 0, 0, {}, HostNeed::kNone, run_version}},
    {"init", "init",
     "Finds the host application, or starts it and waits up to 10 s for its\n"
     "window, then sends the handshake query \"0\" (OrvekGPSPort_Init).\n"
     "Prints how long that took.",
     {nullptr, 0, 0, {}, HostNeed::kWindow, run_init}},
    {"query", "query REQUEST [--capacity N]",
     "Sends the query F|REQUEST and prints the result text after the first\n"
     "'|' of the reply (OrvekGPSPort_GetString). Starts discovery by itself.\n"
     "--capacity N: read at most N reply bytes (default 1000); a result cut\n"
     "short by it is said on stderr.\n"
     "Examples: query 4 (waypoint count), query 2 (moving-map count),\n"
     "query 3,0 (position record of entry 0).",
     {nullptr, 1, 1, kCapacity, HostNeed::kWindow, run_query}},
    {"raw", "raw TEXT [--capacity N]",
     "Sends TEXT as the whole request line, without prefix, and prints the\n"
     "reply unjudged (OrvekGPSPort_StringProtocolW).\n"
     "--capacity N: room for N UTF-16 units of reply with the terminator\n"
     "(default 1001); a reply cut short by it is said on stderr. Use\n"
     "'raw -- TEXT' for a TEXT that begins with --.",
     {nullptr, 1, 1, kCapacity, HostNeed::kLink, run_raw}},
    {"statuses", "statuses [CODE]",
     "Lists the status codes and their meanings, or the one for CODE.",
     {nullptr, 0, 1, {}, HostNeed::kNone, run_statuses}},
};

}  // namespace

std::span<const Command> hostlink_commands() { return kCommands; }

}  // namespace orvek::cli
