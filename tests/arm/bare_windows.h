// What the call table and its scripted host need of a C runtime, which the
// ARM builds don't have: text in fixed buffers, console output and whole
// files, on kernel32 alone. Header-only C++ (the standard headers used here
// need no library), built alike for x86_64 and ARM64 so that both runs are
// the same program.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace bare {

// Text of at most N units in a fixed buffer, always terminated; what does
// not fit is dropped and remembered.
template <typename Unit, std::size_t N>
struct Text {
  Unit units[N]{};
  std::size_t length = 0;
  bool overflow = false;

  Text& add(std::basic_string_view<Unit> text) {
    for (Unit unit : text) add(unit);
    return *this;
  }
  Text& add(Unit unit) {
    if (length + 1 < N) {
      units[length++] = unit;
      units[length] = 0;
    } else {
      overflow = true;
    }
    return *this;
  }
  // Decimal, or hexadecimal with exactly `digits` digits.
  Text& number(std::int64_t value) {
    std::uint64_t magnitude = static_cast<std::uint64_t>(value);
    if (value < 0) {
      add('-');
      magnitude = 0 - magnitude;
    }
    Unit digits[20];
    int count = 0;
    do {
      digits[count++] = static_cast<Unit>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    while (count > 0) add(digits[--count]);
    return *this;
  }
  Text& hex(std::uint64_t value, int digits) {
    while (digits-- > 0) add(static_cast<Unit>("0123456789abcdef"[value >> 4 * digits & 15]));
    return *this;
  }
  std::basic_string_view<Unit> view() const { return {units, length}; }
  const Unit* c_str() const { return units; }
};
using Narrow = Text<char, 2048>;
using Wide = Text<wchar_t, MAX_PATH>;

inline void Print(std::string_view text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(),
            static_cast<DWORD>(text.size()), &written, nullptr);
}

// The folder of this program, without a trailing backslash.
inline Wide ProgramFolder() {
  Wide folder;
  folder.length = GetModuleFileNameW(nullptr, folder.units, MAX_PATH);
  while (folder.length > 0 && folder.units[folder.length - 1] != L'\\') --folder.length;
  if (folder.length > 0) --folder.length;
  folder.units[folder.length] = 0;
  return folder;
}

// Replaces `path` with `bytes`; false when it can't be written whole.
inline bool WriteWholeFile(const wchar_t* path, std::string_view bytes,
                           DWORD disposition = CREATE_ALWAYS) {
  HANDLE file = CreateFileW(path, disposition == OPEN_ALWAYS ? FILE_APPEND_DATA : GENERIC_WRITE,
                            FILE_SHARE_READ, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                         &written, nullptr) &&
               written == bytes.size();
  CloseHandle(file);
  return whole;
}

// Up to `capacity` bytes of `path` into `buffer`; -1 when it can't be read.
inline long ReadWholeFile(const wchar_t* path, char* buffer, DWORD capacity) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  DWORD count = 0;
  bool read = ReadFile(file, buffer, capacity, &count, nullptr);
  CloseHandle(file);
  return read ? static_cast<long>(count) : -1;
}

}  // namespace bare
