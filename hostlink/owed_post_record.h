// The record of a post that the host has not answered yet, as the file
// OrvekPORT.link beside the packet files holds it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvek::hostlink {

// The bytes of the file, little-endian, the same for 32- and 64-bit builds
// and for the library's earlier versions.
struct OwedPostRecord {
  std::uint32_t owed;        // 1 from its post until its answer, else 0
  std::uint32_t window;      // where it went; a window's low 32 bits name it
  std::uint32_t process_id;  // the window's owner then (0: not known)
  std::uint32_t reserved;    // 0
  std::uint64_t
      process_started;  // that process's start, FILETIME (0: not known)
};
static_assert(sizeof(OwedPostRecord) == 24);
static_assert(offsetof(OwedPostRecord, owed) == 0);
static_assert(offsetof(OwedPostRecord, window) == 4);
static_assert(offsetof(OwedPostRecord, process_id) == 8);
static_assert(offsetof(OwedPostRecord, reserved) == 12);
static_assert(offsetof(OwedPostRecord, process_started) == 16);

}  // namespace orvek::hostlink
