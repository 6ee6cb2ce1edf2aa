#include "api/record_fields.h"

#include <charconv>
#include <cstring>
#include <limits>

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
  bool negative = SkipBlanksAndSign(text, at);

  // The extent of "digits[.digits][e[sign]digits]" is found first, so that
  // from_chars sees nothing beyond what this rule reads. On the way, the
  // decimal magnitude of the first digit that is not zero (value about
  // 0.d x 10^magnitude) tells overflow from underflow.
  std::size_t start = at;
  std::size_t digits = 0;
  bool seen_nonzero = false;
  std::int64_t magnitude = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at, ++digits) {
    seen_nonzero = seen_nonzero || text[at] != '0';
    if (seen_nonzero) ++magnitude;
  }
  if (at < text.size() && text[at] == '.') {
    for (++at; at < text.size() && IsDigit(text[at]); ++at, ++digits) {
      if (seen_nonzero) continue;
      seen_nonzero = text[at] != '0';
      if (!seen_nonzero) --magnitude;
    }
  }
  if (digits == 0) return 0.0;
  std::int64_t exponent = 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    std::size_t mark = at + 1;
    bool exponent_negative = false;
    if (mark < text.size() && (text[mark] == '+' || text[mark] == '-'))
      exponent_negative = text[mark++] == '-';
    if (mark < text.size() && IsDigit(text[mark])) {
      // Far beyond any double's range already; stops growing there.
      for (at = mark; at < text.size() && IsDigit(text[at]); ++at)
        if (exponent < 100000) exponent = exponent * 10 + (text[at] - '0');
      if (exponent_negative) exponent = -exponent;
    }
  }

  double value = 0.0;
  auto result = std::from_chars(text.data() + start, text.data() + at, value,
                                std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    value = seen_nonzero && magnitude + exponent > 0
                ? std::numeric_limits<double>::infinity()
                : 0.0;
  }
  return negative ? -value : value;
}

bool RecordReader::next(std::string_view& field) {
  std::size_t comma = rest_.find(',');
  if (comma == std::string_view::npos) return false;
  field = rest_.substr(0, comma);
  rest_.remove_prefix(comma + 1);
  return true;
}

std::string_view RecordReader::last() {
  std::string_view field = rest_.substr(0, rest_.find(','));
  rest_ = {};
  return field;
}

StatusCode CopyField(std::string_view field, char* out, std::size_t room) {
  if (field.size() >= room) return kTooLong;
  std::memcpy(out, field.data(), field.size());
  out[field.size()] = '\0';
  return kOk;
}

}  // namespace orvek::api
