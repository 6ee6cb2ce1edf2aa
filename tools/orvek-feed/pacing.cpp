#include "pacing.h"

namespace orvek::feed {
namespace {

constexpr long long kDayMs = 24LL * 3600 * 1000;

}  // namespace

uint64_t Pacer::wait_ms(const Fix& fix, uint64_t now_ms) {
  if (speed_ <= 0 || !fix.has_time) return 0;
  if (!started_) {
    started_ = true;
    start_ms_ = now_ms;
    last_stamp_ms_ = fix.utc_ms;
    receiver_elapsed_ms_ = 0;
    return 0;
  }
  long long step = static_cast<long long>(fix.utc_ms) - last_stamp_ms_;
  if (step < -kDayMs / 2) step += kDayMs;
  if (step > 0) receiver_elapsed_ms_ += static_cast<double>(step);
  last_stamp_ms_ = fix.utc_ms;
  uint64_t due = start_ms_ + static_cast<uint64_t>(receiver_elapsed_ms_ / speed_);
  return due > now_ms ? due - now_ms : 0;
}

uint32_t Backoff::next_ms() {
  uint32_t wait = next_;
  next_ = next_ >= kLastMs / 2 ? kLastMs : next_ * 2;
  return wait;
}

}  // namespace orvek::feed
