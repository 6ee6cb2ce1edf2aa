#include "api/position_sentence.h"

#include <cmath>

#include "api/bounded_text.h"
#include "api/number_format.h"
#include "hostlink/envelopes.h"

// The arithmetic below must be plain IEEE double arithmetic: the build gives
// this file -ffp-contract=off, and SSE math on 32-bit x86 where x87 excess
// precision would otherwise change truncated digits.

namespace orvek::api {
namespace {

// Beyond this a double has no 32-bit integer part to truncate to.
constexpr double kTwoPow31 = 2147483648.0;

bool FitsInt32(double value) {
  return std::isfinite(value) && std::fabs(value) < kTwoPow31;
}

// Degrees, whole minutes and thousandths of a minute, every step truncated:
// 40.25 gives "4015.000", 41.4 gives "4123.999" (41.4 lies just below), 0
// gives "000.000". `value` is zero or more and below 2^31.
void AppendCoordinate(BoundedText& out, double value) {
  std::int32_t degrees = static_cast<std::int32_t>(value);
  double minutes = (value - degrees) * 60.0;
  std::int32_t whole_minutes = static_cast<std::int32_t>(minutes);
  std::int32_t thousandths =
      static_cast<std::int32_t>((minutes - whole_minutes) * 1000.0);
  out.append(DecimalText(degrees).view())
      .append(ZeroPaddedText(whole_minutes, 2).view())
      .append(".")
      .append(ZeroPaddedText(thousandths, 3).view());
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

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
  if (text1 == nullptr || text2 == nullptr) return kInvalidArgument;
  if (!FitsInt32(longitude) || !FitsInt32(latitude) || !FitsInt32(altitude))
    return kInvalidArgument;
  NumberText real_text = FixedText(realValue);
  if (real_text.length > kMaxNumberField) return kTooLong;

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
    return kTooLong;
  }

  // XOR of every byte after the "$".
  std::uint8_t checksum = SentenceChecksum(sentence + 1);
  const char tail[] = {'*', kHexDigits[checksum >> 4],
                       kHexDigits[checksum & 15], '\r', '\n'};
  out.append({tail, sizeof(tail)});
  if (out.overflowed()) {
    sentence[0] = '\0';
    return kTooLong;
  }
  return kOk;
}

StatusCode NewPoint(platform::Platform& os, double longitude, double latitude,
                    double altitude, const char* text1, const char* text2,
                    double realValue, std::int32_t intValue) {
  char sentence[kMaxSentence + 1];
  StatusCode status = BuildPositionSentence(longitude, latitude, altitude,
                                            text1, text2, realValue, intValue,
                                            sentence);
  if (status != kOk) return status;
  return hostlink::SendCommand(os, "E", sentence);
}

}  // namespace orvek::api
