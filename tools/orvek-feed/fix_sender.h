// Hands fixes to the host through OrvekPORT.dll and keeps the tally.
//
// A fix becomes one OrvekGPSPort_NewPoint call:
//   longitude, latitude   the epoch's position, decimal degrees
//   altitude              metres above mean sea level, 0 when none
//   text1                 --name (the host's mobile name)
//   text2                 the epoch's UTC time as the source wrote it
//   realValue             speed over ground in knots, 0 when none
//   intValue              satellites used, 0 when none
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "fix.h"
#include "tools/common/relink_policy.h"

namespace orvek::feed {

class FixSender {
 public:
  FixSender(std::string name, bool quiet) : name_(std::move(name)), quiet_(quiet) {}

  // While a progress line is on the terminal, a message starts on a line
  // of its own below it.
  void set_progress_line(bool shown) { progress_line_ = shown; }

  // Sets up the host link; a failure is shown and the feed goes on, since
  // the host may come up later.
  void start();
  void send(const Fix& fix);

  uint64_t sent() const { return sent_; }
  uint64_t delivered() const { return delivered_; }
  uint64_t failed() const { return sent_ - delivered_; }
  uint32_t reinits() const { return reinits_; }
  const std::map<uint32_t, uint64_t>& failed_by_status() const { return failed_by_status_; }

 private:
  void init_link(const char* why);

  std::string name_;
  bool quiet_;
  bool progress_line_ = false;
  uint64_t sent_ = 0;
  uint64_t delivered_ = 0;
  uint32_t reinits_ = 0;
  tools::RelinkPolicy relink_;
  std::map<uint32_t, uint64_t> failed_by_status_;
};

// "E_TIMEOUT (7)".
std::string status_text(uint32_t status);

}  // namespace orvek::feed
