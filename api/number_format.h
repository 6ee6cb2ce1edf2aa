// The two number forms of request bodies: "%d" and "%f" (six decimals).
// They are written here, never by the C runtime's printf, so the text is the
// same on every platform and every C runtime. "%f" works on the double's
// exact binary value with a small big-number type instead of the standard
// library's floating-point to_chars, whose tables would triple the DLL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvek::api {

// Room for the longest "%f" of a double: DBL_MAX has 309 integer digits,
// then a sign, the point, six decimals and the NUL.
inline constexpr std::size_t kNumberTextRoom = 320;

// A formatted number, NUL-terminated.
struct NumberText {
  char text[kNumberTextRoom];
  std::size_t length;

  std::string_view view() const { return {text, length}; }
};

// "%d": a minus sign for negatives, no plus sign, no leading zeros.
NumberText DecimalText(std::int32_t value);

// "%f": fixed point, at least one integer digit, exactly six decimals,
// correctly rounded (ties to even, as glibc's printf does on the exact
// binary value); never an exponent. -0.0 keeps its sign ("-0.000000").
// Non-finite values print as "inf", "-inf" and "nan" (a NaN's sign bit
// means nothing and is dropped).
NumberText FixedText(double value);

// "%0*d" for a value that is zero or more: at least `min_digits` digits,
// zeros in front. Used for the minute and thousandth digits of a coordinate.
NumberText ZeroPaddedText(std::int32_t value, std::size_t min_digits);

}  // namespace orvek::api
