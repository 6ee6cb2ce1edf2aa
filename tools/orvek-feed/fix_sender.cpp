#include "fix_sender.h"

#include <cstdio>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/orvekport_status.h"

namespace orvek::feed {
namespace {

// Only what can stand in a field of the sentence: the time's own
// characters. A gpsd time is "2022-10-18T11:32:58.000Z".
std::string time_field(const std::string& text) {
  std::string field;
  for (char c : text)
    if ((c >= '0' && c <= '9') || c == '.' || c == ':' || c == '-' || c == 'T' || c == 'Z')
      field.push_back(c);
  return field.substr(0, 32);
}

}  // namespace

std::string status_text(uint32_t status) {
  std::string name = orvekport_status_name(status);
  if (name == "UNKNOWN") return "status " + std::to_string(status);
  return name + " (" + std::to_string(status) + ")";
}

void FixSender::start() { init_link("start"); }

void FixSender::init_link(const char* why) {
  uint32_t status = OrvekGPSPort_Init();
  if (status != ORVEKPORT_OK)
    std::fprintf(stderr, "orvek-feed: host link (%s): %s\n", why, status_text(status).c_str());
}

void FixSender::send(const Fix& fix) {
  ++sent_;
  std::string utc = time_field(fix.utc_text);
  uint32_t status = OrvekGPSPort_NewPoint(fix.longitude, fix.latitude, fix.altitude_msl_m,
                                          name_.c_str(), utc.c_str(), fix.speed_knots,
                                          fix.satellites);
  bool relink = relink_.after(status);
  if (status == ORVEKPORT_OK) {
    ++delivered_;
    return;
  }
  ++failed_by_status_[status];
  if (!quiet_)
    std::fprintf(stderr, "%sorvek-feed: fix %llu (%s): %s\n", progress_line_ ? "\n" : "",
                 static_cast<unsigned long long>(sent_), utc.c_str(),
                 status_text(status).c_str());
  if (relink) {
    ++reinits_;
    init_link("after time-outs");
  }
}

}  // namespace orvek::feed
