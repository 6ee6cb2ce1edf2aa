#include "gpx_track.h"

#include <windows.h>

#include <cstdio>

#include "tools/common/gpx_text.h"
#include "tools/common/win_text.h"

namespace orvek::feed {
namespace {

constexpr uint32_t kDayMs = 24 * 3600 * 1000;

// What follows the last point while a segment is open, and before any.
constexpr char kTailInSegment[] = "    </trkseg>\n  </trk>\n</gpx>\n";
constexpr char kTailNoSegment[] = "  </trk>\n</gpx>\n";

// gpsd's time is already whole: "2022-10-18T11:32:58.000Z".
bool is_iso_time(const std::string& text) {
  return text.size() >= 20 && text[4] == '-' && text[7] == '-' && text[10] == 'T' &&
         text.back() == 'Z';
}

}  // namespace

std::string gpx_time(const std::string& date, uint32_t utc_ms) {
  char text[40];
  uint32_t seconds = utc_ms / 1000, ms = utc_ms % 1000;
  int length = std::snprintf(text, sizeof text, "%sT%02u:%02u:%02u", date.c_str(),
                             seconds / 3600, seconds / 60 % 60, seconds % 60);
  if (ms != 0)
    std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), ".%03uZ", ms);
  else
    std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "Z");
  return text;
}

std::string add_days(const std::string& date, int days) {
  SYSTEMTIME day{};
  if (std::sscanf(date.c_str(), "%4hu-%2hu-%2hu", &day.wYear, &day.wMonth, &day.wDay) != 3)
    return date;
  FILETIME file_time;
  if (!SystemTimeToFileTime(&day, &file_time)) return date;
  ULARGE_INTEGER ticks{};
  ticks.LowPart = file_time.dwLowDateTime;
  ticks.HighPart = file_time.dwHighDateTime;
  ticks.QuadPart += static_cast<ULONGLONG>(days) * 864000000000ULL;  // 100 ns units
  file_time.dwLowDateTime = ticks.LowPart;
  file_time.dwHighDateTime = ticks.HighPart;
  if (!FileTimeToSystemTime(&file_time, &day)) return date;
  char text[16];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", day.wYear, day.wMonth, day.wDay);
  return text;
}

bool GpxTrack::open(const std::string& path, const std::string& name, std::string* error) {
  path_ = path;
  // Others may read the track while it grows.
  file_.reset(CreateFileW(tools::widen(CP_UTF8, path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                          nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) {
    *error = "can't create the track " + path + ": " + tools::system_text(GetLastError());
    return false;
  }
  SYSTEMTIME now;
  GetSystemTime(&now);
  char today[16];
  std::snprintf(today, sizeof today, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
  fallback_date_ = today;
  std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"orvek-feed\" "
      "xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
      "  <trk>\n"
      "    <name>" + tools::xml_escaped(name) + "</name>\n";
  if (!write_at_tail(head)) {
    *error = "can't write the track " + path + ": " + tools::system_text(GetLastError());
    return false;
  }
  return true;
}

std::string GpxTrack::time_text(const Fix& fix) {
  if (is_iso_time(fix.utc_text)) return fix.utc_text;
  if (!fix.has_time) return "";
  if (!fix.utc_date.empty()) return gpx_time(fix.utc_date, fix.utc_ms);
  if (last_ms_ >= 0 && last_ms_ - static_cast<int64_t>(fix.utc_ms) > kDayMs / 2)
    fallback_date_ = add_days(fallback_date_, 1);
  last_ms_ = fix.utc_ms;
  return gpx_time(fallback_date_, fix.utc_ms);
}

// <trkpt lat="32.64858" lon="-108.37411"><ele>1577.4</ele><time>...</time></trkpt>
void GpxTrack::add(const Fix& fix) {
  if (!file_) return;
  std::string body;
  if (break_pending_) {
    body += "    </trkseg>\n";
    segment_open_ = break_pending_ = false;
  }
  if (!segment_open_) {
    body += "    <trkseg>\n";
    segment_open_ = true;
    ++segments_;
  }
  body += "      <trkpt lat=\"" + tools::gpx_number(fix.latitude) + "\" lon=\"" +
          tools::gpx_number(fix.longitude) + "\">";
  if (fix.has_altitude) body += "<ele>" + tools::gpx_number(fix.altitude_msl_m) + "</ele>";
  if (std::string time = time_text(fix); !time.empty())
    body += "<time>" + tools::xml_escaped(time) + "</time>";
  body += "</trkpt>\n";
  if (write_at_tail(body)) {
    ++points_;
    return;
  }
  std::fprintf(stderr, "orvek-feed: track %s: %s; no more points are written\n",
               path_.c_str(), tools::system_text(GetLastError()).c_str());
  file_.reset();
}

// One write of `body` and the closing tags at the tail, so the file on disk
// is never without its end; the new bytes always cover the old tail.
bool GpxTrack::write_at_tail(const std::string& body) {
  std::string bytes = body + (segment_open_ ? kTailInSegment : kTailNoSegment);
  LARGE_INTEGER offset{};
  offset.QuadPart = static_cast<LONGLONG>(tail_offset_);
  DWORD written = 0;
  if (!SetFilePointerEx(file_.get(), offset, nullptr, FILE_BEGIN) ||
      !WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                 nullptr) ||
      written != bytes.size())
    return false;
  tail_offset_ += body.size();
  return true;
}

}  // namespace orvek::feed
