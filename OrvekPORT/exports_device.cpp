// Exports of the device services: thin calls into device/ on the Win32
// backend. Arguments 1 and, for the identifier, 2 are ignored.
#include "OrvekPORT/OrvekPORT.h"
#include "OrvekPORT/wide_text.h"
#include "device/device_identifier.h"
#include "device/disk_free_space.h"
#include "platform/win32/win32_platform.h"

using orvek::platform::win32_platform;

extern "C" {

uint32_t ORVEKPORT_CALL GetPocketIDItvCe(uint32_t, const void*,
                                         uint32_t* length,
                                         const void** result) {
  return orvek::device::PocketIdItvCe(win32_platform(), length, result);
}

uint32_t ORVEKPORT_CALL GetDiskFreeSpaceItvCe(uint32_t, const wchar_t* path,
                                              uint32_t* length,
                                              const void** result) {
  return orvek::device::DiskFreeSpaceItvCe(win32_platform(), utf16(path),
                                           length, result);
}

}  // extern "C"
