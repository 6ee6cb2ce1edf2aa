// Conversions between UTF-16 and a Windows code page for the tools and the
// Wine tests (the library itself converts through its platform layer).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace orvek::tools {

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

inline std::wstring widen(UINT code_page, std::string_view bytes) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  int size = MultiByteToWideChar(code_page, 0, bytes.data(), length, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(code_page, 0, bytes.data(), length, out.data(), size);
  return out;
}

}  // namespace orvek::tools
