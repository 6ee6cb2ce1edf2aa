// orvekport: drives the host application through OrvekPORT.dll from a
// shell or a script, one export call per run.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "tools/orvekport/arguments.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/report.h"

namespace {

using orvek::cli::Command;

// The tables in the order --help lists them.
std::span<const Command> (*const kTables[])() = {
    orvek::cli::hostlink_commands, orvek::cli::map_commands,
    orvek::cli::waypoint_commands, orvek::cli::device_commands,
    orvek::cli::host_commands,
};

const Command* find_command(const std::string& name) {
  for (auto table : kTables)
    for (const Command& command : table())
      if (name == command.name) return &command;
  return nullptr;
}

bool is_help(const std::string& argument) {
  return argument == "--help" || argument == "-h" || argument == "help";
}

// The first sentence of a command's help, rewrapped, for the overview.
std::string summary(const Command& command) {
  std::string out = "  " + std::string(command.usage) + "\n";
  std::string sentence;
  for (const char* c = command.help; *c != '\0'; ++c) {
    sentence += *c == '\n' ? ' ' : *c;
    if (*c == '.' && (c[1] == ' ' || c[1] == '\n' || c[1] == '\0')) break;
  }
  // Words into lines of at most 72 characters behind a 6-space indent.
  constexpr std::size_t kWidth = 72;
  std::size_t start = 0;
  while (start < sentence.size()) {
    std::size_t end = sentence.size();
    if (end - start > kWidth) {
      end = sentence.rfind(' ', start + kWidth);
      if (end == std::string::npos || end <= start) end = start + kWidth;
    }
    out += "      " + sentence.substr(start, end - start) + "\n";
    start = end;
    while (start < sentence.size() && sentence[start] == ' ') ++start;
  }
  return out;
}

constexpr char kUsage[] =
    "usage: orvekport [--json] [--show] [--lossy] [--force] [--no-start] "
    "COMMAND [ARGUMENTS]\n"
    "       orvekport COMMAND --help | --help | --version | -V\n";

std::string overview() {
  std::string out = kUsage;
  out +=
      "\nDrives the host application through OrvekPORT.dll, one call per run.\n"
      "Results go to stdout; the status line (\"status: NAME (n): meaning\")\n"
      "and what to do about a failure go to stderr. Texts are UTF-8 on the\n"
      "command line and in the output, and the host's ANSI code page on the\n"
      "link. Commands that send to the host run OrvekGPSPort_Init first.\n"
      "\noptions (anywhere before a \"--\"):\n"
      "  --json      one JSON object on stdout: command, exit_code, status,\n"
      "              status_name, status_meaning, fields, notes, and\n"
      "              host_answer or sent when there are\n"
      "  --show      print the request line the call sent, read back from\n"
      "              the host's request file\n"
      "  --lossy     send characters the host's code page can't hold as its\n"
      "              default character instead of refusing the text\n"
      "  --force     send what is refused as suspect: coordinates outside\n"
      "              -180..180 and -90..90, zero or negative viewport lengths,\n"
      "              waypoints that would not read back\n"
      "  --no-start  fail (exit 3) instead of starting the host when its\n"
      "              window isn't there\n"
      "\nexit codes:\n"
      "  0           success\n"
      "  1, 4 and up the status of the failed call (see 'orvekport statuses')\n"
      "  2           bad command line, or input refused before anything was\n"
      "              sent (a character outside the code page, a waypoint that\n"
      "              would not read back)\n"
      "  3           a failure with no status to give: mobiles count/list "
      "gave\n"
      "              -1, disk-free can't query, host start/stop failed,\n"
      "              --no-start without a running host\n"
      "\ncommands:\n";
  for (auto table : kTables)
    for (const Command& command : table()) out += summary(command);
  return out;
}

}  // namespace

int main() {
  // Plain line feeds: what a script under Wine or a Unix pipe expects, and
  // what a Windows console shows alike.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> arguments =
      orvek::cli::take_global_options(orvek::cli::utf8_command_line());
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if (argument == "--no-init")
      return orvek::cli::Report("--no-init")
          .refuse(
              "--no-init is gone: commands need the host link that Init makes "
              "in "
              "each run; --no-start fails instead of starting the host");
  }
  if (arguments.empty()) {
    orvek::cli::write_err(kUsage);
    return orvek::cli::kExitUsage;
  }
  if (is_help(arguments[0])) {
    orvek::cli::write_out(overview());
    return orvek::cli::kExitOk;
  }
  if (arguments[0] == "--version" || arguments[0] == "-V")
    arguments[0] = "version";
  const Command* command = find_command(arguments[0]);
  if (command == nullptr)
    return orvek::cli::Report(arguments[0])
        .refuse("unknown command '" + arguments[0] +
                "'; 'orvekport --help' lists the commands");
  if (arguments.size() == 2 && is_help(arguments[1])) {
    orvek::cli::write_out("usage: orvekport " + std::string(command->usage) +
                          "\n\n" + command->help + "\n");
    return orvek::cli::kExitOk;
  }
  return command->run(std::span<const std::string>(arguments).subspan(1));
}
