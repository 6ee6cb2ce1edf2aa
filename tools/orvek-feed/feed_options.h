// The command line of orvek-feed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvek::feed {

enum class SourceKind { kLogFile, kSerial, kTcp, kGpsd };

struct FeedOptions {
  SourceKind kind = SourceKind::kLogFile;
  std::string source;      // as given; "COM5" for a serial receiver
  std::string host;        // tcp:// and gpsd://
  uint16_t port = 0;
  uint32_t baud = 4800;    // NMEA-0183's own rate
  double speed = 1;        // replay pacing factor; 0 with --fast
  bool loop = false;
  std::string name = "FEED";
  // Live sources: a stream silent this long counts as dropped.
  uint32_t idle_timeout_ms = 10000;
  // Live sources: end after this many connection attempts, failed or
  // dropped (0: never).
  uint32_t max_connects = 0;
  bool quiet = false;
  // --track: the GPX file of accepted fixes; empty for none.
  std::string track_path;
  // End after this many fixes sent (0: never) or this long (0: never).
  uint64_t max_fixes = 0;
  uint32_t duration_ms = 0;
};

// Reads argv; on failure returns nothing and sets `error`.
std::optional<FeedOptions> parse_feed_options(const std::vector<std::string>& args,
                                              std::string* error);

extern const char kFeedUsage[];

}  // namespace orvek::feed
