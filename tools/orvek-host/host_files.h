// Files beside the emulator's executable: the packet files, its log, its
// fault file and its mobile seeds all live in the directory it runs from.
#pragma once

#include <optional>
#include <string>

#include "tools/common/win_files.h"

namespace orvek::host {

// The directory of the running executable, without a trailing backslash.
std::wstring executable_directory();

// Whole-file reads and writes are the tools' common ones.
using tools::read_whole_file;
using tools::write_whole_file;

// UTF-16 to UTF-8 for the log, and back for the window text.
std::string to_utf8(const std::wstring& text);
std::wstring from_ansi(const std::string& text);

}  // namespace orvek::host
