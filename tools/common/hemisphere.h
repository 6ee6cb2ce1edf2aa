// The hemisphere letter of a coordinate in NMEA-framed text, as the feed
// reads a receiver's sentences and the emulator the library's. Plain C++.
#pragma once

#include <optional>
#include <string_view>

namespace orvek::tools {

// The sign the letter gives the coordinate: "N" and "E" +1, "S" and "W"
// -1; nothing for any other text.
inline std::optional<double> hemisphere_sign(std::string_view letter) {
  if (letter == "N" || letter == "E") return 1.0;
  if (letter == "S" || letter == "W") return -1.0;
  return std::nullopt;
}

}  // namespace orvek::tools
