// One request/reply exchange with the host application through the packet
// files, the posted message and the reply event.
#pragma once

#include <cstdint>

#include "hostlink/status.h"
#include "protocol/host_protocol.h"
#include "platform/platform.h"

namespace orvek::hostlink {

// Owns ExchangeLock, the named mutex that serialises Init and exchanges,
// while it lives, and releases it on every path out. The mutex is
// recursive, so Init's handshake takes it again inside Init.
class LinkLock {
 public:
  explicit LinkLock(platform::Platform& os) : os_(os) {}
  LinkLock(const LinkLock&) = delete;
  LinkLock& operator=(const LinkLock&) = delete;
  ~LinkLock();
  // 0 when held (also when its last owner died holding it: an answer that
  // owner may be owed is in the link record); 14 when another caller kept
  // it past protocol::kLockWaitMs or it can't be opened.
  StatusCode take();

 private:
  platform::Platform& os_;
  bool held_ = false;
};

// Writes "prefix|body\n" (or "body\n" when `prefix` is null) to the request
// file, posts WM_PORT_REQUEST with PORT_WPARAM_PACKET to HostWindow, waits up
// to 3000 ms for the reply event and reads at most `capacity` bytes of the
// reply file into `reply`, followed by a NUL at index `*bytesRead`; `reply`
// must hold capacity + 1 bytes.
// 0; 5 request file not created, 6 not written, 7 no signal in time (or no
// window known, or the post failed: nobody heard the request, and the
// 3000 ms are waited without the lock), 8 reply file not opened, 9 not read;
// 11 line over 199 bytes and 12 null `body` (both before any file is
// touched); 14 the lock was not had within kLockWaitMs, or an earlier
// post is still owed (nothing sent). No file stays open and the lock is
// released on every path.
StatusCode ExchangePacket(platform::Platform& os, const char* prefix,
                          const char* body, char* reply, std::uint32_t capacity,
                          std::uint32_t* bytesRead);

// Posts WM_PORT_REQUEST with PORT_WPARAM_MOVINGMAP_INIT to HostWindow: no
// packet, no wait, and the post's outcome is not looked at (the host never
// answers this message).
void PostMovingMapInit(platform::Platform& os);

}  // namespace orvek::hostlink
