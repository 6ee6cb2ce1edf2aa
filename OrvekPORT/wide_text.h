// Win32's wchar_t is UTF-16, the core's char16_t: the same units.
#pragma once

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide text is UTF-16");

inline const char16_t* utf16(const wchar_t* text) {
  return reinterpret_cast<const char16_t*>(text);
}
inline char16_t* utf16(wchar_t* text) {
  return reinterpret_cast<char16_t*>(text);
}
