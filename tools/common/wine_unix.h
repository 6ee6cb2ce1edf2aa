// Under Wine on Linux, a few things only Linux itself can do for a Windows
// program: Wine keeps no handle for them (the Unix standard descriptors a
// started program inherits) or leaves them to the kernel (SIGTERM).
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace orvek::tools {

// Wine's version ("8.0"), or null when not under Wine.
inline const char* wine_version() {
  using Version = const char*(__cdecl*)();
  auto get = reinterpret_cast<Version>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
  return get != nullptr ? get() : nullptr;
}

// True under Wine on a Linux kernel: Wine's ntdll says so.
inline bool wine_on_linux() {
  using HostVersion = void(__cdecl*)(const char** sysname, const char** release);
  auto host_version = reinterpret_cast<HostVersion>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_host_version")));
  if (host_version == nullptr) return false;
  const char* sysname = nullptr;
  const char* release = nullptr;
  host_version(&sysname, &release);
  return sysname != nullptr && std::strcmp(sysname, "Linux") == 0;
}

// A Linux system call made directly; only for wine_on_linux(). The numbers
// are the x86_64 and the i386 table's.
#if defined(__x86_64__)
inline std::intptr_t linux_call(std::intptr_t number, std::intptr_t a,
                                std::intptr_t b, std::intptr_t c,
                                std::intptr_t d = 0) {
  std::intptr_t result;
  register std::intptr_t fourth asm("r10") = d;
  asm volatile("syscall"
               : "=a"(result)
               : "a"(number), "D"(a), "S"(b), "d"(c), "r"(fourth)
               : "rcx", "r11", "memory");
  return result;
}
namespace linux_number {
constexpr std::intptr_t kOpen = 2, kClose = 3, kDup2 = 33, kSigaction = 13,
                        kGetPid = 39, kKill = 62;
}
#define ORVEK_LINUX_CALLS 1
#elif defined(__i386__)
inline std::intptr_t linux_call(std::intptr_t number, std::intptr_t a,
                                std::intptr_t b, std::intptr_t c,
                                std::intptr_t d = 0) {
  std::intptr_t result;
  asm volatile("int $0x80"
               : "=a"(result)
               : "a"(number), "b"(a), "c"(b), "d"(c), "S"(d)
               : "memory");
  return result;
}
namespace linux_number {
constexpr std::intptr_t kOpen = 5, kClose = 6, kDup2 = 63, kSigaction = 174,
                        kGetPid = 20, kKill = 37;
}
#define ORVEK_LINUX_CALLS 1
#endif

}  // namespace orvek::tools
