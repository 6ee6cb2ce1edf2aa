#include "fix.h"

#include <cmath>

namespace orvek::feed {

std::string FixReader::no_fix_reason(std::uint64_t usable, std::uint64_t lines,
                                     std::uint64_t epochs, const char* noun,
                                     const char* usable_is,
                                     const char* epoch_had) {
  auto counted = [](std::uint64_t n, const char* one) {
    return std::to_string(n) + " " + one + (n == 1 ? "" : "s");
  };
  if (usable == 0)
    return std::string("no usable ") + noun + ": none of its " +
           counted(lines, "line") + " is " + usable_is;
  return "no position fix: none of its " + counted(epochs, "epoch") + " " +
         epoch_had;
}

bool check_fix(Fix* fix) {
  // Written so that NaN fails every comparison.
  if (!(std::fabs(fix->latitude) <= 90) || !(std::fabs(fix->longitude) <= 180))
    return false;
  if (!(std::fabs(fix->altitude_msl_m) <= kMaxAltitudeM)) {
    fix->altitude_msl_m = 0;
    fix->has_altitude = false;
  }
  if (!(fix->speed_knots >= 0 && fix->speed_knots <= kMaxSpeedKnots))
    fix->speed_knots = 0;
  if (fix->satellites < 0 || fix->satellites > kMaxSatellites)
    fix->satellites = 0;
  return true;
}

}  // namespace orvek::feed
