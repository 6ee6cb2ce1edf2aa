// Whole-file reads and writes for the tools and the Wine tests.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "tools/common/win_handle.h"

namespace orvek::tools {

// The whole content of a small file, or nothing when it can't be read.
// Opened with every sharing mode, so that reading never stands in the way
// of a program that writes the file.
inline std::optional<std::string> read_whole_file(const std::wstring& path) {
  FileHandle file = file_handle(
      CreateFileW(path.c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  DWORD count = 0;
  bool ok = true;
  while ((ok = ReadFile(file.get(), chunk, sizeof chunk, &count, nullptr) !=
               FALSE) &&
         count > 0)
    bytes.append(chunk, count);
  if (!ok) return std::nullopt;
  return bytes;
}

// Replaces a file's content, shared for reading only while it is written;
// false on failure.
inline bool write_whole_file(const std::wstring& path, std::string_view bytes) {
  FileHandle file = file_handle(CreateFileW(path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file.get(), bytes.data(),
                      static_cast<DWORD>(bytes.size()), &written, nullptr);
  return ok != FALSE && written == bytes.size();
}

}  // namespace orvek::tools
