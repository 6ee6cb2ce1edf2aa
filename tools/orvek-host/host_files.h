// Files beside the emulator's executable: the packet files, its log, its
// fault file and its mobile seeds all live in the directory it runs from.
#pragma once

#include <optional>
#include <string>

namespace orvek::host {

// The directory of the running executable, without a trailing backslash.
std::wstring executable_directory();

// The whole content of a small file, or nothing when it can't be read.
// Opened with every sharing mode so that a test writing it does not fail.
std::optional<std::string> read_whole_file(const std::wstring& path);

// Replaces a file's content; false on failure.
bool write_whole_file(const std::wstring& path, const std::string& bytes);

// UTF-16 to UTF-8 for the log, and back for the window text.
std::string to_utf8(const std::wstring& text);
std::wstring from_ansi(const std::string& text);

}  // namespace orvek::host
