// Replay pacing and reconnection back-off on a virtual clock.
#include <gtest/gtest.h>

#include <vector>

#include "pacing.h"

namespace orvek::feed {
namespace {

Fix stamped(uint32_t utc_ms) {
  Fix fix;
  fix.utc_ms = utc_ms;
  fix.has_time = true;
  return fix;
}

// Sends fixes stamped `stamps` with a send that takes `send_ms`; returns
// the virtual time at which each one left.
std::vector<uint64_t> replay(double speed, const std::vector<uint32_t>& stamps,
                             uint64_t send_ms = 0) {
  Pacer pacer(speed);
  uint64_t now = 5000;  // the clock's origin means nothing
  std::vector<uint64_t> sent;
  for (uint32_t stamp : stamps) {
    now += pacer.wait_ms(stamped(stamp), now);
    sent.push_back(now - 5000);
    now += send_ms;
  }
  return sent;
}

TEST(Pacer, FollowsTheReceiverClockAtAnySpeed) {
  const std::vector<uint32_t> stamps = {41578000, 41579000, 41581500, 41582000};
  EXPECT_EQ(replay(1, stamps), (std::vector<uint64_t>{0, 1000, 3500, 4000}));
  EXPECT_EQ(replay(10, stamps), (std::vector<uint64_t>{0, 100, 350, 400}));
  EXPECT_EQ(replay(0, stamps), (std::vector<uint64_t>{0, 0, 0, 0}));
  // A send slower than the stamps' pace falls behind without piling up:
  // the next fix leaves as soon as it is due again.
  EXPECT_EQ(replay(1, {0, 1000, 2000, 6000}, 1500),
            (std::vector<uint64_t>{0, 1500, 3000, 6000}));
}

TEST(Pacer, MidnightStampsGoingBackAndMissingTimes) {
  // 23:59:59 then 00:00:00 is one second on.
  EXPECT_EQ(replay(1, {86399000, 0, 1000}), (std::vector<uint64_t>{0, 1000, 2000}));
  // A stamp that goes back a little counts as no time, and the next one
  // counts from it.
  EXPECT_EQ(replay(1, {10000, 9000, 10000}), (std::vector<uint64_t>{0, 0, 1000}));
  Pacer pacer(1);
  EXPECT_EQ(pacer.wait_ms(stamped(1000), 0), 0u);
  EXPECT_EQ(pacer.wait_ms(Fix{}, 0), 0u) << "a fix without a time leaves at once";
  // --loop starts the schedule again.
  pacer.restart();
  EXPECT_EQ(pacer.wait_ms(stamped(90000), 100), 0u);
  EXPECT_EQ(pacer.wait_ms(stamped(91000), 100), 1000u);
}

TEST(Backoff, DoublesToItsCeilingAndStartsOverAfterData) {
  Backoff backoff;
  std::vector<uint32_t> waits;
  for (int i = 0; i < 9; ++i) waits.push_back(backoff.next_ms());
  EXPECT_EQ(waits, (std::vector<uint32_t>{500, 1000, 2000, 4000, 8000, 16000, 30000,
                                          30000, 30000}));
  backoff.reset();
  EXPECT_EQ(backoff.next_ms(), 500u);
}

}  // namespace
}  // namespace orvek::feed
