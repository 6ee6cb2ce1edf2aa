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

std::optional<std::string> read_whole_file(const std::wstring& path) {
  HANDLE file = CreateFileW(
      path.c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  DWORD count = 0;
  bool ok = true;
  while ((ok = ReadFile(file, chunk, sizeof chunk, &count, nullptr) != FALSE) &&
         count > 0)
    bytes.append(chunk, count);
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return bytes;
}

bool write_whole_file(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                      &written, nullptr);
  CloseHandle(file);
  return ok != FALSE && written == bytes.size();
}

std::string to_utf8(const std::wstring& text) {
  return tools::narrow(CP_UTF8, text);
}

std::wstring from_ansi(const std::string& text) {
  return tools::widen(CP_ACP, text);
}

}  // namespace orvek::host
