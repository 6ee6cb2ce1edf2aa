// The number writer and reader against glibc: "%f", "%d" and "%0*d" as
// snprintf writes them, and the readers as strtod and strtoll read a text
// made of the characters a number can hold.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <climits>
#include <cmath>
#include <string>

#include "api/number_format.h"
#include "api/record_fields.h"
#include "fuzz/fuzz_world.h"

using namespace orvek;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  char expected[400];

  // Any bit pattern, or a value right next to a tie at the sixth decimal,
  // where a rounding slip would show.
  double value = std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>());
  if (in.ConsumeBool()) {
    double tie = (static_cast<double>(in.ConsumeIntegral<std::uint32_t>() % 2000000000) + 0.5) / 1e6;
    value = std::nextafter(tie, in.ConsumeBool() ? 0.0 : 1e300);
  }
  std::snprintf(expected, sizeof expected, "%f", value);
  std::string oracle = expected;
  if (std::isnan(value)) oracle = "nan";  // the writer drops a NaN's sign
  fuzz::Check(api::FixedText(value).view() == oracle, "%f differs from glibc");

  std::int32_t integer = in.ConsumeIntegral<std::int32_t>();
  std::snprintf(expected, sizeof expected, "%d", integer);
  fuzz::Check(api::DecimalText(integer).view() == expected, "%d differs");
  std::int32_t positive = integer == INT32_MIN ? 0 : std::abs(integer);
  int digits = in.ConsumeIntegralInRange(0, 12);
  std::snprintf(expected, sizeof expected, "%0*d", digits, positive);
  fuzz::Check(api::ZeroPaddedText(positive, static_cast<std::size_t>(digits)).view() ==
                  expected,
              "%0*d differs");

  // No letters but the exponent's, so glibc sees no hex, inf or nan either.
  static constexpr char kAlphabet[] = " \t\n+-.0123456789eE,";
  std::string text;
  while (in.remaining_bytes() > 0 && text.size() < 400)
    text += kAlphabet[in.ConsumeIntegral<std::uint8_t>() % (sizeof kAlphabet - 1)];
  double read = api::ParseNumber(text);
  double glibc = std::strtod(text.c_str(), nullptr);
  fuzz::Check(std::bit_cast<std::uint64_t>(read) == std::bit_cast<std::uint64_t>(glibc),
              "number read differs from strtod");
  long long wide = std::strtoll(text.c_str(), nullptr, 10);
  std::int32_t count = static_cast<std::int32_t>(
      wide < INT32_MIN ? INT32_MIN : wide > INT32_MAX ? INT32_MAX : wide);
  fuzz::Check(api::ParseCount(text) == count, "count read differs from strtoll");
  return 0;
}
