// What every harness runs on: the fake platform with a scripted host that is
// installed, running and linked, and the checks that hold after any call.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "hostlink/discovery.h"
#include "hostlink/host_link_state.h"
#include "hostlink/packet_exchange.h"
#include "platform/fake/fake_platform.h"
#include "tests/support/fake_host.h"

namespace orvek::fuzz {

// Stops the run with a message; libFuzzer then saves the input.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n", what);
  std::abort();
}
inline void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

struct LinkWorld {
  LinkWorld() : host(os) {
    hostlink::ResetHostLinkState();
    host.start();
    Check(hostlink::Init(os) == 0, "the link comes up");
    host.requests.clear();
    os.clear_calls();
  }
  ~LinkWorld() { hostlink::ResetHostLinkState(); }

  // No file, key or process handle outlives a call, and the lock is free.
  void CheckNothingHeld() {
    Check(testing::LeakedHandles(os) == 0, "a handle was left open");
    Check(os.mutex_owned(protocol::kExchangeLockName) == 0, "the lock is kept");
  }

  platform::fake::FakePlatform os;
  testing::FakeHost host;
};

// A caller's buffer of exactly `size` bytes on the heap, so that AddressSanitizer
// sees a write or read past it.
template <typename T>
std::unique_ptr<T[]> Exact(std::size_t size) {
  return std::unique_ptr<T[]>(new T[size]);
}

}  // namespace orvek::fuzz
