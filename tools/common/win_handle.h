// Move-only owners of Win32 handles for the tools and the Wine tests. The
// two "no handle" values stay apart: files use INVALID_HANDLE_VALUE, events,
// processes, threads and snapshots use null.
#pragma once

#include <windows.h>

#include <utility>

namespace orvek::tools {

// Owner of a handle closed with CloseHandle. `kind` tells which value means
// "none": null for events, processes, threads and mutexes, and
// INVALID_HANDLE_VALUE for files and snapshots.
class Handle {
 public:
  enum Kind { kNullIsNone, kInvalidIsNone };

  explicit Handle(Kind kind = kNullIsNone)
      : none_(kind == kNullIsNone ? nullptr : INVALID_HANDLE_VALUE),
        handle_(none_) {}
  Handle(HANDLE handle, Kind kind) : Handle(kind) { handle_ = handle; }
  ~Handle() { reset(); }
  Handle(Handle&& other) noexcept
      : none_(other.none_),
        handle_(std::exchange(other.handle_, other.none_)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      reset();
      none_ = other.none_;
      handle_ = std::exchange(other.handle_, other.none_);
    }
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  HANDLE get() const { return handle_; }
  explicit operator bool() const {
    return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
  }
  // Closes what is held and takes `handle`.
  void reset(HANDLE handle) {
    reset();
    handle_ = handle;
  }
  void reset() {
    if (*this) CloseHandle(handle_);
    handle_ = none_;
  }
  // For out-parameters: closes what is held, then gives its slot.
  HANDLE* put() {
    reset();
    return &handle_;
  }

 private:
  HANDLE none_;
  HANDLE handle_;
};

// A file from CreateFileW, or a snapshot: INVALID_HANDLE_VALUE when none.
inline Handle file_handle(HANDLE handle) {
  return Handle(handle, Handle::kInvalidIsNone);
}
// An event, process, thread or mutex: null when none.
inline Handle object_handle(HANDLE handle) {
  return Handle(handle, Handle::kNullIsNone);
}

// An open registry key; RegCloseKey on the way out.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY get() const { return key_; }
  HKEY* put() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
    return &key_;
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace orvek::tools
