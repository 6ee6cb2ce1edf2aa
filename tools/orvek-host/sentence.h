// The position sentence of the "E" command, checked the way a receiver of
// NMEA-framed text checks it:
//   $AAGGAM,,4015.000,N,330.000,W,1,5,0,650,m,,,,,,,A,B,1.500000,2*64\r\n
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvek::host {

struct CheckedSentence {
  std::string error;                // empty when the sentence is sound
  std::vector<std::string> fields;  // between "$" and "*", split at commas
};

// Checks the frame: "$AAGGAM," first, "*", two upper-case hex digits and
// CR LF last, and the checksum, the XOR of every byte between "$" and "*".
CheckedSentence check_sentence(std::string_view sentence);

// Field text "DDMM.mmm" (degrees, then minutes) and its hemisphere letter
// to signed decimal degrees: "4015.000","N" gives 40.25; "330.000","W"
// gives -3.5. Nothing when either field is malformed.
std::optional<double> decimal_degrees(std::string_view degrees_minutes,
                                      std::string_view hemisphere);

}  // namespace orvek::host
