// What the client tells a user about a failure beyond its status: where
// the library looks for the host and how to set it, why a host that started
// showed no window, what a status means for this host. Plain C++; the
// facts come from the System.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/orvekport/report.h"
#include "tools/orvekport/seam.h"

namespace orvek::cli {

// A name of the link as text, for messages: "ORVEKPOCKETMAINW"; a packet
// file's name without its leading backslash, "PACKETTX.DAT".
std::string protocol_name(const char16_t* name);
// Where the library looks for the host application, for messages:
// "HKEY_LOCAL_MACHINE\SOFTWARE\...".
std::string host_key_text();
// The folder of a Windows path, without the trailing backslash.
std::string folder_of(const std::string& path);
// How many UTF-16 units `utf8` takes, the unit of Path_EXE's limit.
std::size_t utf16_length(const std::string& utf8);

// What may explain a host that started but showed no window: the emulator's
// log beside it, Wine, the display and the prefix's graphics driver.
struct NoWindowFacts {
  std::string log;                       // where the emulator would log
  std::optional<std::string> log_error;  // its last error line since start
  bool wine = false;
  bool display = false;         // DISPLAY is set
  std::string graphics_driver;  // HKCU\Software\Wine\Drivers Graphics
  std::string wine_command = "wine";  // how a shell here starts Wine
};
NoWindowFacts no_window_facts(System& system, const std::string& exe);
// Notes for the user: the log's error, and the likely cause.
std::vector<std::string> no_window_advice(const NoWindowFacts& facts);

// The advice for a status that says nothing of a reply: the registry key
// and how to set it, the path tried, what to check.
void explain_link_status(std::uint32_t status, System& system, Report& report);

}  // namespace orvek::cli
