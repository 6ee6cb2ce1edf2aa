// Where the feed's bytes come from: a log file, a serial port, a TCP
// stream. Each owns its handle or socket and closes it on every path out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "feed_options.h"

namespace orvek::feed {

enum class ReadResult { kData, kNothingYet, kEnd, kError };

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Opens or connects; false with a reason.
  virtual bool open(std::string* error) = 0;
  // Appends what arrives within about `wait_ms` to `bytes`. kEnd when the
  // stream ended, kError with a reason when it broke.
  virtual ReadResult read(std::string* bytes, uint32_t wait_ms,
                          std::string* error) = 0;
  virtual void close() = 0;
  // Whether it is a live receiver (reconnects) rather than a log.
  virtual bool live() const = 0;
};

// The source the options name; gpsd's is a TCP stream that first sends
// the watch request.
std::unique_ptr<ByteSource> make_byte_source(const FeedOptions& options);

}  // namespace orvek::feed
