// Turns a byte stream of NMEA-0183 text into one fix per receiver epoch.
//
// An epoch is the run of sentences that carry the same UTC time (sentences
// without a time, GSA and GSV, belong to the epoch they follow). It becomes
// a fix once the first sentence of a later time arrives, or at the end of
// the stream, when:
//   - one of its sentences gave a readable position, and
//   - none of them said there is no fix (GGA quality 0, status V, ...).
// A sentence stamped at most a second late that repeats the position of an
// epoch of two kinds or more, and is of a third kind, still joins it.
// The position is the first one read in the epoch; the altitude comes from
// GGA or GNS, the speed from RMC, the satellites from GGA or GNS.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "fix.h"
#include "nmea_sentence.h"

namespace orvek::feed {

// What a stream held, for the summary.
struct StreamCounts {
  uint64_t lines = 0;
  // Indexed by LineVerdict.
  std::array<uint64_t, 9> by_verdict{};
  uint64_t epochs = 0;           // epochs seen, with or without a position
  uint64_t epochs_without_fix = 0;
  uint64_t count(LineVerdict verdict) const {
    return by_verdict[static_cast<std::size_t>(verdict)];
  }
};

class NmeaStream final : public FixReader {
 public:
  using FixReader::FixReader;

  void push(std::string_view bytes) override;
  // A last line without its line end is read too before the epoch closes.
  void finish() override;
  std::string no_fix_reason() const override;

  const StreamCounts& counts() const { return counts_; }

 private:
  // A line longer than this is given up while it is still arriving; the
  // rest up to its line end is skipped.
  static constexpr std::size_t kMaxBufferedLine = 1024;

  // How late a sentence's stamp may be and still join the open epoch.
  static constexpr uint32_t kLateStampMs = 1000;

  static unsigned kind_bit(SentenceKind kind) { return 1u << static_cast<unsigned>(kind); }
  bool late_stamped(const Sentence& sentence) const;
  void read_line(std::string_view line);
  void add_to_epoch(const Sentence& sentence);
  void close_epoch();

  StreamCounts counts_;
  std::string line_;
  bool skipping_long_line_ = false;

  struct Epoch {
    bool open = false;
    std::optional<uint32_t> utc_ms;
    std::string utc_text;
    bool no_fix_said = false;
    unsigned kinds_seen = 0;
    std::optional<double> latitude, longitude, altitude_msl_m, speed_knots;
    std::optional<int> satellites;
    std::string date;
  } epoch_;
  // The last date the stream gave (RMC, ZDA), for epochs that carry none.
  std::string last_date_;
};

}  // namespace orvek::feed
