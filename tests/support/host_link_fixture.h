// A fake platform with a scripted host application installed, and the host
// link state reset before and after each test.
#pragma once

#include <gtest/gtest.h>

#include "hostlink/discovery.h"
#include "hostlink/host_link_state.h"
#include "platform/fake/fake_platform.h"
#include "tests/support/fake_host.h"

namespace orvek::testing {

class FakeHostTest : public ::testing::Test {
 protected:
  FakeHostTest() : host(os) { hostlink::ResetHostLinkState(); }
  ~FakeHostTest() override {
    EXPECT_EQ(os.live_block_count(), 0u) << "heap blocks kept after a call";
    hostlink::ResetHostLinkState();
  }

  // Starts the host and runs discovery, then forgets what that recorded so
  // that a test sees only its own calls and requests.
  void Connect() {
    host.start();
    ASSERT_EQ(hostlink::Init(os), 0u) << os.describe_calls();
    os.clear_calls();
    host.requests.clear();
  }

  // Handles still open besides the reply event and the exchange lock, which
  // live for ever.
  std::size_t LeakedHandles() const {
    auto kept = [](platform::Handle handle) {
      return handle != platform::kNullHandle ? 1u : 0u;
    };
    return os.open_handle_count() - kept(hostlink::ReplyEvent) -
           kept(hostlink::ExchangeLock.load());
  }

  platform::fake::FakePlatform os;
  FakeHost host;
};

// The same, with the host started and the link set up before each test.
class ConnectedHostTest : public FakeHostTest {
 protected:
  void SetUp() override { Connect(); }
};

}  // namespace orvek::testing
