#include "device/device_state.h"

#include <cstring>

namespace orvek::device {

// Zero at load, like the rest of the library's state: nothing runs then.
constinit DeviceIdText CachedDeviceId = {};
constinit char PocketIdBuffer[kPocketIdBufferBytes] = {};
alignas(4) constinit std::uint8_t DiskSpaceRecord[kDiskSpaceRecordBytes] = {};

void ResetDeviceState() {
  CachedDeviceId = {};
  std::memset(PocketIdBuffer, 0, sizeof(PocketIdBuffer));
  std::memset(DiskSpaceRecord, 0, sizeof(DiskSpaceRecord));
}

}  // namespace orvek::device
