#include "api/record_fields.h"

#include <bit>
#include <cstring>
#include <limits>

#include "api/big_number.h"

namespace orvek::api {
namespace {

// The C library's white space, which atoi and strtod skip.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips blanks and reads an optional sign; returns whether it was "-".
bool SkipBlanksAndSign(std::string_view text, std::size_t& at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  if (at < text.size() && (text[at] == '+' || text[at] == '-'))
    return text[at++] == '-';
  return false;
}

// The significant digits of a decimal number, as one whole number, and
// its exact conversion to the nearest double.
class DecimalDigits {
 public:
  // Takes the next digit; false when it is beyond those kept (then only
  // whether it is zero matters). Leading zeros are taken and dropped.
  bool take(char digit) {
    std::uint32_t value = static_cast<std::uint32_t>(digit - '0');
    if (kept_ == 0 && value == 0) return true;
    if (kept_ == kMaxDigits) {
      sticky_ = sticky_ || value != 0;
      return false;
    }
    ++kept_;
    chunk_ = chunk_ * 10 + value;
    chunk_scale_ *= 10;
    if (chunk_scale_ == 1'000'000'000) flush();
    return true;
  }
  bool significant() const { return kept_ != 0; }
  std::int64_t count() const { return static_cast<std::int64_t>(kept_); }

  // The double nearest to digits x 10^exponent (and a bit more when sticky),
  // ties to even; the caller has ruled out overflow far beyond the range.
  double to_double(std::int64_t exponent) {
    flush();
    std::uint64_t quotient = 0;
    std::int64_t binary_exponent = 0;
    if (exponent >= 0) {
      digits_.multiply_by_power_of_ten(exponent);
      std::size_t bits = digits_.bit_length();
      if (bits > 64) {
        binary_exponent = static_cast<std::int64_t>(bits - 64);
        sticky_ = sticky_ || digits_.any_below(bits - 64);
        digits_.shift_right(bits - 64);
      }
      quotient = digits_.low64();
    } else {
      quotient = divide_by_power_of_ten(-exponent, &binary_exponent);
    }
    return Round(quotient, binary_exponent, sticky_);
  }

 private:
  // 767 significant digits decide any double; those beyond count only as
  // "more than zero".
  static constexpr std::size_t kMaxDigits = 780;
  // Room for 10^1105 shifted by 64 bits: the largest divisor that a number
  // not yet known to be zero can need.
  using Number = BigNumber<120>;

  void flush() {
    if (chunk_scale_ == 1) return;
    digits_.multiply_add(chunk_scale_, chunk_);
    chunk_ = 0;
    chunk_scale_ = 1;
  }

  // digits / 10^power as quotient x 2^binary_exponent, the quotient of 63
  // or 64 bits, by long division; a remainder sets `sticky_`.
  std::uint64_t divide_by_power_of_ten(std::int64_t power,
                                       std::int64_t* binary_exponent) {
    Number divisor(1);
    divisor.multiply_by_power_of_ten(power);
    std::int64_t shift = static_cast<std::int64_t>(divisor.bit_length()) -
                         static_cast<std::int64_t>(digits_.bit_length()) + 63;
    if (shift >= 0)
      digits_.shift_left(static_cast<std::size_t>(shift));
    else
      divisor.shift_left(static_cast<std::size_t>(-shift));
    *binary_exponent = -shift;
    divisor.shift_left(63);
    std::uint64_t quotient = 0;
    for (int bit = 63; bit >= 0; --bit) {
      if (digits_.compare(divisor) >= 0) {
        digits_.subtract(divisor);
        quotient |= std::uint64_t{1} << bit;
      }
      divisor.shift_right(1);
    }
    sticky_ = sticky_ || !digits_.is_zero();
    return quotient;
  }

  // quotient x 2^binary_exponent, plus a little when sticky, to the nearest
  // double: 53 bits, fewer below the normal range, infinity above it.
  static double Round(std::uint64_t quotient, std::int64_t binary_exponent,
                      bool sticky) {
    if (quotient == 0) return 0.0;
    const std::int64_t length = std::bit_width(quotient);
    std::int64_t top = length - 1 + binary_exponent;
    std::int64_t lowest = top - 52 > -1074 ? top - 52 : -1074;
    std::int64_t drop = lowest - binary_exponent;
    std::uint64_t mantissa = 0;
    if (drop <= 0) {
      mantissa = quotient << -drop;
    } else if (drop <= 64) {
      std::uint64_t half = std::uint64_t{1} << (drop - 1);
      std::uint64_t rest = drop == 64 ? quotient : quotient & (2 * half - 1);
      mantissa = drop == 64 ? 0 : quotient >> drop;
      if (rest > half || (rest == half && (sticky || (mantissa & 1))))
        ++mantissa;
    }
    constexpr std::uint64_t kHidden = std::uint64_t{1} << 52;
    if (mantissa == 2 * kHidden) {
      mantissa = kHidden;
      ++lowest;
    }
    std::uint64_t bits = mantissa;  // below 2^52: a subnormal, as it stands
    if (mantissa >= kHidden) {
      std::int64_t biased = lowest + 1075;
      if (biased >= 2047) return std::numeric_limits<double>::infinity();
      bits = static_cast<std::uint64_t>(biased) << 52 | (mantissa - kHidden);
    }
    double value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
  }

  Number digits_;
  std::size_t kept_ = 0;
  std::uint32_t chunk_ = 0;
  std::uint32_t chunk_scale_ = 1;
  bool sticky_ = false;
};

}  // namespace

std::int32_t ParseCount(std::string_view text) {
  std::size_t at = 0;
  bool negative = SkipBlanksAndSign(text, at);
  // Accumulated as a negative number: its range reaches INT32_MIN.
  constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
  std::int64_t value = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    value = value * 10 - (text[at] - '0');
    if (value < kLowest) value = kLowest - 1;  // sticks below the range
  }
  if (negative) {
    return value < kLowest ? std::numeric_limits<std::int32_t>::min()
                           : static_cast<std::int32_t>(value);
  }
  if (-value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(-value);
}

double ParseNumber(std::string_view text) {
  std::size_t at = 0;
  const bool negative = SkipBlanksAndSign(text, at);

  // "digits[.digits][e[sign]digits]": the significant digits go into
  // `digits`, so that the value is digits x 10^exponent, a little more when
  // `sticky` says a digit beyond those kept was not zero.
  DecimalDigits digits;
  std::size_t count = 0;
  std::int64_t exponent = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at, ++count)
    if (!digits.take(text[at])) ++exponent;
  if (at < text.size() && text[at] == '.') {
    for (++at; at < text.size() && IsDigit(text[at]); ++at, ++count)
      if (digits.take(text[at])) --exponent;
  }
  if (count == 0) return 0.0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    std::size_t mark = at + 1;
    bool exponent_negative = false;
    if (mark < text.size() && (text[mark] == '+' || text[mark] == '-'))
      exponent_negative = text[mark++] == '-';
    // Far beyond any double's range already; stops growing there.
    std::int64_t written = 0;
    for (at = mark; at < text.size() && IsDigit(text[at]); ++at)
      if (written < 100000) written = written * 10 + (text[at] - '0');
    exponent += exponent_negative ? -written : written;
  }

  // The decimal magnitude of the first digit that is not zero (the value is
  // about 0.d x 10^magnitude) tells overflow and underflow apart early.
  const std::int64_t magnitude = exponent + digits.count();
  double value = 0.0;
  if (digits.significant() && magnitude >= 311)
    value = std::numeric_limits<double>::infinity();  // 10^310 and more
  else if (digits.significant() && magnitude > -324)  // else below 10^-324
    value = digits.to_double(exponent);
  return negative ? -value : value;
}

// Fields are cut with the two-argument constructor: substr would bring the
// library's range check and its exception with it.
bool RecordReader::next(std::string_view& field) {
  std::size_t comma = rest_.find(',');
  if (comma == std::string_view::npos) return false;
  field = std::string_view(rest_.data(), comma);
  rest_.remove_prefix(comma + 1);
  return true;
}

std::string_view RecordReader::last() {
  std::size_t comma = rest_.find(',');
  std::string_view field(
      rest_.data(), comma == std::string_view::npos ? rest_.size() : comma);
  rest_ = {};
  return field;
}

StatusCode CopyField(std::string_view field, char* out, std::size_t room) {
  if (field.size() >= room) return ORVEKPORT_E_TOO_LONG;
  std::memcpy(out, field.data(), field.size());
  out[field.size()] = '\0';
  return ORVEKPORT_OK;
}

}  // namespace orvek::api
