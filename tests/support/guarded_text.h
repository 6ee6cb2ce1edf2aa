// A caller's text buffer of `size` bytes with a guard zone behind it, so that
// a write past `size` bytes shows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orvek::testing {

class GuardedText {
 public:
  explicit GuardedText(std::size_t size)
      : size_(size), bytes_(size + kGuardBytes, '#') {}

  char* data() { return bytes_.data(); }
  // The text as stored, or "#" when nothing was stored.
  std::string text() const {
    return bytes_[0] == '#' ? "#" : std::string(bytes_.data());
  }
  bool guard_intact() const {
    for (std::size_t i = size_; i < bytes_.size(); ++i)
      if (bytes_[i] != '#') return false;
    return true;
  }

 private:
  static constexpr std::size_t kGuardBytes = 16;
  std::size_t size_;
  std::vector<char> bytes_;
};

}  // namespace orvek::testing
