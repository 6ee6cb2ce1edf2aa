// The client's commands as a table: one row per thing a run does ("query",
// "waypoint add"), saying its words, positionals, options, what it needs
// of the host and the function that does it, under the help of the command
// it belongs to. One runner (run.h) parses, refuses with exit 2, sets up
// the host link and reports for every row; a command is a row and a
// function. Plain C++.
#pragma once

#include <cstddef>
#include <span>

namespace orvek::cli {

class Run;

// What a row needs of the host before its call.
enum class HostNeed {
  kNone,    // nothing: the device services, the status table, host start...
  kWindow,  // its call finds or starts the host itself (a query, Init,
            // moving-map init): with --no-start only a running one will do
  kLink,    // a command letter: OrvekGPSPort_Init first, since each run is
            // a new process and commands need a host link found in it
};

struct Option {
  const char* name;  // "capacity" for --capacity
  bool takes_value;
  // Checked as soon as it is taken, before the positionals are counted:
  // false refuses the run with `problem`. None: the function checks it.
  bool (*check)(const char* value) = nullptr;
  const char* problem = nullptr;
};

struct Action {
  // "waypoint add": the command, then its action; null for a command's own.
  const char* words;
  std::size_t min_positionals = 0, max_positionals = 0;
  std::span<const Option> options;
  HostNeed need = HostNeed::kNone;
  // Runs with the options taken and the positionals counted; returns the
  // exit code, having printed the report.
  int (*run)(Run& run) = nullptr;
};

// A command as --help shows it, and what it does: its own action, or
// actions named by a second word.
struct Command {
  const char* name;   // "waypoint"
  const char* usage;  // "waypoint add ID ... | delete ID | ..."
  const char* help;   // lines shown by COMMAND --help; the first sentence
                      // is the overview's
  Action action;      // a command without actions of its own
  std::span<const Action> actions = {};
  // For commands with actions: the refusal when none or an unknown one is
  // given, "add, delete, count, get, list, import or export expected".
  const char* actions_expected = nullptr;
};

// Each subsystem's file defines its commands.
std::span<const Command> hostlink_commands();  // commands_hostlink.cpp
std::span<const Command> map_commands();       // commands_map.cpp
std::span<const Command> waypoint_commands();  // commands_waypoints.cpp
std::span<const Command> device_commands();    // commands_device.cpp
std::span<const Command> host_commands();      // commands_host.cpp

}  // namespace orvek::cli
