// Reading the host's query results: counts, numbers, and records whose
// fields are separated by commas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "hostlink/status.h"

namespace orvek::api {

// A count reply ("12\n"): blanks skipped, an optional sign, then digits up
// to the first other character; a text that does not begin so counts 0.
// Values beyond 32 bits stop at INT32_MIN or INT32_MAX.
std::int32_t ParseCount(std::string_view text);
// The reply capacity and result buffer of the two count queries, "4" and
// "2": room for "G|" and any count.
inline constexpr std::uint32_t kCountCapacity = 100;

// A number field ("  -1.5e3"): blanks skipped, an optional sign, digits with
// an optional point and fraction, an optional exponent, read as far as they
// form a number; a field that does not begin with one gives 0.0. Only
// decimal digits count: "inf", "nan" and hexadecimal give 0.0. A value
// beyond a double's range gives infinity, one below its smallest gives 0.0,
// each with the field's sign.
double ParseNumber(std::string_view text);

// Splits a record from the left, one field at a time. Nothing is trimmed:
// blanks and line ends stay in their field.
class RecordReader {
 public:
  explicit RecordReader(std::string_view record) : rest_(record) {}

  // The field up to the next comma, which is consumed; false when no comma
  // is left.
  bool next(std::string_view& field);
  // The field up to the next comma or the end; anything after that comma is
  // ignored.
  std::string_view last();

 private:
  std::string_view rest_;
};

// Copies `field` and a NUL into `out` of `room` bytes; 11, writing nothing,
// when it needs more.
StatusCode CopyField(std::string_view field, char* out, std::size_t room);

}  // namespace orvek::api
