// gpsd's JSON reports, one object a line, turned into one fix per time.
//   {"class":"TPV","mode":3,"time":"2022-10-18T11:32:58.000Z",
//    "lat":32.64858,"lon":-108.37411,"altMSL":1577.4,"speed":2.727}
// gpsd sends a TPV after each sentence of an epoch, each more complete than
// the one before; the last one of a time is the epoch's word. It becomes a
// fix when its mode is 2 (altitude ignored) or 3 and it has lat and lon.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "fix.h"

namespace orvek::feed {

struct GpsdCounts {
  uint64_t lines = 0;
  uint64_t unreadable = 0;  // not JSON, or not an object
  uint64_t reports = 0;     // TPV
  uint64_t epochs = 0;
  uint64_t epochs_without_fix = 0;
};

class GpsdReports final : public FixReader {
 public:
  using FixReader::FixReader;

  void push(std::string_view bytes) override;
  // The pending report is judged; a last line without its end is not.
  void finish() override;
  std::string no_fix_reason() const override;

  const GpsdCounts& counts() const { return counts_; }

  // The line that asks gpsd for the reports, sent after connecting.
  static constexpr std::string_view kWatchRequest =
      "?WATCH={\"enable\":true,\"json\":true}\n";

 private:
  // gpsd's longest reports (SKY with many satellites) stay well under this.
  static constexpr std::size_t kMaxLine = 16384;

  void read_line(std::string_view line);
  void flush();

  GpsdCounts counts_;
  std::string line_;
  bool skipping_ = false;
  std::optional<Fix> pending_;   // the latest TPV of the open epoch, if usable
  bool pending_open_ = false;    // an epoch is open (maybe without position)
  std::string pending_time_;
  int satellites_used_ = 0;      // from the latest SKY
};

}  // namespace orvek::feed
