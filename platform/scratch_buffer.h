// A per-call buffer that lives on the stack when it is small and on the
// platform's heap when it is not.
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace orvek::platform {

// A per-call buffer of `bytes` bytes: on the stack up to StackBytes, from
// the platform's heap above that. Null (operator bool false) when the heap
// has no room.
template <std::size_t StackBytes>
class ScratchBuffer {
 public:
  ScratchBuffer(Platform& os, std::size_t bytes) : os_(&os) {
    data_ =
        bytes <= StackBytes ? stack_ : static_cast<char*>(os.allocate(bytes));
  }
  ScratchBuffer(const ScratchBuffer&) = delete;
  ScratchBuffer& operator=(const ScratchBuffer&) = delete;
  ~ScratchBuffer() {
    if (data_ != nullptr && data_ != stack_) os_->release(data_);
  }
  char* get() { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  Platform* os_;
  char* data_;
  char stack_[StackBytes];
};

}  // namespace orvek::platform
