#include "device/device_state.h"

#include <cstring>

namespace orvek::device {

std::string CachedDeviceId;
char PocketIdBuffer[kPocketIdBufferBytes] = {};
alignas(4) std::uint8_t DiskSpaceRecord[kDiskSpaceRecordBytes] = {};

void ClearCachedDeviceId() { CachedDeviceId.clear(); }

void ReleaseCachedDeviceId() { std::string().swap(CachedDeviceId); }

void ResetDeviceState() {
  ReleaseCachedDeviceId();
  std::memset(PocketIdBuffer, 0, sizeof(PocketIdBuffer));
  std::memset(DiskSpaceRecord, 0, sizeof(DiskSpaceRecord));
}

}  // namespace orvek::device
