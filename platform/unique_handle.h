// Move-only owners for the handles of platform.h: each closes what it holds
// when it goes out of scope, so every path out of a function releases it.
#pragma once

#include <utility>

#include "platform/platform.h"

namespace orvek::platform {

// Owner of a file, event, process or thread handle. `Empty` is the value that
// means "no handle" for its kind (kInvalidFile for files, kNullHandle else).
template <Handle Empty>
class UniqueHandle {
 public:
  UniqueHandle(Platform& os, Handle handle) : os_(&os), handle_(handle) {}
  explicit UniqueHandle(Platform& os) : UniqueHandle(os, Empty) {}
  UniqueHandle(UniqueHandle&& other) noexcept
      : os_(other.os_), handle_(std::exchange(other.handle_, Empty)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      os_ = other.os_;
      handle_ = std::exchange(other.handle_, Empty);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Empty; }
  // For out-parameters: releases what is held and gives the slot to fill.
  Handle* put() {
    reset();
    return &handle_;
  }
  void reset() {
    if (handle_ != Empty) os_->close_handle(std::exchange(handle_, Empty));
  }

 private:
  Platform* os_;
  Handle handle_;
};

using UniqueFile = UniqueHandle<kInvalidFile>;
using UniqueObject = UniqueHandle<kNullHandle>;

// Owner of an open registry key.
class UniqueRegKey {
 public:
  explicit UniqueRegKey(Platform& os) : os_(&os) {}
  UniqueRegKey(const UniqueRegKey&) = delete;
  UniqueRegKey& operator=(const UniqueRegKey&) = delete;
  ~UniqueRegKey() { reset(); }
  Handle get() const { return key_; }
  // For out-parameters: closes what is held and gives the slot to fill.
  Handle* put() {
    reset();
    return &key_;
  }
  void reset() {
    if (key_ != kNullHandle) os_->reg_close_key(std::exchange(key_, kNullHandle));
  }

 private:
  Platform* os_;
  Handle key_ = kNullHandle;
};

}  // namespace orvek::platform
