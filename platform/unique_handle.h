// Owners for the handles of platform.h, built from the one owner template:
// each closes what it holds through the platform it came from.
#pragma once

#include "platform/platform.h"
#include "platform/unique_owner.h"

namespace orvek::platform {

// How the platform closes a kind of handle. `Empty` is the value that means
// "no handle" for its kind (kInvalidFile for files, kNullHandle else). Made
// from the platform itself, so that an owner is made as `(os, handle)`.
template <Handle Empty, void (Platform::*Close)(Handle)>
struct PlatformCloser {
  using Value = Handle;
  PlatformCloser(Platform& platform) : os(&platform) {}  // NOLINT: implicit
  static Value none() { return Empty; }
  void close(Handle handle) const { (os->*Close)(handle); }
  Platform* os;
};

// A file, or an event, process, thread or mutex.
using UniqueFile =
    UniqueOwner<PlatformCloser<kInvalidFile, &Platform::close_handle>>;
using UniqueObject =
    UniqueOwner<PlatformCloser<kNullHandle, &Platform::close_handle>>;
// An open registry key.
using UniqueRegKey =
    UniqueOwner<PlatformCloser<kNullHandle, &Platform::reg_close_key>>;

}  // namespace orvek::platform
