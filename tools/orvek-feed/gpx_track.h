// The fixes the host accepted, as a GPX 1.1 track that is a whole,
// well-formed file at every moment: each point is written together with the
// closing tags after it, and the next point is written over those tags. So
// a run stopped any way at all (Ctrl-C, a kill, a crash) leaves a valid
// file, with nothing to close at exit.
#pragma once

#include <cstdint>
#include <string>

#include "fix.h"
#include "tools/common/win_handle.h"

namespace orvek::feed {

class GpxTrack {
 public:
  // Creates (or empties) `path` and writes an empty track named `name`;
  // false with the reason in *error.
  bool open(const std::string& path, const std::string& name, std::string* error);

  // Appends `fix` to the open segment, or to a new one after
  // break_segment(). A write that fails is told once on stderr and ends
  // the track; the file keeps what was written before.
  void add(const Fix& fix);
  // The next point starts a new <trkseg>: the source dropped or a fix
  // failed, so the line between two points would be a guess.
  void break_segment() { break_pending_ = segment_open_; }

  uint64_t points() const { return points_; }
  uint64_t segments() const { return segments_; }

 private:
  bool write_at_tail(const std::string& body);
  std::string time_text(const Fix& fix);

  tools::FileHandle file_;
  std::string path_;
  uint64_t tail_offset_ = 0;  // where the closing tags start
  bool segment_open_ = false;
  bool break_pending_ = false;
  uint64_t points_ = 0;
  uint64_t segments_ = 0;
  // For sources that give no date: the run's date, moved on a day when the
  // time of day runs backwards by over half a day (midnight passed).
  std::string fallback_date_;
  int64_t last_ms_ = -1;
};

// "2022-10-18T11:32:58Z" ("...58.250Z" with a fraction) from a date and
// milliseconds since midnight.
std::string gpx_time(const std::string& date, uint32_t utc_ms);
// The date `days` after "YYYY-MM-DD".
std::string add_days(const std::string& date, int days);

}  // namespace orvek::feed
