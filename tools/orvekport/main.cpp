// orvekport: drives the host application through OrvekPORT.dll from a
// shell or a script, one export call per run.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <span>
#include <string>

#include "tools/orvekport/arguments.h"
#include "tools/orvekport/command.h"

namespace {

using orvekport_cli::Command;

// The three tables in the order --help lists them.
std::span<const Command> (*const kTables[])() = {
    orvekport_cli::hostlink_commands,
    orvekport_cli::api_commands,
    orvekport_cli::device_commands,
};

const Command* find_command(const char* name) {
  for (auto table : kTables)
    for (const Command& command : table())
      if (std::strcmp(command.name, name) == 0) return &command;
  return nullptr;
}

bool is_help(const char* argument) {
  return std::strcmp(argument, "--help") == 0 ||
         std::strcmp(argument, "-h") == 0;
}

// The first sentence of a command's help, rewrapped, for the overview.
void print_summary(const Command& command) {
  std::printf("  %s\n", command.usage);
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
    std::printf("      %s\n", sentence.substr(start, end - start).c_str());
    start = end;
    while (start < sentence.size() && sentence[start] == ' ') ++start;
  }
}

void print_usage(std::FILE* out) {
  std::fprintf(out,
               "usage: orvekport [--no-init] COMMAND [ARGUMENTS]\n"
               "       orvekport COMMAND --help\n");
}

void print_overview() {
  print_usage(stdout);
  std::printf(
      "\nDrives the host application through OrvekPORT.dll. Results go to\n"
      "stdout; the status line (\"status: NAME (n): meaning\") goes to\n"
      "stderr, and the exit code is the status (2: bad command line).\n"
      "Commands that send to the host run OrvekGPSPort_Init first, since\n"
      "every run is a new process; --no-init skips that.\n"
      "\ncommands:\n");
  for (auto table : kTables)
    for (const Command& command : table()) print_summary(command);
}

}  // namespace

int main(int argc, char** argv) {
  // Plain line feeds: what a script under Wine or a Unix pipe expects, and
  // what a Windows console shows alike.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  argc = orvekport_cli::take_global_options(argc, argv);
  if (argc < 2) {
    print_usage(stderr);
    return orvekport_cli::kUsageExit;
  }
  if (is_help(argv[1]) || std::strcmp(argv[1], "help") == 0) {
    print_overview();
    return 0;
  }
  const Command* command = find_command(argv[1]);
  if (command == nullptr) {
    std::fprintf(stderr, "orvekport: unknown command '%s'\n", argv[1]);
    print_usage(stderr);
    std::fprintf(stderr, "run 'orvekport --help' for the list of commands\n");
    return orvekport_cli::kUsageExit;
  }
  if (argc == 3 && is_help(argv[2])) {
    std::printf("usage: orvekport %s\n\n%s\n", command->usage, command->help);
    return 0;
  }
  return command->run(argc - 2, argv + 2);
}
