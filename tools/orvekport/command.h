// The subcommands of the command-line client, one table per subsystem.
#pragma once

#include <span>
#include <string>

namespace orvek::cli {

struct Command {
  const char* name;   // "query", "waypoint", ...
  const char* usage;  // "query REQUEST"
  const char* help;   // one or more lines shown by --help
  // Runs with the arguments after the name (UTF-8); returns the exit code.
  int (*run)(std::span<const std::string> arguments);
};

// Each subsystem's file defines its table.
std::span<const Command> hostlink_commands();  // commands_hostlink.cpp
std::span<const Command> map_commands();       // commands_map.cpp
std::span<const Command> waypoint_commands();  // commands_waypoints.cpp
std::span<const Command> device_commands();    // commands_device.cpp
std::span<const Command> host_commands();      // commands_host.cpp

}  // namespace orvek::cli
