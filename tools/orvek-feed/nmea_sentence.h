// One NMEA-0183 sentence of the four kinds that carry a position (GGA, RMC,
// GLL, GNS, from any talker), read into what a fix needs. Plain C++, no
// allocation beyond the result, no exceptions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvek::feed {

enum class SentenceKind { kGga, kRmc, kGll, kGns, kOther };

// Why a line was not used. kOther counts sentences of kinds that carry no
// position (GSA, GSV, ZDA...); they are read, not rejected.
enum class LineVerdict {
  kUsed,
  kOtherKind,
  kComment,      // "#..." from the log's submitter
  kBlank,
  kBinary,       // a byte outside printable ASCII
  kTooLong,
  kCutOff,       // not starting with "$", or a second "$" inside
  kBadChecksum,
  kMalformed,    // fields missing or unreadable
};

struct Sentence {
  SentenceKind kind = SentenceKind::kOther;
  // UTC time of day in milliseconds, and its text as received ("113258.00").
  std::optional<uint32_t> utc_ms;
  std::string utc_text;
  // Decimal degrees, north and east positive; set only when both are
  // readable and in range.
  std::optional<double> latitude, longitude;
  // False when the sentence itself says there is no fix: GGA quality 0, RMC
  // or GLL status V, GNS mode N everywhere, RMC mode indicator N.
  bool says_fix = true;
  std::optional<double> altitude_msl_m;  // GGA, GNS
  std::optional<double> speed_knots;     // RMC
  std::optional<int> satellites;         // GGA, GNS
  // The UTC date as "2022-10-18": RMC, and ZDA (read though of another kind).
  std::string date;
};

// The longest line taken as a sentence. The standard's limit is 82 bytes
// with CR LF; real receivers overrun it with proprietary and long-decimal
// sentences, so this leaves twice the room.
inline constexpr std::size_t kMaxSentenceLength = 164;

// Reads one line (without its line end). `out` is filled when the verdict
// is kUsed; kOtherKind leaves only its kind, and a ZDA's date.
//   $GPGGA,113258,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,,*4D
LineVerdict read_sentence(std::string_view line, Sentence* out);

// "ddmm.mmmm" and its hemisphere to signed decimal degrees; nothing when
// unreadable, minutes of 60 or more, or beyond `max_degrees`.
std::optional<double> nmea_degrees(std::string_view field,
                                   std::string_view hemisphere,
                                   double max_degrees);

// "hhmmss[.sss]" to milliseconds since midnight.
std::optional<uint32_t> nmea_time_ms(std::string_view field);

const char* verdict_name(LineVerdict verdict);

}  // namespace orvek::feed
