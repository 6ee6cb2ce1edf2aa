// Child processes for the tools and the Wine tests: start one, or run one
// to its end with its output caught in files.
#pragma once

#include <windows.h>

#include <string>

#include "tools/common/win_files.h"
#include "tools/common/win_handle.h"

namespace orvek::tools {

struct StartedProcess {
  ObjectHandle process;
  DWORD id = 0;
  explicit operator bool() const { return static_cast<bool>(process); }
};

// How a started program's standard streams are set up.
enum class Streams {
  kOurs,      // it shares ours
  kGiven,     // the `out` and `err` handles, inherited
  kDetached,  // none: a program that outlives us holds no pipe of our caller
};

// Starts `exe` with `arguments` (already quoted as the program expects) in
// `directory` (null: ours).
inline StartedProcess start_process(const std::wstring& exe,
                                    const std::wstring& arguments,
                                    const wchar_t* directory,
                                    Streams streams = Streams::kOurs,
                                    HANDLE out = nullptr,
                                    HANDLE err = nullptr) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  bool redirect = streams == Streams::kGiven;
  DWORD flags = 0;
  if (streams != Streams::kOurs) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = redirect ? nullptr : INVALID_HANDLE_VALUE;
    startup.hStdOutput = redirect ? out : INVALID_HANDLE_VALUE;
    startup.hStdError = redirect ? err : INVALID_HANDLE_VALUE;
  }
  if (streams == Streams::kDetached) flags = DETACHED_PROCESS;
  std::wstring command_line = L"\"" + exe + L"\"";
  if (!arguments.empty()) command_line += L" " + arguments;
  PROCESS_INFORMATION info{};
  StartedProcess started;
  if (!CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr,
                      redirect, flags, nullptr, directory, &startup, &info))
    return started;
  ObjectHandle thread = object_handle(info.hThread);
  started.process = object_handle(info.hProcess);
  started.id = info.dwProcessId;
  return started;
}

struct ProcessRun {
  bool started = false;
  bool finished = false;  // false: killed after the time limit
  DWORD exit_code = 0;
  std::string out;
  std::string err;
};

// Runs `exe` to its end, its stdout and stderr caught in `scratch`\run.out
// and run.err; a run past `timeout_ms` is terminated (finished false).
inline ProcessRun run_process(const std::wstring& exe,
                              const std::wstring& arguments,
                              const std::wstring& scratch, DWORD timeout_ms,
                              const wchar_t* directory = nullptr) {
  ProcessRun run;
  const std::wstring out_path = scratch + L"\\run.out";
  const std::wstring err_path = scratch + L"\\run.err";
  {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    auto create = [&](const std::wstring& path) {
      return file_handle(CreateFileW(
          path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
          &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    };
    FileHandle out = create(out_path);
    FileHandle err = create(err_path);
    if (!out || !err) return run;
    StartedProcess child = start_process(exe, arguments, directory,
                                         Streams::kGiven, out.get(), err.get());
    if (!child) return run;
    run.started = true;
    run.finished =
        WaitForSingleObject(child.process.get(), timeout_ms) == WAIT_OBJECT_0;
    if (!run.finished) {
      TerminateProcess(child.process.get(), 1);
      WaitForSingleObject(child.process.get(), 5000);
    }
    GetExitCodeProcess(child.process.get(), &run.exit_code);
  }
  run.out = read_whole_file(out_path).value_or("");
  run.err = read_whole_file(err_path).value_or("");
  return run;
}

}  // namespace orvek::tools
