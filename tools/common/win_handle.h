// Owners of Win32 handles for the tools and the Wine tests, built from the
// library's one owner template. The two "no handle" values stay apart:
// files and snapshots use INVALID_HANDLE_VALUE; events, processes, threads
// and mutexes use null.
#pragma once

#include <windows.h>

#include "platform/unique_owner.h"

namespace orvek::tools {

// Traits of a Win32 resource released by `close`, with `none` as its "no
// resource" value (a function, since INVALID_HANDLE_VALUE is no constant).
template <typename Resource, auto Close, Resource (*None)()>
struct Win32Traits {
  using Value = Resource;
  static Value none() { return None(); }
  void close(Value value) const { Close(value); }
};

inline HANDLE invalid_handle() { return INVALID_HANDLE_VALUE; }
template <typename Pointer>
Pointer null_value() {
  return nullptr;
}

// A file from CreateFileW, or a snapshot.
using FileHandle =
    UniqueOwner<Win32Traits<HANDLE, &CloseHandle, &invalid_handle>>;
// An event, process, thread or mutex.
using ObjectHandle =
    UniqueOwner<Win32Traits<HANDLE, &CloseHandle, &null_value<HANDLE>>>;
// An open registry key.
using RegistryKey =
    UniqueOwner<Win32Traits<HKEY, &RegCloseKey, &null_value<HKEY>>>;
// A block of LocalAlloc's, such as CommandLineToArgvW's and
// FormatMessageW's.
template <typename Pointer>
using LocalBlock =
    UniqueOwner<Win32Traits<Pointer, &LocalFree, &null_value<Pointer>>>;

inline FileHandle file_handle(HANDLE handle) { return FileHandle(handle); }
inline ObjectHandle object_handle(HANDLE handle) {
  return ObjectHandle(handle);
}

// One COM interface pointer, released on the way out.
template <typename Interface>
struct ComTraits {
  using Value = Interface*;
  static Value none() { return nullptr; }
  void close(Value pointer) const { pointer->Release(); }
};
template <typename Interface>
using ComOwner = UniqueOwner<ComTraits<Interface>>;

}  // namespace orvek::tools
