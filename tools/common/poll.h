// Waiting for something another process does: a window to appear, a log
// line, a process to end.
#pragma once

#include <windows.h>

namespace orvek::tools {

// Polling step: short against the emulator's 0.1 s start-up, long enough
// not to spin.
inline constexpr DWORD kPollStepMs = 20;

// Calls done() every 20 ms until it returns true (true) or `timeout_ms` has
// passed (false). done() is called at least once, and once more at the end.
template <typename Done>
bool poll_until(Done done, DWORD timeout_ms) {
  for (ULONGLONG start = GetTickCount64();; Sleep(kPollStepMs)) {
    if (done()) return true;
    if (GetTickCount64() - start >= timeout_ms) return done();
  }
}

}  // namespace orvek::tools
