#include "standard_streams.h"

#include <windows.h>

#include <cstdint>
#include <initializer_list>

#include "tools/common/wine_unix.h"

namespace orvek::host {
namespace {

bool unix_streams_to_null() {
#ifdef ORVEK_LINUX_CALLS
  using tools::linux_call;
  using namespace tools::linux_number;
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
  return !tools::wine_on_linux() || unix_streams_to_null();
}

}  // namespace orvek::host
