// Placeholder until the device services land.
#include "OrvekPORT/OrvekPORT.h"

extern "C" {
uint32_t ORVEKPORT_CALL GetPocketIDItvCe(uint32_t, const void*, uint32_t*, const void**) { return 0; }
uint32_t ORVEKPORT_CALL GetDiskFreeSpaceItvCe(uint32_t, const wchar_t*, uint32_t*, const void**) { return 0; }
}
