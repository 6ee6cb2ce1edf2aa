// The position fix: one sentence framed like NMEA 0183, sent as command "E".
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/host_protocol.h"
#include "OrvekPORT/OrvekPORT.h"
#include "hostlink/status.h"
#include "platform/platform.h"

namespace orvek::api {

// The sentence and its CR LF travel as one command body.
inline constexpr std::size_t kMaxSentence = protocol::kMaxCommandBody;
// Each number field of the sentence is at most this long; only realValue
// can be longer (from 1e41 up), and is then refused.
inline constexpr std::size_t kMaxNumberField = ORVEKPORT_EXTRA_REAL_TEXT_MAX;

// A coordinate's degrees, whole minutes and thousandths of a minute, as the
// double steps (value - degrees) x 60 and (minutes - whole) x 1000 give
// them, every step truncated: 40.25 gives 40, 15, 0; 41.4 gives 41, 23, 999
// (41.4 lies just below). `value` is zero or more and below 2^31.
struct CoordinateParts {
  std::int32_t degrees;
  std::int32_t minutes;
  std::int32_t thousandths;
};
CoordinateParts SplitCoordinate(double value);

// XOR of the bytes of `text` as 8-bit values, up to its NUL.
std::uint8_t SentenceChecksum(const char* text);

// Builds the sentence, e.g. for longitude -3.5, latitude 40.25, altitude
// 650.7, texts "A" and "B", 1.5 and 2:
//   $AAGGAM,,4015.000,N,330.000,W,1,5,0,650,m,,,,,,,A,B,1.500000,2*64\r\n
// 12 when a text is null or longitude, latitude or altitude is not finite or
// of magnitude 2^31 or more; 11 when realValue's "%f" passes 49 characters
// or the sentence passes kMaxSentence with its CR LF. `sentence` is then
// left empty.
StatusCode BuildPositionSentence(double longitude, double latitude,
                                 double altitude, const char* text1,
                                 const char* text2, double realValue,
                                 std::int32_t intValue,
                                 char (&sentence)[kMaxSentence + 1]);

// Builds the sentence and sends it as "E|sentence\n". Nothing is sent when
// the sentence is refused; otherwise SendCommand's status.
StatusCode NewPoint(platform::Platform& os, double longitude, double latitude,
                    double altitude, const char* text1, const char* text2,
                    double realValue, std::int32_t intValue);

}  // namespace orvek::api
