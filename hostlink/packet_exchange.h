// One request/reply exchange with the host application through the packet
// files, the posted message and the reply event.
#pragma once

#include <cstdint>

#include "hostlink/status.h"
#include "platform/platform.h"

namespace orvek::hostlink {

// Exchanges are serialised by a named mutex around everything from the
// request file to the reply read. A caller waits this long for it: one
// whole exchange of another caller, owed-answer wait included, fits.
inline constexpr std::uint32_t kLockWaitMs = 10000;
inline constexpr char16_t kExchangeLockName[] = u"OrvekPORT.ExchangeLock";

// The protocol has no request ids, so after a time-out the host may still
// answer the abandoned request. That answer is owed: the next exchange (of
// any process) first waits this long for its signal and discards it, and
// sends nothing (14) while it stays owed. The mark lives in named shared
// memory, so that checking it costs the normal exchange no system call.
inline constexpr std::uint32_t kOwedAnswerWaitMs = 3000;
inline constexpr char16_t kAnswerOwedName[] = u"OrvekPORT.AnswerOwed";

// Writes "prefix|body\n" (or "body\n" when `prefix` is null) to the request
// file, posts WM_PORT_REQUEST with PORT_WPARAM_PACKET to HostWindow, waits up
// to 3000 ms for the reply event and reads at most `capacity` bytes of the
// reply file into `reply`, followed by a NUL at index `*bytesRead`; `reply`
// must hold capacity + 1 bytes.
// 0; 5 request file not created, 6 not written, 7 no signal in time, 8 reply
// file not opened, 9 not read; 11 line over 199 bytes and 12 null `body`
// (both before any file is touched); 14 the lock was not had within
// kLockWaitMs, or an earlier answer is still owed (nothing sent). No file
// stays open and the lock is released on every path.
StatusCode ExchangePacket(platform::Platform& os, const char* prefix,
                          const char* body, char* reply, std::uint32_t capacity,
                          std::uint32_t* bytesRead);

// For OrvekGPSPort_Init, which starts the link afresh: an owed answer gets
// one more wait of kOwedAnswerWaitMs and is then given up. 0, or 14 when
// the lock can't be had.
StatusCode ForgetOwedAnswer(platform::Platform& os);
// Posts WM_PORT_REQUEST with PORT_WPARAM_MOVINGMAP_INIT to HostWindow: no
// packet, no wait, and the post's outcome is not looked at (the host never
// answers this message).
void PostMovingMapInit(platform::Platform& os);

}  // namespace orvek::hostlink
