// Timing of the feed, kept apart from the clock so it is tested on a
// virtual one: replay pacing and the reconnection back-off.
#pragma once

#include <cstdint>

#include "fix.h"

namespace orvek::feed {

// Paces a replay by the receiver's own clock: each fix leaves when as much
// time has passed (divided by the speed) as its time stamp says since the
// first fix. The schedule stays anchored to the first fix, so a slow send
// is caught up rather than added. Midnight is crossed forwards; a stamp
// that goes back counts as no time.
class Pacer {
 public:
  explicit Pacer(double speed) : speed_(speed) {}
  void restart() { started_ = false; }
  // How long to wait before sending `fix`, with the monotonic time now.
  uint64_t wait_ms(const Fix& fix, uint64_t now_ms);

 private:
  double speed_;  // 0: no pacing
  bool started_ = false;
  uint64_t start_ms_ = 0;
  uint32_t last_stamp_ms_ = 0;
  double receiver_elapsed_ms_ = 0;
};

// Waits between reconnection attempts: doubles from the first to the last,
// back to the first once a connection brought data.
class Backoff {
 public:
  static constexpr uint32_t kFirstMs = 500;
  static constexpr uint32_t kLastMs = 30000;
  uint32_t next_ms();
  void reset() { next_ = kFirstMs; }

 private:
  uint32_t next_ = kFirstMs;
};

}  // namespace orvek::feed
