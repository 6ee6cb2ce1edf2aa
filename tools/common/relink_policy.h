// When a program that keeps calling the host (the feed, the soak's chaos
// clients) sets its host link up again with OrvekGPSPort_Init. Plain C++.
#pragma once

#include <cstdint>

#include "OrvekPORT/OrvekPORT.h"

namespace orvek::tools {

// After this many calls in a row that timed out, or found the link still
// owing a timed-out answer (busy), the host has probably gone or been
// restarted with a new window: the link is set up again, which also gives
// up the owed answer. Any other status breaks the run: the host answered,
// or the call failed before reaching it.
class RelinkPolicy {
 public:
  static constexpr int kSilentCallsBeforeRelink = 3;

  // Counts one call's status; true when the link should be set up again
  // now (the count then starts afresh).
  bool after(std::uint32_t status) {
    bool silent = status == ORVEKPORT_E_TIMEOUT || status == ORVEKPORT_E_BUSY;
    silent_in_a_row_ = silent ? silent_in_a_row_ + 1 : 0;
    if (silent_in_a_row_ < kSilentCallsBeforeRelink) return false;
    silent_in_a_row_ = 0;
    return true;
  }

 private:
  int silent_in_a_row_ = 0;
};

}  // namespace orvek::tools
