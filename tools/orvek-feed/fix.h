// One position fix as the feed hands it to the host, whatever its source.
#pragma once

#include <cstdint>
#include <string>

namespace orvek::feed {

struct Fix {
  double latitude = 0, longitude = 0;  // decimal degrees, north/east positive
  double altitude_msl_m = 0;           // 0 when the epoch gave none
  bool has_altitude = false;
  double speed_knots = 0;              // 0 when the epoch gave none
  int satellites = 0;                  // 0 when the epoch gave none
  std::string utc_text;                // "113258.00" as received, or gpsd's time
  uint32_t utc_ms = 0;                 // for pacing a replay
  bool has_time = false;
  std::string utc_date;                // "2022-10-18" when the source gave it
};

}  // namespace orvek::feed
