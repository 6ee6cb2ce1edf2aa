// An unsigned whole number of a fixed number of 32-bit limbs, with only the
// operations that the exact number writer and reader need. Nothing here
// allocates: every number lives where it is declared.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace orvek::api {

// The magnitude of a finite double as mantissa x 2^exponent, exactly (the
// sign bit is not looked at).
struct Dyadic {
  std::uint64_t mantissa;
  int exponent;
};

inline Dyadic Decompose(double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return {fraction, -1074};
  return {fraction | std::uint64_t{1} << 52, biased - 1075};
}

template <std::size_t Limbs>
class BigNumber {
 public:
  explicit BigNumber(std::uint64_t value = 0) {
    limbs_[0] = static_cast<std::uint32_t>(value);
    limbs_[1] = static_cast<std::uint32_t>(value >> 32);
    used_ = 2;
    trim();
  }

  bool is_zero() const { return used_ == 0; }
  std::size_t bit_length() const {
    if (used_ == 0) return 0;
    return (used_ - 1) * 32 + std::bit_width(limbs_[used_ - 1]);
  }
  // The lowest 64 bits.
  std::uint64_t low64() const { return limb(0) | std::uint64_t{limb(1)} << 32; }

  // this = this * factor + addend.
  void multiply_add(std::uint32_t factor, std::uint32_t addend = 0) {
    std::uint64_t carry = addend;
    for (std::size_t i = 0; i < used_; ++i) {
      std::uint64_t product = std::uint64_t{limbs_[i]} * factor + carry;
      limbs_[i] = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) limbs_[used_++] = static_cast<std::uint32_t>(carry);
  }
  // this = this * 10^power.
  void multiply_by_power_of_ten(std::int64_t power) {
    for (; power >= 9; power -= 9) multiply_add(1'000'000'000);
    for (; power > 0; --power) multiply_add(10);
  }

  // Both shifts work in place, over the limbs in use only.
  void shift_left(std::size_t bits) {
    if (used_ == 0) return;
    const std::size_t whole = bits / 32;
    const unsigned part = bits % 32;
    const std::size_t old_used = used_;
    std::size_t top =
        old_used + whole + 1 < Limbs ? old_used + whole + 1 : Limbs;
    // From the top down, each limb is read before it is written.
    for (std::size_t i = top; i-- > whole;) {
      std::size_t from = i - whole;
      std::uint32_t high = from < old_used ? limbs_[from] : 0;
      std::uint32_t low =
          from > 0 && from - 1 < old_used ? limbs_[from - 1] : 0;
      limbs_[i] = part == 0 ? high : (high << part) | (low >> (32 - part));
    }
    for (std::size_t i = 0; i < whole && i < Limbs; ++i) limbs_[i] = 0;
    used_ = top;
    trim();
  }
  // Divides by 2^bits, dropping the remainder.
  void shift_right(std::size_t bits) {
    const std::size_t whole = bits / 32;
    const unsigned part = bits % 32;
    if (whole >= used_) {
      used_ = 0;
      return;
    }
    // From the bottom up, each limb is read before it is written.
    for (std::size_t i = 0; i + whole < used_; ++i) {
      std::uint32_t low = limbs_[i + whole];
      std::uint32_t high = i + whole + 1 < used_ ? limbs_[i + whole + 1] : 0;
      limbs_[i] = part == 0 ? low : (low >> part) | (high << (32 - part));
    }
    used_ -= whole;
    trim();
  }
  // Divides by 2^bits, rounding the quotient half to even, as printf does.
  void shift_right_rounding_to_even(std::size_t bits) {
    const bool half = bit(bits - 1);
    const bool above_half = half && any_below(bits - 1);
    const bool round_up = above_half || (half && bit(bits));
    shift_right(bits);
    if (round_up) multiply_add(1, 1);
  }
  // Whether any of the lowest `count` bits is set.
  bool any_below(std::size_t count) const {
    std::size_t whole = count / 32;
    for (std::size_t i = 0; i < whole && i < used_; ++i)
      if (limbs_[i] != 0) return true;
    unsigned part = count % 32;
    return part != 0 && (limb(whole) & ((std::uint32_t{1} << part) - 1)) != 0;
  }

  int compare(const BigNumber& other) const {
    if (used_ != other.used_) return used_ < other.used_ ? -1 : 1;
    for (std::size_t i = used_; i-- > 0;)
      if (limbs_[i] != other.limbs_[i])
        return limbs_[i] < other.limbs_[i] ? -1 : 1;
    return 0;
  }
  // this -= other, where other <= this.
  void subtract(const BigNumber& other) {
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < used_; ++i) {
      std::int64_t difference =
          std::int64_t{limbs_[i]} - other.limb(i) - borrow;
      borrow = difference < 0;
      limbs_[i] = static_cast<std::uint32_t>(difference);
    }
    trim();
  }

  // Divides in place; returns the remainder.
  std::uint32_t divide(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (std::size_t i = used_; i-- > 0;) {
      std::uint64_t current = (remainder << 32) | limbs_[i];
      limbs_[i] = static_cast<std::uint32_t>(current / divisor);
      remainder = current % divisor;
    }
    trim();
    return static_cast<std::uint32_t>(remainder);
  }

 private:
  std::uint32_t limb(std::size_t i) const { return i < used_ ? limbs_[i] : 0; }
  bool bit(std::size_t index) const {
    return (limb(index / 32) >> (index % 32)) & 1;
  }
  void trim() {
    while (used_ > 0 && limbs_[used_ - 1] == 0) --used_;
  }

  std::uint32_t limbs_[Limbs] = {};
  std::size_t used_ = 0;
};

}  // namespace orvek::api
