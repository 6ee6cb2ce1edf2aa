// Finding or starting the host application and proving the link.
#pragma once

#include <cstdint>

#include "hostlink/status.h"
#include "platform/platform.h"

namespace orvek::hostlink {

// The interface version of this library.
inline constexpr std::uint32_t kInterfaceVersion = 3;

// Reads Path_EXE, derives HostDirectory, looks up the host window, starts the
// host through the shell when there is none and polls for its window, then
// sends the handshake query "0".
// 0; 4 registry unreadable; 1 no window; else the handshake's status.
StatusCode Init(platform::Platform& os);

// Runs Init only while no host window is known; 0 when one is.
StatusCode EnsureHostWindow(platform::Platform& os);

// A query (SendQuery) that runs Init first while no host window is known,
// returning its failure unchanged. 12 null argument, before anything else.
StatusCode GetString(platform::Platform& os, const char* request,
                     std::uint32_t capacity, char* result);

}  // namespace orvek::hostlink
