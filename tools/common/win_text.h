// Text for the tools and the Wine tests: conversions between UTF-16 and a
// Windows code page (the library itself converts through its platform
// layer), the char16_t / wchar_t bridge and the system's error texts.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/common/text.h"
#include "tools/common/win_handle.h"

namespace orvek::tools {

// The core spells UTF-16 as char16_t (wchar_t is 32-bit on Linux); on
// Windows both are the same 16-bit units.
inline const wchar_t* as_wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}

// `text` in `code_page` (CP_ACP, CP_UTF8); unmappable characters become
// the code page's default character.
inline std::string narrow(UINT code_page, std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  int size = WideCharToMultiByte(code_page, 0, text.data(), length, nullptr, 0,
                                 nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(code_page, 0, text.data(), length, out.data(), size,
                      nullptr, nullptr);
  return out;
}

// `text` in the ANSI code page, or nothing when a character has no exact
// form there (no best-fit look-alikes, no default character).
inline std::optional<std::string> narrow_exact(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  BOOL lossy = FALSE;
  int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(),
                                 length, nullptr, 0, nullptr, &lossy);
  if (size <= 0 || lossy) return std::nullopt;
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length,
                      out.data(), size, nullptr, &lossy);
  if (lossy) return std::nullopt;
  return out;
}

// The system's message for an error code in UTF-8, without its line end;
// empty when there is none.
inline std::string system_text(DWORD code) {
  LocalBlock<wchar_t*> text;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<wchar_t*>(text.put()), 0,
                 nullptr);
  std::wstring message = text ? text.get() : L"";
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' ||
          message.back() == L' '))
    message.pop_back();
  return narrow(CP_UTF8, message);
}

// How the tools tell a Win32 error: the emulator's log by its number
// alone, the client with the system's message after a colon, the feed with
// it in parentheses, the sentence's full stop dropped.
enum class ErrorForm {
  kNumber,             // error 2
  kNumberColon,        // error 2: The system cannot find the file specified.
  kNumberParentheses,  // error 2 (The system cannot find the file specified)
};
inline std::string error_text(DWORD code, ErrorForm form) {
  std::string number = "error " + std::to_string(code);
  std::string message = form == ErrorForm::kNumber ? "" : system_text(code);
  if (form == ErrorForm::kNumberParentheses)
    while (!message.empty() && (message.back() == '.' || message.back() == ' '))
      message.pop_back();
  if (message.empty()) return number;
  return number + (form == ErrorForm::kNumberColon ? ": " + message
                                                    : " (" + message + ")");
}

inline std::wstring widen(UINT code_page, std::string_view bytes) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  int size =
      MultiByteToWideChar(code_page, 0, bytes.data(), length, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(code_page, 0, bytes.data(), length, out.data(), size);
  return out;
}

// The command line after the program name as UTF-8, read as UTF-16 from the
// system so that no character is lost to the ANSI code page (the C
// runtime's argv is in it). Links shell32.
inline std::vector<std::string> utf8_command_line() {
  int count = 0;
  LocalBlock<wchar_t**> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> arguments;
  for (int i = 1; argv && i < count; ++i)
    arguments.push_back(narrow(CP_UTF8, argv.get()[i]));
  return arguments;
}

}  // namespace orvek::tools
