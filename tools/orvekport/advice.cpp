#include "tools/orvekport/advice.h"

#include "OrvekPORT/OrvekPORT.h"
#include "protocol/host_protocol.h"
#include "tools/common/host_log_format.h"
#include "tools/common/text.h"

namespace orvek::cli {
namespace {

// The registry view this build's DLL reads: a 32-bit program's HKLM\SOFTWARE
// is the WOW6432Node view. `wine reg` is the 32-bit reg.exe whenever 32-bit
// Wine is installed, so the hint names the view rather than trusting it.
constexpr const char* kRegistryView = sizeof(void*) == 8 ? "/reg:64" : "/reg:32";

std::string set_path_advice(System& system) {
  return "set it with 'orvekport host start FOLDER' (installs the emulator "
         "there), or point it at the host with: " + system.wine_command() +
         " reg add 'HKLM\\" +
         protocol_name(protocol::kHostRegistryKey) + "' /v " +
         protocol_name(protocol::kHostPathValue) +
         " /d 'C:\\path\\to\\host.exe' " + kRegistryView + " /f";
}

std::string log_beside(const std::string& exe) {
  return folder_of(exe) + "\\" + host::kLogFileName;
}

// The last error line of the emulator's log since its last start, whole.
std::optional<std::string> last_log_error(const std::string& log) {
  std::optional<std::string> found;
  std::string_view rest = log;
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::optional<host::LogLine> read = host::read_log_line(line);
    if (!read) continue;
    if (read->event == host::log_event::kError) found = std::string(line);
    if (read->event == host::log_event::kStart) found.reset();
  }
  return found;
}

}  // namespace

std::string protocol_name(const char16_t* name) {
  if (*name == u'\\') ++name;
  std::string text;
  for (; *name != u'\0'; ++name) text += static_cast<char>(*name);
  return text;
}

std::string host_key_text() {
  return "HKEY_LOCAL_MACHINE\\" + protocol_name(protocol::kHostRegistryKey);
}

std::string folder_of(const std::string& path) {
  std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::size_t utf16_length(const std::string& utf8) {
  return tools::utf16_of(utf8).size();
}

NoWindowFacts no_window_facts(System& system, const std::string& exe) {
  NoWindowFacts facts;
  facts.log = log_beside(exe);
  if (std::optional<std::string> log = system.read_file(facts.log))
    facts.log_error = last_log_error(*log);
  facts.wine = system.under_wine();
  facts.display = system.display_set();
  facts.graphics_driver = system.graphics_driver();
  facts.wine_command = system.wine_command();
  return facts;
}

std::vector<std::string> no_window_advice(const NoWindowFacts& facts) {
  std::vector<std::string> lines;
  if (facts.log_error)
    lines.push_back("its log '" + facts.log + "' says: " + *facts.log_error);
  bool null_driver = facts.graphics_driver == "null";
  if (facts.wine && !facts.display && !null_driver)
    lines.push_back(
        "likely cause: no display (DISPLAY is not set) and the prefix's "
        "graphics driver is not the null one; set it with: " +
        facts.wine_command +
        " reg add 'HKCU\\Software\\Wine\\Drivers' /v Graphics /d null /f");
  else if (!facts.log_error)
    lines.push_back(
        "a window needs a display: under Wine without one, the prefix needs "
        "the null graphics driver (HKCU\\Software\\Wine\\Drivers, Graphics = "
        "null); the emulator logs to '" + facts.log + "'");
  return lines;
}

void explain_link_status(std::uint32_t status, System& system, Report& report) {
  std::optional<std::string> path = system.host_path();
  std::string folder = path ? folder_of(*path) : "";
  switch (status) {
    case ORVEKPORT_E_REGISTRY:
      if (path && utf16_length(*path) > ORVEKPORT_HOST_PATH_MAX)
        report.note("Path_EXE under " + host_key_text() + " is " +
                    std::to_string(utf16_length(*path)) + " characters, " +
                    std::to_string(ORVEKPORT_HOST_PATH_MAX) +
                    " at most: move the host to a shorter path");
      else
        report.note("Path_EXE under " + host_key_text() +
                    " is not set or can't be read; " + set_path_advice(system));
      break;
    case ORVEKPORT_E_NO_HOST:
      if (!path) break;
      if (!system.exists(*path)) {
        report.note("Path_EXE is '" + *path + "', which does not exist; " +
                    set_path_advice(system));
      } else {
        report.note("started '" + *path +
                    "' (Path_EXE), but no window of class " +
                    protocol_name(protocol::kHostWindowClass) +
                    " appeared within " +
                    std::to_string(protocol::kHostStartPollMs / 1000) + " s");
        for (std::string& line : no_window_advice(no_window_facts(system, *path)))
          report.note(std::move(line));
      }
      break;
    case ORVEKPORT_E_CREATE_REQUEST:
    case ORVEKPORT_E_WRITE_REQUEST:
      report.note("the request file " +
                  protocol_name(protocol::kRequestFileName) + " in '" + folder +
                  "' can't be written: check that the folder exists and is "
                  "writable");
      break;
    case ORVEKPORT_E_TIMEOUT:
      report.note("the host in '" + folder +
                  "' did not signal its reply; is it busy or hung? "
                  "'orvekport host status' shows whether its window is there");
      break;
    case ORVEKPORT_E_OPEN_REPLY:
      report.note("the reply file " +
                  protocol_name(protocol::kReplyFileName) + " in '" + folder +
                  "' can't be opened, or the reply was too short");
      break;
    case ORVEKPORT_E_BUSY:
      report.note(
          "another program held the host link, or the host still "
          "owed an earlier answer; nothing was sent: try again");
      break;
    case ORVEKPORT_E_INVALID_ARGUMENT:
      report.note(
          "a number can't be sent: coordinates and altitude must be "
          "finite and below 2^31 in magnitude");
      break;
    default: break;
  }
}

}  // namespace orvek::cli
