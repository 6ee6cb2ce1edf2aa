#include "standard_streams.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace orvek::host {
namespace {

// Wine's ntdll exports this; Windows' does not.
using HostVersion = void(__cdecl*)(const char** sysname, const char** release);

bool wine_on_linux() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto host_version = reinterpret_cast<HostVersion>(reinterpret_cast<void*>(
      GetProcAddress(ntdll, "wine_get_host_version")));
  if (host_version == nullptr) return false;
  const char* sysname = nullptr;
  const char* release = nullptr;
  host_version(&sysname, &release);
  return sysname != nullptr && std::strcmp(sysname, "Linux") == 0;
}

// Linux system calls made directly: no Windows call reaches a Unix
// descriptor that Wine itself holds no handle for. The numbers are the
// x86_64 and the i386 table's.
#if defined(__x86_64__)
std::intptr_t linux_call(std::intptr_t number, std::intptr_t a,
                         std::intptr_t b, std::intptr_t c) {
  std::intptr_t result;
  asm volatile("syscall"
               : "=a"(result)
               : "a"(number), "D"(a), "S"(b), "d"(c)
               : "rcx", "r11", "memory");
  return result;
}
constexpr std::intptr_t kOpen = 2, kClose = 3, kDup2 = 33;
#elif defined(__i386__)
std::intptr_t linux_call(std::intptr_t number, std::intptr_t a,
                         std::intptr_t b, std::intptr_t c) {
  std::intptr_t result;
  asm volatile("int $0x80"
               : "=a"(result)
               : "a"(number), "b"(a), "c"(b), "d"(c)
               : "memory");
  return result;
}
constexpr std::intptr_t kOpen = 5, kClose = 6, kDup2 = 63;
#endif

bool unix_streams_to_null() {
#if defined(__x86_64__) || defined(__i386__)
  constexpr std::intptr_t kReadWrite = 2;  // O_RDWR
  static const char kNull[] = "/dev/null";
  std::intptr_t null_fd =
      linux_call(kOpen, reinterpret_cast<std::intptr_t>(kNull), kReadWrite, 0);
  if (null_fd < 0) return false;
  bool moved = true;
  for (std::intptr_t fd = 0; fd <= 2; ++fd)
    moved = linux_call(kDup2, null_fd, fd, 0) == fd && moved;
  if (null_fd > 2) linux_call(kClose, null_fd, 0, 0);
  return moved;
#else
  return false;
#endif
}

}  // namespace

bool release_standard_streams() {
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    HANDLE handle = GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    SetStdHandle(which, nullptr);
  }
  return !wine_on_linux() || unix_streams_to_null();
}

}  // namespace orvek::host
