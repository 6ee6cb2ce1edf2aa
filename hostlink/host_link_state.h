// The process-wide state of the host link. It is zero when the library is
// loaded, shared by every caller and never freed. It is written only under
// ExchangeLock, which Init and every exchange hold.
//
// It stays process state rather than an object passed down from the
// exports: the exports take no handle that could carry one, the lock, the
// event and the host window belong to every thread of the process alike,
// and a post still owed is shared by every process through its file. An
// object would be one process-wide instance all the same, threaded through
// every call. Tests start from load's state with ResetHostLinkState.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "OrvekPORT/OrvekPORT.h"
#include "hostlink/owed_post_record.h"
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
// Creates ReplyEvent unless it exists; a failed creation leaves it null and
// is tried again next time.
void OpenReplyEvent(platform::Platform& os);
// The named mutex that serialises exchanges across threads and processes.
// Opened once per process by whichever thread comes first; never closed.
extern std::atomic<platform::Handle> ExchangeLock;
// This process's own post while it is owed, as it wrote the record: kept
// for when the record can't be read back.
extern OwedPostRecord OwnOwedPost;

// Back to the state at load. For tests, whose fake platform changes between
// cases; the library itself never forgets its link.
void ResetHostLinkState();

}  // namespace orvek::hostlink
