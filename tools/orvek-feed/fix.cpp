#include "fix.h"

#include <cmath>

namespace orvek::feed {

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
