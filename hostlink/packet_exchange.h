// One request/reply exchange with the host application through the packet
// files, the posted message and the reply event.
#pragma once

#include <cstdint>

#include "hostlink/status.h"
#include "platform/platform.h"

namespace orvek::hostlink {

// Writes "prefix|body\n" (or "body\n" when `prefix` is null) to the request
// file, posts WM_PORT_REQUEST with PORT_WPARAM_PACKET to HostWindow, waits up
// to 3000 ms for the reply event and reads at most `capacity` bytes of the
// reply file into `reply`, followed by a NUL at index `*bytesRead`; `reply`
// must hold capacity + 1 bytes.
// 0; 5 request file not created, 6 not written, 7 no signal in time, 8 reply
// file not opened, 9 not read; 11 line over 199 bytes and 12 null `body`
// (both before any file is touched). No file stays open on any path.
StatusCode ExchangePacket(platform::Platform& os, const char* prefix,
                          const char* body, char* reply, std::uint32_t capacity,
                          std::uint32_t* bytesRead);

}  // namespace orvek::hostlink
