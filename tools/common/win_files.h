// Whole-file reads and writes for the tools and the Wine tests.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "tools/common/win_handle.h"
#include "tools/common/win_text.h"

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

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path`, so that a failure leaves the old file or none, never half of one.
// False with what failed in *error ("can't create C:\x.gpx.tmp12: ...").
inline bool write_file_whole(const std::wstring& path, std::string_view bytes,
                             std::string* error) {
  auto failure = [&](const char* what, const std::wstring& file) {
    DWORD code = GetLastError();
    *error = std::string(what) + " " + narrow(CP_UTF8, file) + ": " +
             system_text(code);
    return false;
  };
  // Beside the target, so the rename stays on its volume.
  std::wstring temporary =
      path + L".tmp" + std::to_wstring(GetCurrentProcessId());
  {
    FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return failure("can't create", temporary);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                   &written, nullptr) ||
        written != bytes.size() || !FlushFileBuffers(file.get())) {
      failure("can't write", temporary);
      file.reset();
      DeleteFileW(temporary.c_str());
      return false;
    }
  }
  if (!MoveFileExW(temporary.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    failure("can't rename the finished file to", path);
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace orvek::tools
