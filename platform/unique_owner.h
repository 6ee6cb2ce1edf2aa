// The one move-only owner the library and the tools build every handle owner
// from: it releases what it holds when it goes out of scope, so every path
// out of a function releases it. Depends on nothing, so that the tools,
// which see no other part of the platform layer, use it too.
//
// A kind of resource is described by its traits:
//   struct FileTraits {
//     using Value = HANDLE;
//     static Value none() { return INVALID_HANDLE_VALUE; }  // "no handle"
//     void close(Value file) const { CloseHandle(file); }
//   };
//   using FileHandle = orvek::UniqueOwner<FileTraits>;
// Each kind keeps its own "no resource" value apart (INVALID_HANDLE_VALUE
// for files, null for events and keys), as each system call reports its
// failure. Traits that need a context to close (the library's platform)
// keep it as a member; stateless ones cost nothing.
#pragma once

#include <type_traits>
#include <utility>

namespace orvek {

template <typename Traits>
class UniqueOwner {
 public:
  using Value = typename Traits::Value;

  UniqueOwner()
    requires std::is_default_constructible_v<Traits>
  = default;
  explicit UniqueOwner(Value value)
    requires std::is_default_constructible_v<Traits>
      : value_(value) {}
  explicit UniqueOwner(Traits traits, Value value = Traits::none())
      : traits_(std::move(traits)), value_(value) {}
  UniqueOwner(UniqueOwner&& other) noexcept
      : traits_(other.traits_), value_(other.release()) {}
  UniqueOwner& operator=(UniqueOwner&& other) noexcept {
    if (this != &other) {
      reset();
      traits_ = other.traits_;
      value_ = other.release();
    }
    return *this;
  }
  UniqueOwner(const UniqueOwner&) = delete;
  UniqueOwner& operator=(const UniqueOwner&) = delete;
  ~UniqueOwner() { reset(); }

  Value get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::none(); }
  // Closes what is held and takes `value`.
  void reset(Value value = Traits::none()) {
    Value old = std::exchange(value_, value);
    if (old != Traits::none()) traits_.close(old);
  }
  // Gives up ownership without closing.
  Value release() { return std::exchange(value_, Traits::none()); }
  // For out-parameters: closes what is held, then gives its slot to fill.
  Value* put() {
    reset();
    return &value_;
  }

 private:
  [[no_unique_address]] Traits traits_{};
  Value value_ = Traits::none();
};

}  // namespace orvek
