// The subcommands of the command-line client, one table per subsystem.
#pragma once

#include <cstdint>
#include <span>

namespace orvekport_cli {

struct Command {
  const char* name;   // "query", "waypoint", ...
  const char* usage;  // "query REQUEST"
  const char* help;   // one or more lines shown by --help
  // Runs with the arguments after the name; returns the process exit code.
  int (*run)(int argc, char** argv);
};

// Each subsystem's file defines its table.
std::span<const Command> hostlink_commands();  // commands_hostlink.cpp
std::span<const Command> api_commands();       // commands_api.cpp
std::span<const Command> device_commands();    // commands_device.cpp

// Prints "status: NAME (n): meaning" and gives the status as the exit code.
int report_status(std::uint32_t status);

// Runs OrvekGPSPort_Init unless --no-init was given: each run of the client
// is a new process, and commands need a host link found in this process.
// Returns 0 or Init's status (already reported).
int ensure_host_link();

}  // namespace orvekport_cli
