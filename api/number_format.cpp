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
  NumberText number;
  // Exact decimal expansion rounded at the sixth decimal; the room always
  // suffices for a finite double, so ec is never set.
  auto result = std::to_chars(number.text, number.text + kNumberTextRoom - 1,
                              value, std::chars_format::fixed, 6);
  number.length = static_cast<std::size_t>(result.ptr - number.text);
  number.text[number.length] = '\0';
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
