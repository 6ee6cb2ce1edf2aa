// One position fix as the feed hands it to the host, whatever its source,
// and the one check every source's fix goes through.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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

// What turns a source's bytes into fixes: NMEA text (NmeaStream) or gpsd's
// reports (GpsdReports). Each fix it finds goes to the sink, checked.
class FixReader {
 public:
  using FixSink = std::function<void(const Fix&)>;
  explicit FixReader(FixSink sink) : sink_(std::move(sink)) {}
  virtual ~FixReader() = default;

  // Any bytes, cut anywhere; complete lines are read at once.
  virtual void push(std::string_view bytes) = 0;
  // End of the stream (a live one calls it at each drop): the open epoch
  // is judged.
  virtual void finish() = 0;
  // Why a stream that was read gave no fix at all, for the feed's message:
  // nothing it could use, or no epoch with a position.
  virtual std::string no_fix_reason() const = 0;

 protected:
  // "no usable sentence: none of its 2 lines is ..." when no line was
  // usable, else "no position fix: none of its 3 epochs ...".
  static std::string no_fix_reason(std::uint64_t usable, std::uint64_t lines,
                                   std::uint64_t epochs, const char* noun,
                                   const char* usable_is, const char* epoch_had);

  FixSink sink_;
};

// Whether `fix` can go to the host: a position off the globe (or not a
// number) makes no fix. An altitude, speed or satellite count that no
// receiver reports is dropped and sent as 0, like one the epoch did not
// give. The readers of every source (NMEA text, gpsd's reports) call it
// before they hand a fix on.
bool check_fix(Fix* fix);

// Beyond these no receiver reports: the deepest trench and the highest
// flight are far inside the altitude; a speed of 100,000 knots is a
// hundred times the fastest a receiver reports at all.
inline constexpr double kMaxAltitudeM = 1e6;
inline constexpr double kMaxSpeedKnots = 1e5;
inline constexpr int kMaxSatellites = 999;

}  // namespace orvek::feed
