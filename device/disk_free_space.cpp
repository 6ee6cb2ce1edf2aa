#include "device/disk_free_space.h"

#include "device/device_state.h"

namespace orvek::device {
namespace {

void StoreLe32(std::uint8_t* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> 8 * i);
}

}  // namespace

std::uint32_t DiskFreeSpaceItvCe(platform::Platform& os, const char16_t* path,
                                 std::uint32_t* length, const void** result) {
  StoreItvCeResult(length, result, kDiskSpaceRecordBytes, DiskSpaceRecord);
  std::uint64_t free_bytes = 0;
  if (!os.disk_free_space(path, &free_bytes)) {
    // The count stays stale on purpose: the success word tells the caller.
    StoreLe32(DiskSpaceRecord + kDiskSpaceSuccessOffset, 0);
    return 0;
  }
  StoreLe32(DiskSpaceRecord + kDiskSpaceSuccessOffset, 1);
  StoreLe32(DiskSpaceRecord + kDiskSpaceCountOffset,
            static_cast<std::uint32_t>(free_bytes));
  StoreLe32(DiskSpaceRecord + kDiskSpaceCountOffset + 4,
            static_cast<std::uint32_t>(free_bytes >> 32));
  return 0;
}

}  // namespace orvek::device
