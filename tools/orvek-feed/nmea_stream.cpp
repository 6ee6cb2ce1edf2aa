#include "nmea_stream.h"

namespace orvek::feed {

std::string NmeaStream::no_fix_reason() const {
  return FixReader::no_fix_reason(
      counts_.count(LineVerdict::kUsed), counts_.lines, counts_.epochs,
      "sentence", "a GGA, RMC, GLL or GNS sentence that reads whole",
      "had a position, or each said there was no fix");
}

void NmeaStream::push(std::string_view bytes) {
  for (char c : bytes) {
    if (c == '\n') {
      if (skipping_long_line_) {
        skipping_long_line_ = false;
      } else {
        if (!line_.empty() && line_.back() == '\r') line_.pop_back();
        read_line(line_);
      }
      line_.clear();
      continue;
    }
    if (skipping_long_line_) continue;
    if (line_.size() == kMaxBufferedLine) {
      ++counts_.lines;
      ++counts_.by_verdict[static_cast<std::size_t>(LineVerdict::kTooLong)];
      line_.clear();
      skipping_long_line_ = true;
      continue;
    }
    line_.push_back(c);
  }
}

void NmeaStream::finish() {
  if (!line_.empty() && !skipping_long_line_) {
    if (line_.back() == '\r') line_.pop_back();
    // A last line without its line end may have been cut by the drop; it is
    // read like any other, and the checksum or field count decides.
    read_line(line_);
  }
  line_.clear();
  skipping_long_line_ = false;
  close_epoch();
}

void NmeaStream::read_line(std::string_view line) {
  ++counts_.lines;
  Sentence sentence;
  LineVerdict verdict = read_sentence(line, &sentence);
  ++counts_.by_verdict[static_cast<std::size_t>(verdict)];
  if (verdict == LineVerdict::kUsed) add_to_epoch(sentence);
  if (!sentence.date.empty()) {
    last_date_ = sentence.date;
    if (epoch_.open && epoch_.date.empty()) epoch_.date = sentence.date;
  }
}

// Some receivers stamp one sentence of each cycle a second late (an old
// handheld's GLL after its RMC and GGA). It still belongs to the open
// epoch when that epoch already holds two kinds (so the cycle is under
// way), it is of a kind the epoch has not had yet, at most a second later,
// and repeats the epoch's position exactly.
bool NmeaStream::late_stamped(const Sentence& s) const {
  if (!epoch_.open || !epoch_.utc_ms || !s.utc_ms || !epoch_.latitude || !s.latitude)
    return false;
  unsigned seen = epoch_.kinds_seen;
  bool two_kinds = (seen & (seen - 1)) != 0;
  if (!two_kinds || (seen & kind_bit(s.kind))) return false;
  uint32_t late_ms = *s.utc_ms - *epoch_.utc_ms;  // wraps when earlier
  return late_ms > 0 && late_ms <= kLateStampMs && *s.latitude == *epoch_.latitude &&
         *s.longitude == *epoch_.longitude;
}

void NmeaStream::add_to_epoch(const Sentence& s) {
  // A sentence without a time (an old GLL) joins the open epoch.
  if (s.utc_ms && (!epoch_.open || epoch_.utc_ms != s.utc_ms) && !late_stamped(s)) {
    close_epoch();
    epoch_.open = true;
    epoch_.utc_ms = s.utc_ms;
    epoch_.utc_text = s.utc_text;
    ++counts_.epochs;
  } else if (!epoch_.open) {
    epoch_.open = true;
    ++counts_.epochs;
  }
  epoch_.kinds_seen |= kind_bit(s.kind);
  if (!s.says_fix) epoch_.no_fix_said = true;
  if (!epoch_.latitude && s.latitude) {
    epoch_.latitude = s.latitude;
    epoch_.longitude = s.longitude;
  }
  if (!epoch_.altitude_msl_m) epoch_.altitude_msl_m = s.altitude_msl_m;
  if (!epoch_.speed_knots) epoch_.speed_knots = s.speed_knots;
  if (!epoch_.satellites) epoch_.satellites = s.satellites;
}

void NmeaStream::close_epoch() {
  if (!epoch_.open) return;
  Epoch done = std::move(epoch_);
  epoch_ = Epoch{};
  if (done.no_fix_said || !done.latitude) {
    ++counts_.epochs_without_fix;
    return;
  }
  Fix fix;
  fix.latitude = *done.latitude;
  fix.longitude = *done.longitude;
  fix.has_altitude = done.altitude_msl_m.has_value();
  fix.altitude_msl_m = done.altitude_msl_m.value_or(0);
  fix.speed_knots = done.speed_knots.value_or(0);
  fix.satellites = done.satellites.value_or(0);
  fix.utc_text = done.utc_text;
  fix.has_time = done.utc_ms.has_value();
  fix.utc_ms = done.utc_ms.value_or(0);
  fix.utc_date = done.date.empty() ? last_date_ : done.date;
  if (!check_fix(&fix)) {
    ++counts_.epochs_without_fix;
    return;
  }
  sink_(fix);
}

}  // namespace orvek::feed
