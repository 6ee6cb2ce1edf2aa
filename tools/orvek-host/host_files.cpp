#include "host_files.h"

#include <windows.h>

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
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(),
                                 static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                      out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring from_ansi(const std::string& text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(),
                                 static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                      out.data(), size);
  return out;
}

}  // namespace orvek::host
