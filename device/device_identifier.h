// The device identifier: worked out once per process from the first source
// that yields one (asset tool, hardware device id, ClientHWID, fixed text)
// and handed out through GetPocketIDItvCe.
#pragma once

#include <cstdint>

#include "device/device_state.h"
#include "platform/platform.h"

namespace orvek::device {

// GetPocketIDItvCe: copies the identifier with its NUL into PocketIdBuffer
// and hands out its length (NUL counted) and the buffer's address. Runs the
// asset tool while no identifier is cached. Always returns 0.
std::uint32_t PocketIdItvCe(platform::Platform& os, std::uint32_t* length,
                            const void** result);

// CachedDeviceId, or when that is empty, the asset identifier, else the
// hardware identifier; a non-empty result is cached.
DeviceIdText GetDeviceIdentifier(platform::Platform& os);

// Runs the asset tool, waits for it without a limit and reads the UTF-16
// text at byte 976 of its output file as ANSI text; empty when the tool does
// not start, the file does not open or holds no text there.
DeviceIdText ReadAssetIdentifier(platform::Platform& os);

// The 11 hex digits taken from the DEVICE_ID record, or when the platform
// has none from ClientHWID; fewer (even none) when the source is shorter.
// "QK508-316" when neither source can be read.
DeviceIdText ReadHardwareIdentifier(platform::Platform& os);

}  // namespace orvek::device
