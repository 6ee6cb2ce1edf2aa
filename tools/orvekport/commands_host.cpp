// "host start|stop|status": the host emulator installed where the user
// chooses, registered as Path_EXE, for trying the client by hand.
#include <string>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/host_log_format.h"
#include "tools/orvekport/advice.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/run.h"

namespace orvek::cli {
namespace {

constexpr char kEmulatorExe[] = "orvek-host.exe";
constexpr char kDefaultFolder[] = "C:\\orvek-host";
// The emulator's window shows in about 0.1 s; the library waits 10 s.
constexpr std::uint32_t kStartTimeoutMs = 10000;
constexpr std::uint32_t kStopTimeoutMs = 5000;

bool create_folders(System& system, const std::string& folder) {
  if (folder.empty()) return false;
  if (system.exists(folder)) return system.is_directory(folder);
  std::string parent = folder_of(folder);
  if (!parent.empty() && parent.size() > 2) create_folders(system, parent);
  return system.create_directory(folder);
}

std::string log_in(const std::string& folder) {
  return folder + "\\" + host::kLogFileName;
}

void add_log(Run& run, const std::string& folder) {
  if (run.system.exists(log_in(folder)))
    run.report.add(text_field("log", log_in(folder)));
}

int host_start(Run& run) {
  std::string folder = run.size() == 1 ? run[0] : kDefaultFolder;
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
    folder.pop_back();
  std::string exe = folder + "\\" + kEmulatorExe;
  if (utf16_length(exe) > ORVEKPORT_HOST_PATH_MAX)
    return run.refuse("'" + exe + "' is " + std::to_string(utf16_length(exe)) +
                      " characters; Path_EXE may hold " +
                      std::to_string(ORVEKPORT_HOST_PATH_MAX) +
                      ": choose a shorter FOLDER");
  System& system = run.system;
  if (system.host_window_open())
    return run.report.fail(
        "a host is already running; 'orvekport host stop' "
        "first");
  std::string source = system.own_folder() + "\\" + kEmulatorExe;
  if (!system.exists(source))
    return run.report.fail("the emulator '" + source + "' is missing");
  if (!create_folders(system, folder))
    return run.report.fail("the folder '" + folder + "' can't be created");
  if (!system.copy_file(source, exe))
    return run.report.fail("'" + source + "' can't be copied to '" + exe + "'");
  std::string error;
  if (!system.set_host_path(exe, &error))
    return run.report.fail("Path_EXE under " + host_key_text() +
                           " can't be set (" + error + ")");
  run.report.add(text_field("path_exe", exe));

  std::unique_ptr<StartedProgram> host = system.start_program(exe, folder);
  if (!host) return run.report.fail("'" + exe + "' can't be started");
  bool shown = poll_until(
      system, [&] { return system.host_window_open() || host->ended(); },
      kStartTimeoutMs);
  if (!shown || !system.host_window_open()) {
    for (std::string& line : no_window_advice(no_window_facts(system, exe)))
      run.report.note(std::move(line));
    return run.report.fail("the host started but its window did not appear");
  }
  run.report.add(integer_field("pid", host->id()));
  run.report.add(text_field("log", log_in(folder)));
  run.report.note("the host runs until 'orvekport host stop'");
  return run.report.finish(0);
}

int host_stop(Run& run) {
  System& system = run.system;
  if (!system.host_window_open()) {
    run.report.note("no host was running");
    return run.report.finish(0);
  }
  system.close_host_window();
  if (!poll_until(system, [&] { return !system.host_window_open(); },
                  kStopTimeoutMs))
    return run.report.fail("the host's window is still there after 5 s");
  if (std::optional<std::string> path = system.host_path())
    add_log(run, folder_of(*path));
  return run.report.finish(0);
}

int host_status(Run& run) {
  System& system = run.system;
  std::optional<std::string> path = system.host_path();
  run.report.add(text_field("path_exe", path.value_or("")));
  bool running = system.host_window_open();
  run.report.add({"running", running ? "true" : "false", running ? "yes" : "no"});
  if (running) run.report.add(integer_field("pid", system.host_window_process()));
  if (path) {
    add_log(run, folder_of(*path));
    if (!system.exists(*path))
      run.report.note("Path_EXE names a file that does not exist");
  } else {
    run.report.note("Path_EXE under " + host_key_text() +
                    " is not set: 'orvekport host start' sets it");
  }
  return run.report.finish(0);
}

constexpr Action kActions[] = {
    {"host start", 0, 1, {}, HostNeed::kNone, host_start},
    {"host stop", 0, 0, {}, HostNeed::kNone, host_stop},
    {"host status", 0, 0, {}, HostNeed::kNone, host_status},
};

constexpr Command kCommands[] = {
    {"host", "host start [FOLDER] | stop | status",
     "The host emulator for trying things by hand. start: copies\n"
     "orvek-host.exe (from beside this program) into FOLDER (a Windows path,\n"
     "default C:\\orvek-host), sets Path_EXE to it, starts it and shows its\n"
     "log file. stop: closes the running host's window. status: Path_EXE,\n"
     "whether the host's window is there, and its log.",
     {}, kActions, "start, stop or status expected"},
};

}  // namespace

std::span<const Command> host_commands() { return kCommands; }

}  // namespace orvek::cli
