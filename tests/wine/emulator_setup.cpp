#include "emulator_setup.h"

#include <tlhelp32.h>

#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "protocol/host_protocol.h"
#include "tools/common/host_log_format.h"
#include "tools/common/poll.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_text.h"

namespace orvek::winetest {
namespace {

using tools::as_wide;
using tools::poll_until;

// Every running orvek-host.exe, by process id.
std::vector<DWORD> emulator_process_ids() {
  std::vector<DWORD> ids;
  tools::FileHandle snapshot =
      tools::file_handle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry))
    if (_wcsicmp(entry.szExeFile, kEmulatorExe) == 0)
      ids.push_back(entry.th32ProcessID);
  return ids;
}

// A directory for `name` whose emulator path fits Path_EXE, made and
// emptied of what an emulator leaves.
std::wstring fresh_install_directory(std::string_view name) {
  wchar_t temp[MAX_PATH];
  std::wstring base(temp, GetTempPathW(MAX_PATH, temp));
  base += L"orvek-wine";
  std::size_t room =
      ORVEKPORT_HOST_PATH_MAX - base.size() - std::size(kEmulatorExe) - 1;
  std::wstring directory =
      base + L"\\" + tools::widen(CP_ACP, name.substr(0, room));
  CreateDirectoryW(base.c_str(), nullptr);
  CreateDirectoryW(directory.c_str(), nullptr);
  for (const std::wstring& file :
       {tools::widen(CP_UTF8, host::kLogFileName),
        tools::widen(CP_UTF8, host::kFaultFileName),
        tools::widen(CP_UTF8, host::kMobileSeedFileName),
        protocol_file(protocol::kRequestFileName),
        protocol_file(protocol::kReplyFileName),
        protocol_file(protocol::kLinkFileName)})
    DeleteFileW((directory + L"\\" + file).c_str());
  return directory;
}

}  // namespace

std::wstring test_binary_dir() {
  wchar_t path[MAX_PATH * 2];
  std::wstring directory(path, GetModuleFileNameW(nullptr, path, MAX_PATH * 2));
  return directory.substr(0, directory.find_last_of(L'\\'));
}

bool set_host_path(const std::wstring& exe_path) {
  return RegSetKeyValueW(
             HKEY_LOCAL_MACHINE, as_wide(protocol::kHostRegistryKey),
             as_wide(protocol::kHostPathValue), REG_SZ, exe_path.c_str(),
             static_cast<DWORD>((exe_path.size() + 1) * sizeof(wchar_t))) ==
         ERROR_SUCCESS;
}

bool delete_host_path() {
  LONG result = RegDeleteKeyValueW(HKEY_LOCAL_MACHINE,
                                   as_wide(protocol::kHostRegistryKey),
                                   as_wide(protocol::kHostPathValue));
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

HWND find_emulator_window() {
  return FindWindowW(as_wide(protocol::kHostWindowClass), nullptr);
}

bool stop_all_emulators(DWORD timeout_ms) {
  for (DWORD id : emulator_process_ids()) {
    tools::ObjectHandle process = tools::object_handle(
        OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (process && TerminateProcess(process.get(), 99))
      WaitForSingleObject(process.get(), timeout_ms);
  }
  return poll_until(
      [] { return !find_emulator_window() && emulator_process_ids().empty(); },
      timeout_ms);
}

std::wstring install_emulator(std::string_view name) {
  std::wstring directory = fresh_install_directory(name);
  std::wstring exe = directory + L"\\" + kEmulatorExe;
  if (!CopyFileW((test_binary_dir() + L"\\" + kEmulatorExe).c_str(),
                 exe.c_str(), FALSE) ||
      !set_host_path(exe))
    return {};
  return directory;
}

tools::StartedProcess start_emulator(const std::wstring& directory,
                                     DWORD timeout_ms) {
  tools::StartedProcess host = tools::start_process(
      directory + L"\\" + kEmulatorExe, L"", directory.c_str());
  // Its own window, not one another emulator left.
  auto shown = [&] {
    DWORD owner = 0;
    GetWindowThreadProcessId(find_emulator_window(), &owner);
    return owner == host.id;
  };
  if (host && !poll_until(shown, timeout_ms)) {
    TerminateProcess(host.process.get(), 1);
    return tools::StartedProcess();
  }
  return host;
}

}  // namespace orvek::winetest
