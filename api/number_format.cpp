#include "api/number_format.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace orvek::api {
namespace {

NumberText FromLiteral(const char* literal) {
  NumberText number;
  number.length = std::strlen(literal);
  std::memcpy(number.text, literal, number.length + 1);
  return number;
}

// An unsigned whole number of up to 1088 bits, enough for the largest
// double times 10^6 (below 2^1044). Only what the "%f" writer needs.
class BigNumber {
 public:
  explicit BigNumber(std::uint64_t value) {
    limbs_[0] = static_cast<std::uint32_t>(value);
    limbs_[1] = static_cast<std::uint32_t>(value >> 32);
    used_ = 2;
    trim();
  }

  void multiply(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < used_; ++i) {
      std::uint64_t product = std::uint64_t{limbs_[i]} * factor + carry;
      limbs_[i] = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) limbs_[used_++] = static_cast<std::uint32_t>(carry);
  }

  void shift_left(int bits) {
    const std::size_t whole = static_cast<std::size_t>(bits) / 32;
    const int part = bits % 32;
    std::uint32_t shifted[kLimbs] = {};
    for (std::size_t i = 0; i < used_; ++i) {
      std::uint64_t wide = std::uint64_t{limbs_[i]} << part;
      shifted[i + whole] |= static_cast<std::uint32_t>(wide);
      shifted[i + whole + 1] |= static_cast<std::uint32_t>(wide >> 32);
    }
    used_ += whole + 1;
    std::memcpy(limbs_, shifted, sizeof(limbs_));
    trim();
  }

  // Divides by 2^bits, rounding the quotient half to even, as printf does.
  void shift_right_rounding_to_even(int bits) {
    const bool round_up = dropped_exceeds_half(bits) ||
                          (dropped_is_half(bits) && quotient_is_odd(bits));
    const std::size_t whole = static_cast<std::size_t>(bits) / 32;
    const int part = bits % 32;
    std::uint32_t shifted[kLimbs] = {};
    for (std::size_t i = whole; i < used_; ++i) {
      std::uint64_t wide = limb(i) | (std::uint64_t{limb(i + 1)} << 32);
      shifted[i - whole] = static_cast<std::uint32_t>(wide >> part);
    }
    used_ = used_ > whole ? used_ - whole : 0;
    std::memcpy(limbs_, shifted, sizeof(limbs_));
    trim();
    if (round_up) add_one();
  }

  // Writes the decimal digits, zeros in front up to `min_digits`; returns
  // how many were written.
  std::size_t write_decimal(char* out, std::size_t min_digits) {
    char reversed[kNumberTextRoom];
    std::size_t count = 0;
    while (used_ != 0) {
      std::uint32_t chunk = divide(1'000'000'000);
      for (int i = 0; i < 9; ++i, chunk /= 10)
        reversed[count++] = static_cast<char>('0' + chunk % 10);
    }
    while (count > 0 && reversed[count - 1] == '0') --count;
    while (count < min_digits) reversed[count++] = '0';
    for (std::size_t i = 0; i < count; ++i) out[i] = reversed[count - 1 - i];
    return count;
  }

 private:
  static constexpr std::size_t kLimbs = 34;

  std::uint32_t limb(std::size_t i) const { return i < used_ ? limbs_[i] : 0; }
  bool bit(int index) const {
    return (limb(static_cast<std::size_t>(index) / 32) >> (index % 32)) & 1;
  }
  // Whether any of the lowest `count` bits is set.
  bool any_below(int count) const {
    for (int i = 0; i < count; ++i)
      if (bit(i)) return true;
    return false;
  }
  bool dropped_exceeds_half(int bits) const {
    return bit(bits - 1) && any_below(bits - 1);
  }
  bool dropped_is_half(int bits) const {
    return bit(bits - 1) && !any_below(bits - 1);
  }
  bool quotient_is_odd(int bits) const { return bit(bits); }

  void add_one() {
    for (std::size_t i = 0; i < used_; ++i)
      if (++limbs_[i] != 0) return;
    limbs_[used_++] = 1;
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
  void trim() {
    while (used_ > 0 && limbs_[used_ - 1] == 0) --used_;
  }

  std::uint32_t limbs_[kLimbs] = {};
  std::size_t used_ = 0;
};

}  // namespace

NumberText DecimalText(std::int32_t value) {
  NumberText number;
  auto result = std::to_chars(number.text, number.text + kNumberTextRoom - 1,
                              value);
  number.length = static_cast<std::size_t>(result.ptr - number.text);
  number.text[number.length] = '\0';
  return number;
}

NumberText FixedText(double value) {
  // glibc's spelling, the one the library documents; msvcrt would write
  // "1.#INF00" and the like.
  if (std::isnan(value)) return FromLiteral("nan");
  if (std::isinf(value)) return FromLiteral(value < 0 ? "-inf" : "inf");

  // |value| = mantissa * 2^exponent exactly; the text is that times 10^6,
  // rounded half to even to a whole number, with the point put back.
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  const bool negative = bits >> 63;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent = biased == 0 ? -1074 : biased - 1075;
  if (biased != 0) mantissa |= std::uint64_t{1} << 52;

  BigNumber scaled(mantissa);
  scaled.multiply(1'000'000);
  if (exponent >= 0)
    scaled.shift_left(exponent);
  else
    scaled.shift_right_rounding_to_even(-exponent);

  // Digits, at least seven so that "0." stands before the six decimals.
  char digits[kNumberTextRoom];
  std::size_t count = scaled.write_decimal(digits, 7);
  NumberText number;
  std::size_t at = 0;
  if (negative) number.text[at++] = '-';
  std::memcpy(number.text + at, digits, count - 6);
  at += count - 6;
  number.text[at++] = '.';
  std::memcpy(number.text + at, digits + count - 6, 6);
  at += 6;
  number.text[at] = '\0';
  number.length = at;
  return number;
}

NumberText ZeroPaddedText(std::int32_t value, std::size_t min_digits) {
  NumberText digits = DecimalText(value);
  if (min_digits > kNumberTextRoom - 1) min_digits = kNumberTextRoom - 1;
  if (value < 0 || digits.length >= min_digits) return digits;
  NumberText padded;
  std::size_t zeros = min_digits - digits.length;
  std::memset(padded.text, '0', zeros);
  std::memcpy(padded.text + zeros, digits.text, digits.length + 1);
  padded.length = min_digits;
  return padded;
}

}  // namespace orvek::api
