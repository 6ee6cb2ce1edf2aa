#include "api/position_sentence.h"

#include <bit>
#include <cmath>

#include "api/big_number.h"
#include "api/bounded_text.h"
#include "api/number_format.h"
#include "hostlink/envelopes.h"
#include "protocol/host_protocol.h"

namespace orvek::api {
namespace {

// Beyond this a double has no 32-bit integer part to truncate to.
constexpr double kTwoPow31 = 2147483648.0;

bool FitsInt32(double value) {
  return std::isfinite(value) && std::fabs(value) < kTwoPow31;
}

// Takes the whole part (below 2^31) out of `value`, leaving the fraction;
// exact, as a double subtraction of the truncated value is.
std::int32_t TakeWhole(Dyadic& value) {
  if (value.exponent >= 0) {
    std::uint64_t whole = value.mantissa << value.exponent;
    value.mantissa = 0;
    return static_cast<std::int32_t>(whole);
  }
  if (value.exponent <= -64) return 0;
  const int shift = -value.exponent;
  std::uint64_t whole = value.mantissa >> shift;
  value.mantissa &= (std::uint64_t{1} << shift) - 1;
  return static_cast<std::int32_t>(whole);
}

// value x factor rounded to 53 bits, ties to even: the double product. The
// subnormal range, where a double would keep fewer bits, is never reached
// with a visible digit.
Dyadic MultiplyRounded(Dyadic value, std::uint32_t factor) {
  std::uint64_t product = value.mantissa * factor;  // below 2^63
  const int length = std::bit_width(product);
  if (length <= 53) return {product, value.exponent};
  const int drop = length - 53;
  const std::uint64_t half = std::uint64_t{1} << (drop - 1);
  const std::uint64_t rest = product & (2 * half - 1);
  product >>= drop;
  if (rest > half || (rest == half && (product & 1) != 0)) ++product;
  return {product, value.exponent + drop};
}

// Appends "DDDMM.mmm": the degrees, two digits of minutes, three of
// thousandths of a minute.
void AppendCoordinate(BoundedText& out, double value) {
  CoordinateParts parts = SplitCoordinate(value);
  out.append(DecimalText(parts.degrees).view())
      .append(ZeroPaddedText(parts.minutes, 2).view())
      .append(".")
      .append(ZeroPaddedText(parts.thousandths, 3).view());
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

CoordinateParts SplitCoordinate(double value) {
  // The double steps value - degrees, x 60, - whole minutes, x 1000, each
  // truncated, are done on the exact binary value in whole numbers, so no
  // CPU's floating-point unit (x87 excess precision, fused multiply-add)
  // can change a digit.
  Dyadic rest = Decompose(value);
  CoordinateParts parts{};
  parts.degrees = TakeWhole(rest);
  rest = MultiplyRounded(rest, 60);
  parts.minutes = TakeWhole(rest);
  rest = MultiplyRounded(rest, 1000);
  parts.thousandths = TakeWhole(rest);
  return parts;
}

std::uint8_t SentenceChecksum(const char* text) {
  std::uint8_t sum = 0;
  for (const char* c = text; *c != '\0'; ++c)
    sum ^= static_cast<std::uint8_t>(*c);
  return sum;
}

StatusCode BuildPositionSentence(double longitude, double latitude,
                                 double altitude, const char* text1,
                                 const char* text2, double realValue,
                                 std::int32_t intValue,
                                 char (&sentence)[kMaxSentence + 1]) {
  sentence[0] = '\0';
  if (text1 == nullptr || text2 == nullptr) return ORVEKPORT_E_INVALID_ARGUMENT;
  if (!FitsInt32(longitude) || !FitsInt32(latitude) || !FitsInt32(altitude))
    return ORVEKPORT_E_INVALID_ARGUMENT;
  NumberText real_text = FixedText(realValue);
  if (real_text.length > kMaxNumberField) return ORVEKPORT_E_TOO_LONG;

  // An ordered less-than: -0.0 is not below zero and keeps "N" and "E".
  const char* latitude_letter = "N";
  const char* longitude_letter = "E";
  if (latitude < 0) {
    latitude = -latitude;
    latitude_letter = "S";
  }
  if (longitude < 0) {
    longitude = -longitude;
    longitude_letter = "W";
  }

  // $AAGGAM,,4015.000,N,330.000,W,1,5,0,650,m,,,,,,,A,B,1.500000,2*64\r\n
  BoundedText out(sentence, kMaxSentence + 1);
  out.append("$AAGGAM,,");
  AppendCoordinate(out, latitude);
  out.append(",").append(latitude_letter).append(",");
  AppendCoordinate(out, longitude);
  out.append(",").append(longitude_letter).append(",1,5,0,");
  out.append(DecimalText(static_cast<std::int32_t>(altitude)).view());
  out.append(",m,,,,,,,").append(text1).append(",").append(text2);
  out.append(",").append(real_text.view());
  out.append(",").append(DecimalText(intValue).view());
  if (out.overflowed()) {
    sentence[0] = '\0';
    return ORVEKPORT_E_TOO_LONG;
  }

  // XOR of every byte after the "$".
  std::uint8_t checksum = SentenceChecksum(sentence + 1);
  const char tail[] = {'*', kHexDigits[checksum >> 4],
                       kHexDigits[checksum & 15], '\r', '\n'};
  out.append({tail, sizeof(tail)});
  if (out.overflowed()) {
    sentence[0] = '\0';
    return ORVEKPORT_E_TOO_LONG;
  }
  return ORVEKPORT_OK;
}

StatusCode NewPoint(platform::Platform& os, double longitude, double latitude,
                    double altitude, const char* text1, const char* text2,
                    double realValue, std::int32_t intValue) {
  char sentence[kMaxSentence + 1];
  StatusCode status = BuildPositionSentence(longitude, latitude, altitude,
                                            text1, text2, realValue, intValue,
                                            sentence);
  if (status != ORVEKPORT_OK) return status;
  return hostlink::SendCommand(os, protocol::kPositionFixCommand, sentence);
}

}  // namespace orvek::api
