#include "api/number_format.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "api/big_number.h"

namespace orvek::api {
namespace {

NumberText FromLiteral(const char* literal) {
  NumberText number;
  number.length = std::strlen(literal);
  std::memcpy(number.text, literal, number.length + 1);
  return number;
}

// Enough for the largest double times 10^6 (below 2^1044).
using FixedNumber = BigNumber<34>;

// Writes the decimal digits of `number` (emptied on the way), zeros in
// front up to `min_digits`; returns how many were written.
std::size_t WriteDecimal(FixedNumber& number, char* out,
                         std::size_t min_digits) {
  char reversed[kNumberTextRoom];
  std::size_t count = 0;
  while (!number.is_zero()) {
    std::uint32_t chunk = number.divide(1'000'000'000);
    for (int i = 0; i < 9; ++i, chunk /= 10)
      reversed[count++] = static_cast<char>('0' + chunk % 10);
  }
  while (count > 0 && reversed[count - 1] == '0') --count;
  while (count < min_digits) reversed[count++] = '0';
  for (std::size_t i = 0; i < count; ++i) out[i] = reversed[count - 1 - i];
  return count;
}

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
  const bool negative = std::signbit(value);
  const auto [mantissa, exponent] = Decompose(value);

  FixedNumber scaled(mantissa);
  scaled.multiply_add(1'000'000);
  if (exponent >= 0)
    scaled.shift_left(static_cast<std::size_t>(exponent));
  else
    scaled.shift_right_rounding_to_even(static_cast<std::size_t>(-exponent));

  // Digits, at least seven so that "0." stands before the six decimals.
  char digits[kNumberTextRoom];
  std::size_t count = WriteDecimal(scaled, digits, 7);
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
