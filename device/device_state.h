// The process-wide state of the device services: the cached identifier and
// the two static result buffers handed out under the ItvCe convention. It is
// shared by every caller without a lock.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvek::device {

// Room of the identifier result. The longest identifier a source yields is
// 96 bytes (32 UTF-16 units from the asset file, three bytes each at most
// in any ANSI code page, UTF-8 included), so it always fits with its NUL.
inline constexpr std::size_t kPocketIdBufferBytes = 104;

// The free-space record: success word, then the 64-bit count, low word
// first. Callers read it by offset, so the layout is fixed.
inline constexpr std::size_t kDiskSpaceRecordBytes = 12;
inline constexpr std::size_t kDiskSpaceSuccessOffset = 0;
inline constexpr std::size_t kDiskSpaceCountOffset = 4;

// An identifier, NUL-terminated; empty when no source yielded one.
struct DeviceIdText {
  char text[kPocketIdBufferBytes];
};

// The identifier once a source has yielded one; empty while unknown. Only
// GetDeviceIdentifier writes it, and never clears or refreshes it.
extern DeviceIdText CachedDeviceId;
// Rewritten by every call of GetPocketIDItvCe.
extern char PocketIdBuffer[kPocketIdBufferBytes];
// Rewritten by every call of GetDiskFreeSpaceItvCe; little-endian fields.
alignas(4) extern std::uint8_t DiskSpaceRecord[kDiskSpaceRecordBytes];

// Back to the state at load, buffers zeroed too. For tests, whose fake
// platform changes between cases; the library never forgets an identifier.
void ResetDeviceState();

// The ItvCe result convention: the result's length goes through `length`
// and its address through `result`; a null pointer is skipped.
inline void StoreItvCeResult(std::uint32_t* length, const void** result,
                             std::uint32_t result_length,
                             const void* result_address) {
  if (length != nullptr) *length = result_length;
  if (result != nullptr) *result = result_address;
}

}  // namespace orvek::device
