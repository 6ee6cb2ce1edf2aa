#include "nmea_sentence.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "tools/common/hemisphere.h"

namespace orvek::feed {
namespace {

// Minutes with up to this many decimals are turned into degrees exactly:
// 180 degrees in units of their last digit stay far below 2^53.
constexpr std::size_t kMaxExactDecimals = 9;

// Sentences have at most about twenty fields; GNS has thirteen.
constexpr std::size_t kMaxFields = 32;

struct Fields {
  std::string_view items[kMaxFields];
  std::size_t count = 0;
  std::string_view operator[](std::size_t i) const {
    return i < count ? items[i] : std::string_view();
  }
};

bool split(std::string_view body, Fields* fields) {
  std::size_t start = 0;
  for (;;) {
    if (fields->count == kMaxFields) return false;
    std::size_t comma = body.find(',', start);
    fields->items[fields->count++] = body.substr(start, comma - start);
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Whole-field decimal number; an empty field is nothing.
std::optional<double> to_number(std::string_view text) {
  if (text.empty() || text.size() > 40) return std::nullopt;
  char copy[48];
  text.copy(copy, text.size());
  copy[text.size()] = '\0';
  char* end = nullptr;
  double value = std::strtod(copy, &end);
  if (end != copy + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<int> to_int(std::string_view text) {
  int value = 0;
  auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

void read_position(const Fields& f, std::size_t at, Sentence* out) {
  out->latitude = nmea_degrees(f[at], f[at + 1], 90);
  out->longitude = nmea_degrees(f[at + 2], f[at + 3], 180);
  if (!out->latitude || !out->longitude) out->latitude = out->longitude = {};
}

// The altitude field counts only in metres ("M").
void read_altitude(const Fields& f, std::size_t at, Sentence* out) {
  if (f[at + 1] == "M" || f[at + 1].empty()) out->altitude_msl_m = to_number(f[at]);
}

}  // namespace

std::optional<uint32_t> nmea_time_ms(std::string_view field) {
  if (field.size() < 6) return std::nullopt;
  int part[3];
  for (int i = 0; i < 3; ++i) {
    char high = field[2 * i], low = field[2 * i + 1];
    if (high < '0' || high > '9' || low < '0' || low > '9') return std::nullopt;
    part[i] = (high - '0') * 10 + (low - '0');
  }
  // Second 60 is a leap second.
  if (part[0] > 23 || part[1] > 59 || part[2] > 60) return std::nullopt;
  double fraction = 0;
  if (field.size() > 6) {
    if (field[6] != '.') return std::nullopt;
    auto value = to_number(field.substr(6));
    if (!value && field.size() > 7) return std::nullopt;
    fraction = value.value_or(0);
  }
  return static_cast<uint32_t>((part[0] * 3600 + part[1] * 60 + part[2]) * 1000 +
                               std::lround(fraction * 1000));
}

std::optional<double> nmea_degrees(std::string_view field,
                                   std::string_view hemisphere,
                                   double max_degrees) {
  std::optional<double> sign = tools::hemisphere_sign(hemisphere);
  if (!sign) return std::nullopt;
  // Two minute digits stand right before the point: "3238.9148".
  std::size_t point = field.find('.');
  if (point == std::string_view::npos) point = field.size();
  if (point < 3) return std::nullopt;
  for (char c : field)
    if ((c < '0' || c > '9') && c != '.') return std::nullopt;
  auto degrees = to_int(field.substr(0, point - 2));
  auto minutes = to_number(field.substr(point - 2));
  if (!degrees || !minutes || *minutes >= 60 || *degrees > max_degrees)
    return std::nullopt;
  // The value is (degrees * 60 + minutes) / 60, a ratio of whole numbers
  // when the minutes are scaled to whole units of their last digit: one
  // division of two exact doubles rounds it once, to the double nearest
  // the receiver's decimal ("00329.640" gives 3.494, which reads back as
  // written), where adding minutes / 60 to the degrees rounds twice.
  std::string_view fraction = field.substr(std::min(point + 1, field.size()));
  double value = *degrees + *minutes / 60.0;
  if (fraction.size() <= kMaxExactDecimals && fraction.find('.') == std::string_view::npos) {
    std::uint64_t scale = 1, units = 0;
    for (char c : field.substr(point - 2, 2)) units = units * 10 + (c - '0');
    for (char c : fraction) {
      units = units * 10 + (c - '0');
      scale *= 10;
    }
    value = static_cast<double>(static_cast<std::uint64_t>(*degrees) * 60 * scale + units) /
            static_cast<double>(60 * scale);
  }
  if (value > max_degrees) return std::nullopt;
  return *sign * value;
}

namespace {

// "YYYY-MM-DD" from day, month and a year of two or four digits (two:
// 1980 to 2079, the span of receivers' week numbers), or "" when unreadable.
std::string iso_date(std::string_view day, std::string_view month, std::string_view year) {
  std::optional<int> d = to_int(day), m = to_int(month), y = to_int(year);
  if (day.size() != 2 || month.size() != 2 || (year.size() != 2 && year.size() != 4) ||
      !d || !m || !y || *d < 1 || *d > 31 || *m < 1 || *m > 12)
    return "";
  int full_year = year.size() == 4 ? *y : (*y < 80 ? 2000 + *y : 1900 + *y);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", full_year, *m, *d);
  return text;
}

}  // namespace

LineVerdict read_sentence(std::string_view line, Sentence* out) {
  if (line.empty()) return LineVerdict::kBlank;
  if (line.front() == '#') return LineVerdict::kComment;
  for (char c : line)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
      return LineVerdict::kBinary;
  if (line.size() > kMaxSentenceLength) return LineVerdict::kTooLong;
  if (line.front() != '$' || line.find('$', 1) != std::string_view::npos)
    return LineVerdict::kCutOff;

  // "*" and two hex digits end it when a checksum is present: the XOR of
  // every byte between "$" and "*".
  std::string_view body = line.substr(1);
  std::size_t star = body.rfind('*');
  if (star != std::string_view::npos) {
    if (star + 3 != body.size()) return LineVerdict::kCutOff;
    int high = hex_value(body[star + 1]), low = hex_value(body[star + 2]);
    if (high < 0 || low < 0) return LineVerdict::kMalformed;
    unsigned sum = 0;
    for (char c : body.substr(0, star)) sum ^= static_cast<unsigned char>(c);
    if (sum != static_cast<unsigned>(high * 16 + low)) return LineVerdict::kBadChecksum;
    body = body.substr(0, star);
  }

  Fields f;
  if (!split(body, &f) || f[0].size() != 5) return LineVerdict::kMalformed;
  std::string_view type = f[0].substr(2);
  Sentence s;
  std::size_t time_field = 1;
  if (type == "GGA") {
    // $GPGGA,time,lat,N,lon,W,quality,sats,hdop,alt,M,geoid,M,age,station
    if (f.count < 11) return LineVerdict::kMalformed;
    s.kind = SentenceKind::kGga;
    read_position(f, 2, &s);
    s.says_fix = f[6] != "0";
    s.satellites = to_int(f[7]);
    read_altitude(f, 9, &s);
  } else if (type == "RMC") {
    // $GPRMC,time,A,lat,N,lon,W,knots,track,date,magvar,E[,mode]
    if (f.count < 10) return LineVerdict::kMalformed;
    s.kind = SentenceKind::kRmc;
    read_position(f, 3, &s);
    s.says_fix = f[2] == "A" && f[12] != "N";
    s.speed_knots = to_number(f[7]);
    s.date = iso_date(f[9].substr(0, 2), f[9].substr(std::min<std::size_t>(2, f[9].size()), 2),
                      f[9].substr(std::min<std::size_t>(4, f[9].size())));
  } else if (type == "GLL") {
    // $GPGLL,lat,N,lon,W,time[,A[,mode]]; old receivers stop after time.
    if (f.count < 5) return LineVerdict::kMalformed;
    s.kind = SentenceKind::kGll;
    read_position(f, 1, &s);
    time_field = 5;
    s.says_fix = f[6] != "V" && f[7] != "N";
  } else if (type == "GNS") {
    // $GNGNS,time,lat,N,lon,W,modes,sats,hdop,alt,geoid,age,station
    if (f.count < 10) return LineVerdict::kMalformed;
    s.kind = SentenceKind::kGns;
    read_position(f, 2, &s);
    s.says_fix = f[6].find_first_not_of('N') != std::string_view::npos;
    s.satellites = to_int(f[7]);
    s.altitude_msl_m = to_number(f[9]);
  } else {
    if (out) {
      out->kind = SentenceKind::kOther;
      // $GPZDA,hhmmss.ss,dd,mm,yyyy,zh,zm
      if (type == "ZDA" && f.count >= 5) out->date = iso_date(f[2], f[3], f[4]);
    }
    return LineVerdict::kOtherKind;
  }
  s.utc_text = std::string(f[time_field]);
  s.utc_ms = nmea_time_ms(f[time_field]);
  // A time that is present but unreadable makes the whole sentence suspect.
  if (!s.utc_text.empty() && !s.utc_ms) return LineVerdict::kMalformed;
  if (out) *out = std::move(s);
  return LineVerdict::kUsed;
}

const char* verdict_name(LineVerdict verdict) {
  switch (verdict) {
    case LineVerdict::kUsed: return "used";
    case LineVerdict::kOtherKind: return "other kinds";
    case LineVerdict::kComment: return "comments";
    case LineVerdict::kBlank: return "blank";
    case LineVerdict::kBinary: return "binary junk";
    case LineVerdict::kTooLong: return "too long";
    case LineVerdict::kCutOff: return "cut off";
    case LineVerdict::kBadChecksum: return "bad checksum";
    case LineVerdict::kMalformed: return "malformed";
  }
  return "?";
}

}  // namespace orvek::feed
