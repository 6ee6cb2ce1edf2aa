#include "gpsd_reports.h"

#include <nlohmann/json.hpp>

namespace orvek::feed {
namespace {

constexpr double kKnotsPerMetrePerSecond = 3600.0 / 1852.0;

std::optional<double> number(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_number()) return std::nullopt;
  return it->get<double>();
}

std::string text(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return {};
  return it->get<std::string>();
}

// "2022-10-18T11:32:58.000Z" to milliseconds since midnight.
std::optional<uint32_t> time_of_day_ms(const std::string& iso) {
  std::size_t t = iso.find('T');
  if (t == std::string::npos || iso.size() < t + 9) return std::nullopt;
  auto digits = [&](std::size_t at) {
    char a = iso[at], b = iso[at + 1];
    return (a < '0' || a > '9' || b < '0' || b > '9') ? -1 : (a - '0') * 10 + (b - '0');
  };
  int h = digits(t + 1), m = digits(t + 4), s = digits(t + 7);
  if (h < 0 || m < 0 || s < 0) return std::nullopt;
  uint32_t ms = static_cast<uint32_t>((h * 3600 + m * 60 + s) * 1000);
  if (iso.size() > t + 12 && iso[t + 9] == '.') {
    int scale = 100;
    for (std::size_t i = t + 10; i < iso.size() && scale > 0; ++i, scale /= 10) {
      if (iso[i] < '0' || iso[i] > '9') break;
      ms += static_cast<uint32_t>((iso[i] - '0') * scale);
    }
  }
  return ms;
}

}  // namespace

std::string GpsdReports::no_fix_reason() const {
  return FixReader::no_fix_reason(counts_.reports, counts_.lines,
                                  counts_.epochs, "report", "a TPV report",
                                  "ended in a TPV of mode 2 or 3 with a position");
}

void GpsdReports::push(std::string_view bytes) {
  for (char c : bytes) {
    if (c == '\n') {
      if (!skipping_) read_line(line_);
      skipping_ = false;
      line_.clear();
    } else if (!skipping_) {
      if (line_.size() == kMaxLine) {
        ++counts_.lines;
        ++counts_.unreadable;
        skipping_ = true;
        line_.clear();
      } else {
        line_.push_back(c);
      }
    }
  }
}

void GpsdReports::finish() {
  line_.clear();
  skipping_ = false;
  flush();
}

void GpsdReports::flush() {
  if (!pending_open_) return;
  pending_open_ = false;
  if (pending_ && check_fix(&*pending_)) {
    sink_(*pending_);
  } else {
    ++counts_.epochs_without_fix;
  }
  pending_.reset();
}

void GpsdReports::read_line(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) return;
  ++counts_.lines;
  nlohmann::json report = nlohmann::json::parse(line, nullptr, false);
  if (report.is_discarded() || !report.is_object()) {
    ++counts_.unreadable;
    return;
  }
  std::string kind = text(report, "class");
  if (kind == "SKY") {
    // A count beyond an int is no count: check_fix drops the -1.
    if (auto used = number(report, "uSat"))
      satellites_used_ = *used >= 0 && *used <= kMaxSatellites ? static_cast<int>(*used) : -1;
    return;
  }
  if (kind != "TPV") return;
  ++counts_.reports;

  // A report of another time (or of none) closes the open epoch.
  std::string time = text(report, "time");
  if (!pending_open_ || time.empty() || time != pending_time_) {
    flush();
    pending_open_ = true;
    pending_time_ = time;
    ++counts_.epochs;
  }
  auto mode = number(report, "mode");
  auto latitude = number(report, "lat");
  auto longitude = number(report, "lon");
  if (!mode || *mode < 2 || !latitude || !longitude) {
    pending_.reset();
    return;
  }
  Fix fix;
  fix.latitude = *latitude;
  fix.longitude = *longitude;
  if (*mode >= 3) {
    auto altitude = number(report, "altMSL");
    if (!altitude) altitude = number(report, "alt");
    fix.has_altitude = altitude.has_value();
    fix.altitude_msl_m = altitude.value_or(0);
  }
  fix.speed_knots = number(report, "speed").value_or(0) * kKnotsPerMetrePerSecond;
  fix.satellites = satellites_used_;
  fix.utc_text = time;
  if (auto ms = time_of_day_ms(time)) {
    fix.utc_ms = *ms;
    fix.has_time = true;
  }
  pending_ = fix;
}

}  // namespace orvek::feed
