#include "host_model.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "byte_text.h"
#include "protocol/host_protocol.h"
#include "sentence.h"

namespace orvek::host {
namespace {

// Fields 2 to 5, 9, 17 and 18 of the 21 that the library's sentence holds.
constexpr std::size_t kSentenceFields = 21;

using namespace protocol;

std::string error_reply(std::string_view reason) {
  return "E|" + std::string(reason);
}
std::string acknowledged(std::string_view word) {
  return std::string{kCommandAcknowledged, kResultSeparator} + std::string(word);
}
std::string result(std::string_view text) {
  return std::string{kQueryAnswered, kResultSeparator} + std::string(text);
}

std::vector<std::string_view> split(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = text.find(',', start);
    fields.push_back(text.substr(start, comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

// "H" and "N": removes the element named `name` (by `name_of`), "A|deleted",
// or "E|no <what> <name>" when there is none.
template <typename T, typename NameOf>
std::string delete_named(std::vector<T>& elements, NameOf name_of,
                         std::string_view name, const char* what) {
  auto found = std::find_if(elements.begin(), elements.end(),
                            [&](const T& e) { return name_of(e) == name; });
  if (found == elements.end())
    return error_reply("no " + std::string(what) + " " + std::string(name));
  elements.erase(found);
  return acknowledged("deleted");
}

// A record query, "2,5": the prefix and an index after it.
bool indexed(std::string_view request, std::string_view prefix) {
  return request.size() > prefix.size() && request.starts_with(prefix);
}
static_assert(std::size(kWaypointRecordQuery) == std::size(kMobileRecordQuery),
              "both record queries put their index at the same place");

// Whole-field numbers only: "2.5" is read, "2.5x" and "" are not.
std::optional<double> to_double(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::string copy(text);
  char* end = nullptr;
  double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return std::nullopt;
  return value;
}
std::optional<int> to_int(std::string_view text) {
  int value = 0;
  auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty())
    return std::nullopt;
  return value;
}

std::string format_double(double value) {
  char text[400];  // "%f" of the largest double needs 316 characters
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

// "latitude,longitude,altitude,name,description"
std::string mobile_record(const Mobile& mobile) {
  return format_double(mobile.latitude) + "," +
         format_double(mobile.longitude) + "," +
         format_double(mobile.altitude) + "," + mobile.name + "," +
         mobile.description;
}

// The same form back; the description is the rest of the line and may hold
// commas, the name may not.
std::optional<Mobile> parse_mobile(std::string_view line) {
  std::vector<std::string_view> fields = split(line);
  if (fields.size() < 5) return std::nullopt;
  auto latitude = to_double(fields[0]);
  auto longitude = to_double(fields[1]);
  auto altitude = to_double(fields[2]);
  if (!latitude || !longitude || !altitude || fields[3].empty())
    return std::nullopt;
  std::size_t description_start =
      static_cast<std::size_t>(fields[4].data() - line.data());
  return Mobile{*latitude, *longitude, *altitude, std::string(fields[3]),
                std::string(line.substr(description_start))};
}

}  // namespace

std::string HostModel::answer(std::string_view request_line) {
  std::string_view line = request_line;
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (line.size() >= 2 && line[1] == kResultSeparator) {
    if (line[0] == kQueryLetter[0]) return query(line.substr(2));
    if (std::optional<std::string> reply = command(line[0], line.substr(2)))
      return *reply;
  }
  // A raw request, or an unknown letter, is echoed byte for byte behind "R|".
  return "R|" + std::string(line);
}

// The reply to command `letter`, or nothing when no command has that letter.
std::optional<std::string> HostModel::command(char letter,
                                              std::string_view body) {
  switch (letter) {
    case kOpenFileCommand[0]:
      if (body.empty()) return error_reply("empty file name");
      opened_file_ = body;
      return acknowledged("opened");
    case kExportViewCommand[0]: {
      if (body.empty()) return error_reply("empty file name");
      exported_file_ = body;
      if (file_writer_) {
        std::string name(body);
        std::string problem = file_writer_(name, map_file_bytes(map_content(), name));
        if (!problem.empty()) return error_reply(problem);
      }
      return acknowledged("exported");
    }
    case kPositionFixCommand[0]:
      return position_fix(body);
    case kDeleteMobileCommand[0]:
      return delete_named(mobiles_, [](const Mobile& m) { return m.name; }, body,
                          "mobile");
    case kExecCommand[0]: {
      if (!to_int(body)) return error_reply("command number expected");
      last_exec_ = body;
      return acknowledged("executed");
    }
    case kViewportCommand[0]: {
      std::vector<std::string_view> lengths = split(body);
      if (lengths.size() != 2 || !to_int(lengths[0]) || !to_int(lengths[1]))
        return error_reply("two lengths expected");
      viewport_ = body;
      view_width_ = *to_int(lengths[0]);
      view_height_ = *to_int(lengths[1]);
      return acknowledged("viewport");
    }
    case kCenterWaypointCommand[0]:
      return centre_on_waypoint(body);
    case kNewWaypointCommand[0]:
      return new_waypoint(body);
    case kDeleteWaypointCommand[0]:
      return delete_named(waypoints_, [](const Waypoint& w) { return w.id; }, body,
                          "waypoint");
    case kCenterCoordinateCommand[0]: {
      std::vector<std::string_view> values = split(body);
      if (values.size() != 3 || !to_double(values[0]) ||
          !to_double(values[1]) || !to_double(values[2]))
        return error_reply("three numbers expected");
      centre_ = "O|" + std::string(body);
      centre_point_ = GeoPoint{*to_double(values[1]), *to_double(values[0])};
      centre_metres_per_pixel_ = *to_double(values[2]);
      return acknowledged("centred");
    }
  }
  return std::nullopt;
}

// "E|$AAGGAM,,...*64\r\n": a fix whose field 17 names a mobile also moves
// (or creates) that mobile, described by field 18.
std::string HostModel::position_fix(std::string_view sentence) {
  CheckedSentence checked = check_sentence(sentence);
  if (!checked.error.empty()) return error_reply(checked.error);
  ++fix_count_;
  last_fix_ = sentence.substr(0, sentence.size() - 2);
  const std::vector<std::string>& f = checked.fields;
  std::optional<double> latitude, longitude;
  if (f.size() > 5) {
    latitude = decimal_degrees(f[2], f[3]);
    longitude = decimal_degrees(f[4], f[5]);
    if (latitude && longitude) track_.push_back({*latitude, *longitude});
  }
  if (f.size() == kSentenceFields && !f[17].empty()) {
    auto altitude = to_double(f[9]);
    if (latitude && longitude && altitude) {
      Mobile moved{*latitude, *longitude, *altitude, f[17], f[18]};
      auto found =
          std::find_if(mobiles_.begin(), mobiles_.end(),
                       [&](const Mobile& m) { return m.name == moved.name; });
      if (found == mobiles_.end())
        mobiles_.push_back(std::move(moved));
      else
        *found = std::move(moved);
    }
  }
  return acknowledged("fix " + std::to_string(fix_count_));
}

// "M|id,description,longitude,latitude,altitude,icon". The id is the first
// field and the icon the last, the three numbers stand before the icon, and
// the description is whatever lies between, commas included. An existing id
// is replaced.
std::string HostModel::new_waypoint(std::string_view body) {
  std::vector<std::string_view> fields = split(body);
  if (fields.size() < 6) return error_reply("six fields expected");
  std::size_t n = fields.size();
  auto longitude = to_double(fields[n - 4]);
  auto latitude = to_double(fields[n - 3]);
  auto altitude = to_double(fields[n - 2]);
  if (!longitude || !latitude || !altitude)
    return error_reply("three numbers expected before the icon");
  std::size_t text_start = fields[0].size() + 1;
  std::size_t text_end =
      static_cast<std::size_t>(fields[n - 4].data() - body.data()) - 1;
  Waypoint waypoint{std::string(fields[0]),
                    std::string(body.substr(text_start, text_end - text_start)),
                    *longitude, *latitude, *altitude,
                    std::string(fields[n - 1])};
  if (Waypoint* existing = find_waypoint(waypoint.id)) {
    *existing = std::move(waypoint);
    return acknowledged("replaced");
  }
  waypoints_.push_back(std::move(waypoint));
  return acknowledged("created");
}

// "L|WP1,2.500000": the waypoint id is everything before the last comma,
// the scale after it.
std::string HostModel::centre_on_waypoint(std::string_view body) {
  std::size_t comma = body.rfind(',');
  if (comma == std::string_view::npos || !to_double(body.substr(comma + 1)))
    return error_reply("waypoint id and scale expected");
  const Waypoint* waypoint = find_waypoint(body.substr(0, comma));
  if (waypoint == nullptr)
    return error_reply("no waypoint " + std::string(body.substr(0, comma)));
  centre_ = "L|" + std::string(body);
  centre_point_ = GeoPoint{waypoint->latitude, waypoint->longitude};
  centre_metres_per_pixel_ = *to_double(body.substr(comma + 1));
  return acknowledged("centred");
}

Waypoint* HostModel::find_waypoint(std::string_view id) {
  for (Waypoint& waypoint : waypoints_)
    if (waypoint.id == id) return &waypoint;
  return nullptr;
}

// Queries: "0" handshake, "2" and "4" counts, "2,<i>" and "3,<i>" records
// (0-based), plus the emulator's own state queries for tests.
std::string HostModel::query(std::string_view request) {
  if (request == kHandshakeQuery)
    return result("orvek-host " + std::to_string(kHostInterfaceVersion));
  if (request == kMobileCountQuery)
    return result(std::to_string(mobiles_.size()));
  if (request == kWaypointCountQuery)
    return result(std::to_string(waypoints_.size()));
  bool waypoint = indexed(request, kWaypointRecordQuery);
  if (waypoint || indexed(request, kMobileRecordQuery)) {
    auto index = to_int(request.substr(std::size(kWaypointRecordQuery) - 1));
    if (!index) return error_reply("bad index");
    if (waypoint) {
      if (*index < 0 || static_cast<std::size_t>(*index) >= waypoints_.size())
        return error_reply("no waypoint " + std::to_string(*index));
      const Waypoint& w = waypoints_[static_cast<std::size_t>(*index)];
      return result(w.id + "," + w.description + "," +
                    format_double(w.longitude) + "," +
                    format_double(w.latitude) + "," + format_double(w.altitude) +
                    "," + w.icon);
    }
    if (*index < 0 || static_cast<std::size_t>(*index) >= mobiles_.size())
      return error_reply("no mobile " + std::to_string(*index));
    return result(mobile_record(mobiles_[static_cast<std::size_t>(*index)]));
  }
  if (request == "fixes") return result(std::to_string(fix_count_));
  if (request == "lastfix") return result(last_fix_);
  if (request == "mmapinit") return result(std::to_string(moving_map_inits_));
  if (request == "centre") return result(centre_);
  if (request == "viewport") return result(viewport_);
  if (request == "exec") return result(last_exec_);
  if (request == "opened") return result(opened_file_);
  if (request == "exported") return result(exported_file_);
  return error_reply("unknown query " + std::string(request));
}

MapContent HostModel::map_content() const {
  MapContent content;
  content.track = track_;
  for (const Waypoint& w : waypoints_)
    content.waypoints.push_back({{w.latitude, w.longitude}, w.id});
  for (const Mobile& m : mobiles_)
    content.mobiles.push_back({{m.latitude, m.longitude}, m.name});
  content.centre = centre_point_;
  content.metres_per_pixel = centre_metres_per_pixel_;
  content.width = view_width_;
  content.height = view_height_;
  return content;
}

std::vector<std::string> HostModel::seed_mobiles(std::string_view text) {
  std::vector<std::string> problems;
  std::size_t line_number = 0;
  while (!text.empty()) {
    std::string_view line = without_cr(take_line(text));
    ++line_number;
    if (line.empty() || line.front() == '#') continue;
    if (auto mobile = parse_mobile(line))
      mobiles_.push_back(std::move(*mobile));
    else
      problems.push_back("line " + std::to_string(line_number) + ": " +
                         std::string(line));
  }
  return problems;
}

std::string HostModel::summary() const {
  std::string text = "Orvek host emulator\n";
  text += "fixes: " + std::to_string(fix_count_) + "\n";
  text += "waypoints: " + std::to_string(waypoints_.size()) + "\n";
  text += "mobiles: " + std::to_string(mobiles_.size()) + "\n";
  text += "moving map inits: " + std::to_string(moving_map_inits_) + "\n";
  if (!centre_.empty()) text += "centre: " + centre_ + "\n";
  if (!last_fix_.empty()) text += "last fix: " + last_fix_ + "\n";
  return text;
}

}  // namespace orvek::host
