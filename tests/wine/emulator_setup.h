// Setting up the host emulator for a Wine test program, with nothing of a
// test framework: a host directory of its own with a copy of the emulator,
// Path_EXE pointing at it, the emulator started directly (not through the
// shell) and every emulator of the prefix ended. The integration fixture
// and the heap check both build on it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "tools/common/win_process.h"

namespace orvek::winetest {

inline constexpr wchar_t kEmulatorExe[] = L"orvek-host.exe";

// A packet file's name in the host directory ("PACKETTX.DAT").
inline std::wstring protocol_file(const char16_t* name) {
  return std::wstring(reinterpret_cast<const wchar_t*>(name + 1));
}

// The directory of the running program, without a trailing backslash
// (under Wine a Z:\ path into the build tree).
std::wstring test_binary_dir();

// HKLM\...\Path_EXE: set it, or delete the value.
bool set_host_path(const std::wstring& exe_path);
bool delete_host_path();

// The emulator's window, or null.
HWND find_emulator_window();
// Ends every orvek-host.exe, windowless ones too; true when none is left.
bool stop_all_emulators(DWORD timeout_ms = 5000);

// %TEMP%\orvek-wine\<name>, short enough for Path_EXE, emptied of what an
// emulator leaves, with a copy of the emulator from beside this program
// and Path_EXE pointing at it; empty when any step fails.
std::wstring install_emulator(std::string_view name);
// Starts the emulator of `directory` and waits for its window; an empty
// process when it does not appear within `timeout_ms`.
tools::StartedProcess start_emulator(const std::wstring& directory,
                                     DWORD timeout_ms = 10000);

}  // namespace orvek::winetest
