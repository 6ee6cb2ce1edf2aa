// The process-wide state of the host link. It is zero when the library is
// loaded, shared by every caller and never freed. It is written only under
// ExchangeLock, which Init and every exchange hold.
//
// It stays process state rather than an object passed down from the
// exports: the exports take no handle that could carry one, the lock, the
// event and the host window belong to every thread of the process alike,
// and the owed post is shared by every process through its file. An object
// would be one process-wide instance all the same, threaded through every
// call. Tests start from load's state with ResetHostLinkState.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "OrvekPORT/OrvekPORT.h"
#include "platform/platform.h"

namespace orvek::hostlink {

// Path_EXE is read into 200 bytes: at most 100 UTF-16 units, terminator
// included or not, so the longest value stored the usual way (with its
// terminator) has ORVEKPORT_HOST_PATH_MAX characters.
inline constexpr std::uint32_t kPathValueBytes =
    (ORVEKPORT_HOST_PATH_MAX + 1) * 2;
inline constexpr std::size_t kMaxPathValueUnits = kPathValueBytes / 2;
// Room of each path string, in UTF-16 units: the longest value read, its
// terminator, and a packet file's name behind the directory.
inline constexpr std::size_t kHostPathUnits = 200;

// The host's main window; null until OrvekGPSPort_Init finds one. Only
// OrvekGPSPort_Init writes it, and never clears a stale handle.
extern platform::Handle HostWindow;
// Who owned HostWindow when Init found it.
extern platform::Platform::WindowOwner HostOwner;
// Path_EXE as read: the host executable, the file that is launched.
extern char16_t HostExecutablePath[kHostPathUnits];
// HostExecutablePath cut at its last backslash: where the packet files live.
extern char16_t HostDirectory[kHostPathUnits];
// EventOrvekAPI, created by the first exchange and never closed.
extern platform::Handle ReplyEvent;
// The named mutex that serialises exchanges across threads and processes.
// Opened once per process by whichever thread comes first; never closed.
extern std::atomic<platform::Handle> ExchangeLock;
// The post that the host has not answered yet, if any. The protocol has no
// request ids, so a post answered late would take the next request's place:
// until its answer comes (or its window is gone) nothing else is posted, so
// at most one post is ever owed. The record lives in a mapped file beside
// the packet files: every process of either architecture reads the same
// bytes without a system call, and they outlast the process that posted.
struct OwedPost {
  std::uint32_t owed;        // 1 from just before a post until its answer
  std::uint32_t window;      // where it went; a window's low 32 bits name it
  std::uint32_t process_id;  // the window's owner then
  std::uint32_t reserved;
  std::uint64_t process_started;
};
extern OwedPost* LinkRecord;

// Back to the state at load. For tests, whose fake platform changes between
// cases; the library itself never forgets its link.
void ResetHostLinkState();

}  // namespace orvek::hostlink
