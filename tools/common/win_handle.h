// Move-only owners of Win32 handles for the tools and the Wine tests. The
// two "no handle" values stay apart: files use INVALID_HANDLE_VALUE, events,
// processes, threads and snapshots use null.
#pragma once

#include <windows.h>

#include <utility>

namespace orvek::tools {

// What "no handle" is for a kind of handle: null for events, processes,
// threads and mutexes, INVALID_HANDLE_VALUE for files and snapshots.
struct NullIsNone {
  static HANDLE none() { return nullptr; }
};
struct InvalidIsNone {
  static HANDLE none() { return INVALID_HANDLE_VALUE; }
};

// Owner of a handle closed with CloseHandle; only its kind's "none" value
// counts as no handle, as each Windows call reports its failure.
template <class Kind>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, Kind::none())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, Kind::none());
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != Kind::none(); }
  // Closes what is held and takes `handle`.
  void reset(HANDLE handle) {
    reset();
    handle_ = handle;
  }
  void reset() {
    if (*this) CloseHandle(handle_);
    handle_ = Kind::none();
  }
  // For out-parameters: closes what is held, then gives its slot.
  HANDLE* put() {
    reset();
    return &handle_;
  }

 private:
  HANDLE handle_ = Kind::none();
};

// A file from CreateFileW, or a snapshot.
using FileHandle = UniqueHandle<InvalidIsNone>;
// An event, process, thread or mutex.
using ObjectHandle = UniqueHandle<NullIsNone>;

inline FileHandle file_handle(HANDLE handle) { return FileHandle(handle); }
inline ObjectHandle object_handle(HANDLE handle) {
  return ObjectHandle(handle);
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
