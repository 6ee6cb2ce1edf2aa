// "host start|stop|status": the host emulator installed where the user
// chooses, registered as Path_EXE, for trying the client by hand.
#include <windows.h>

#include <string>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/poll.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_process.h"
#include "tools/common/win_text.h"
#include "tools/orvekport/arguments.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/host_side.h"
#include "tools/orvekport/report.h"

namespace orvek::cli {
namespace {

constexpr wchar_t kEmulatorExe[] = L"orvek-host.exe";
constexpr wchar_t kEmulatorLog[] = L"orvek-host.log";
constexpr wchar_t kDefaultFolder[] = L"C:\\orvek-host";
// The emulator's window shows in about 0.1 s; the library waits 10 s.
constexpr DWORD kStartTimeoutMs = 10000;
constexpr DWORD kStopTimeoutMs = 5000;

int run_host(std::span<const std::string> arguments);

constexpr Command kCommands[] = {
    {"host", "host start [FOLDER] | stop | status",
     "The host emulator for trying things by hand. start: copies\n"
     "orvek-host.exe (from beside this program) into FOLDER (a Windows path,\n"
     "default C:\\orvek-host), sets Path_EXE to it, starts it and shows its\n"
     "log file. stop: closes the running host's window. status: Path_EXE,\n"
     "whether the host's window is there, and its log.",
     run_host},
};

std::wstring own_folder() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return folder_of(std::wstring(path, length));
}

bool create_folders(const std::wstring& folder) {
  if (folder.empty()) return false;
  DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::wstring parent = folder_of(folder);
  if (!parent.empty() && parent.size() > 2) create_folders(parent);
  return CreateDirectoryW(folder.c_str(), nullptr) != FALSE ||
         GetLastError() == ERROR_ALREADY_EXISTS;
}

void add_log(Report& report, const std::wstring& folder) {
  std::wstring log = folder + L"\\" + kEmulatorLog;
  if (GetFileAttributesW(log.c_str()) != INVALID_FILE_ATTRIBUTES)
    report.add(text_field("log", utf8(log)));
}

int host_start(Report& report, const Arguments& args) {
  std::wstring folder =
      args.size() == 1 ? tools::widen(CP_UTF8, args[0]) : kDefaultFolder;
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
    folder.pop_back();
  std::wstring exe = folder + L"\\" + kEmulatorExe;
  if (exe.size() > ORVEKPORT_HOST_PATH_MAX)
    return report.refuse(
        "'" + utf8(exe) + "' is " + std::to_string(exe.size()) +
        " characters; Path_EXE may hold " +
        std::to_string(ORVEKPORT_HOST_PATH_MAX) + ": choose a shorter FOLDER");
  if (find_host_window() != nullptr)
    return report.fail(
        "a host is already running; 'orvekport host stop' "
        "first");
  std::wstring source = own_folder() + L"\\" + kEmulatorExe;
  if (GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES)
    return report.fail("the emulator '" + utf8(source) + "' is missing");
  if (!create_folders(folder))
    return report.fail("the folder '" + utf8(folder) + "' can't be created");
  if (!CopyFileW(source.c_str(), exe.c_str(), FALSE))
    return report.fail("'" + utf8(source) + "' can't be copied to '" +
                       utf8(exe) + "'");
  std::string error;
  if (!register_host_path(exe, &error))
    return report.fail("Path_EXE under " + host_key_text() +
                       " can't be set (" + error + ")");
  report.add(text_field("path_exe", utf8(exe)));

  tools::StartedProcess host =
      tools::start_process(exe, L"", folder.c_str(), tools::Streams::kDetached);
  if (!host) return report.fail("'" + utf8(exe) + "' can't be started");
  bool shown = tools::poll_until(
      [&] {
        return find_host_window() != nullptr ||
               WaitForSingleObject(host.process.get(), 0) == WAIT_OBJECT_0;
      },
      kStartTimeoutMs);
  if (!shown || find_host_window() == nullptr) {
    for (std::string& line : no_window_advice(no_window_facts(exe)))
      report.note(std::move(line));
    return report.fail("the host started but its window did not appear");
  }
  report.add(integer_field("pid", host.id));
  report.add(text_field("log", utf8(folder + L"\\" + kEmulatorLog)));
  report.note("the host runs until 'orvekport host stop'");
  return report.finish(0);
}

int host_stop(Report& report) {
  HWND window = find_host_window();
  if (window == nullptr) {
    report.note("no host was running");
    return report.finish(0);
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (!tools::poll_until([] { return find_host_window() == nullptr; },
                         kStopTimeoutMs))
    return report.fail("the host's window is still there after 5 s");
  if (std::optional<std::wstring> path = registered_host_path())
    add_log(report, folder_of(*path));
  return report.finish(0);
}

int host_status(Report& report) {
  std::optional<std::wstring> path = registered_host_path();
  report.add(text_field("path_exe", path ? utf8(*path) : ""));
  HWND window = find_host_window();
  report.add({"running", window ? "true" : "false", window ? "yes" : "no"});
  if (window != nullptr) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    report.add(integer_field("pid", id));
  }
  if (path) {
    add_log(report, folder_of(*path));
    if (GetFileAttributesW(path->c_str()) == INVALID_FILE_ATTRIBUTES)
      report.note("Path_EXE names a file that does not exist");
  } else {
    report.note("Path_EXE under " + host_key_text() +
                " is not set: 'orvekport host start' sets it");
  }
  return report.finish(0);
}

int run_host(std::span<const std::string> arguments) {
  const Command& self = kCommands[0];
  if (arguments.empty())
    return Report(self.name).refuse("start, stop or status expected",
                                    self.usage);
  const std::string& action = arguments[0];
  Report report(std::string(self.name) + " " + action);
  Arguments args(arguments.subspan(1));
  if (action == "start") {
    if (!args.finish(0, 1)) return report.refuse(args.problem(), self.usage);
    return host_start(report, args);
  }
  if (action == "stop" || action == "status") {
    if (!args.finish(0, 0)) return report.refuse(args.problem(), self.usage);
    return action == "stop" ? host_stop(report) : host_status(report);
  }
  return report.refuse("start, stop or status expected", self.usage);
}

}  // namespace

std::span<const Command> host_commands() { return kCommands; }

}  // namespace orvek::cli
