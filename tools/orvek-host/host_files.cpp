#include "host_files.h"

#include <windows.h>

#include "tools/common/win_text.h"

namespace orvek::host {

std::wstring executable_directory() {
  // The emulator lives under Path_EXE, which holds at most 99 characters;
  // the larger buffer only spares a second try.
  wchar_t path[MAX_PATH * 2];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring directory(path, length);
  std::size_t slash = directory.find_last_of(L"\\/");
  if (slash != std::wstring::npos) directory.resize(slash);
  return directory;
}

std::string to_utf8(const std::wstring& text) {
  return tools::narrow(CP_UTF8, text);
}

std::wstring from_ansi(const std::string& text) {
  return tools::widen(CP_ACP, text);
}

}  // namespace orvek::host
