// A text assembled piece by piece into a fixed buffer that is never written
// past. Once a piece does not fit, the text is marked overflowed and the
// caller refuses it whole: a request is never cut.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace orvek::api {

class BoundedText {
 public:
  // `room` counts the terminating NUL, so the text holds room - 1 bytes.
  BoundedText(char* buffer, std::size_t room) : buffer_(buffer), room_(room) {
    buffer_[0] = '\0';
  }

  BoundedText& append(std::string_view piece) {
    if (overflowed_ || piece.size() > room_ - 1 - length_) {
      overflowed_ = true;
      return *this;
    }
    std::memcpy(buffer_ + length_, piece.data(), piece.size());
    length_ += piece.size();
    buffer_[length_] = '\0';
    return *this;
  }

  bool overflowed() const { return overflowed_; }
  std::size_t length() const { return length_; }
  const char* c_str() const { return buffer_; }
  std::string_view view() const { return {buffer_, length_}; }

 private:
  char* buffer_;
  std::size_t room_;
  std::size_t length_ = 0;
  bool overflowed_ = false;
};

}  // namespace orvek::api
