// The free space of the volume that holds a path, as a 12-byte record.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace orvek::device {

// GetDiskFreeSpaceItvCe: hands out 12 and the address of DiskSpaceRecord
// first, then asks the platform about `path` (passed on unchanged, null
// included). On success the record holds 1 and the free bytes available to
// the caller; on failure 0 and the count of the latest success (0 if none).
// Always returns 0.
std::uint32_t DiskFreeSpaceItvCe(platform::Platform& os, const char16_t* path,
                                 std::uint32_t* length, const void** result);

}  // namespace orvek::device
