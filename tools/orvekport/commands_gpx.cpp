// GPX files in and out: "waypoint import", "waypoint export" and
// "mobiles export". The file is read and every waypoint checked before
// anything is sent, so a file refused changes nothing on the host.
#include "tools/orvekport/commands_gpx.h"

#include <cstring>
#include <set>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/orvekport_status.h"
#include "tools/common/win_text.h"
#include "tools/orvekport/gpx_read.h"
#include "tools/orvekport/gpx_write.h"
#include "tools/orvekport/host_side.h"

namespace orvek::cli {
namespace {

// A text the host reads back whole fits its buffer with the NUL and holds
// no comma, which would split the record.
constexpr std::size_t kMaxReadableText = ORVEKPORT_WAYPOINT_TEXT_SIZE - 1;

// A waypoint ready for OrvekGPSPort_New_Waypoint: texts in the host's code
// page.
struct HostWaypoint {
  std::string name_utf8;
  std::string id, description, icon;
  double longitude = 0, latitude = 0, altitude = 0;
};

std::string where(const GpxWaypoint& w) {
  return "line " + std::to_string(w.line);
}

// Why `text` would not read back from the host, or "".
std::string unreadable(const char* what, const std::string& host_text) {
  if (host_text.find(',') != std::string::npos)
    return std::string(what) + " holds a comma, which splits the host's record";
  if (host_text.size() > kMaxReadableText)
    return std::string(what) + " is " + std::to_string(host_text.size()) +
           " bytes; the host reads back at most " + std::to_string(kMaxReadableText);
  return "";
}

// A GPX text on one line for the request: blanks around it dropped, line
// ends and tabs inside (a pretty-printed file's) as spaces.
std::string one_line(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  std::size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

// `w` for the host, or nothing with every problem added to `problems`.
std::optional<HostWaypoint> for_host(const GpxWaypoint& w, bool force,
                                     std::vector<std::string>* problems,
                                     std::vector<std::string>* notes) {
  const std::string name = one_line(w.name.value_or(""));
  std::string label = "'" + name + "' (" + where(w) + ")";
  std::size_t problems_before = problems->size();
  if (name.empty()) {
    problems->push_back("<wpt> at " + where(w) +
                        " has no <name>, which the host needs as its id");
    return std::nullopt;
  }
  HostWaypoint out;
  out.name_utf8 = name;
  out.longitude = w.longitude;
  out.latitude = w.latitude;
  out.altitude = w.elevation.value_or(0);
  const std::string description =
      one_line(w.description ? *w.description : w.comment.value_or(""));
  std::string symbol = one_line(w.symbol.value_or(""));
  if (!symbol.empty() && std::strspn(symbol.c_str(), "0123456789") != symbol.size()) {
    notes->push_back(label + ": symbol '" + symbol +
                     "' is not an icon number; sent without an icon");
    symbol.clear();
  }
  const std::pair<const char*, const std::string*> texts[] = {
      {"name", &name},
      {"description", &description},
      {"symbol", &symbol}};
  std::string* targets[] = {&out.id, &out.description, &out.icon};
  for (std::size_t i = 0; i < 3; ++i) {
    std::string problem;
    std::optional<std::string> host_text =
        to_host(*texts[i].second, texts[i].first, &problem);
    if (!host_text) {
      problems->push_back(label + ": " + problem);
      continue;
    }
    std::string why = unreadable(texts[i].first, *host_text);
    if (!why.empty() && !force)
      problems->push_back(label + ": " + why + "; --force sends it all the same");
    *targets[i] = std::move(*host_text);
  }
  if (problems->size() != problems_before) return std::nullopt;
  return out;
}

// The ids of the host's waypoints, or the failed status.
std::uint32_t host_waypoint_ids(Report& report, std::set<std::string>* ids) {
  std::int32_t count = 0;
  std::uint32_t status = OrvekGPSPort_Get_WaypointCount(&count);
  for (std::int32_t index = 0; status == ORVEKPORT_OK && index < count; ++index) {
    char id[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
    char text[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
    char icon[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
    double longitude = 0, latitude = 0, altitude = 0;
    status = OrvekGPSPort_Get_Waypoint(index, id, text, &longitude, &latitude,
                                       &altitude, icon);
    if (status == ORVEKPORT_OK)
      ids->insert(id);
    else
      report.note("reading the host's waypoint " + std::to_string(index) + " of " +
                  std::to_string(count));
  }
  return status;
}

// Reads `count` records through `get` into `points`; the first failure
// finishes the report (a note says where) and gives its exit code.
template <typename Get>
std::optional<int> read_records(Report& report, std::int32_t count,
                                const std::vector<const char*>& record, Get get,
                                std::vector<GpxPoint>* points) {
  for (std::int32_t index = 0; index < count; ++index) {
    HostCall call(report);
    call.set_record(record);
    GpxPoint point;
    std::uint32_t status = get(index, &point);
    if (status != ORVEKPORT_OK) {
      report.note("at index " + std::to_string(index) + " of " + std::to_string(count) +
                  "; no file written");
      return call.finish(status);
    }
    points->push_back(std::move(point));
  }
  return std::nullopt;
}

int write_points(Report& report, const std::string& path_utf8,
                 const std::vector<GpxPoint>& points) {
  std::string error;
  if (!write_file_whole(tools::widen(CP_UTF8, path_utf8), gpx_document(points), &error))
    return report.fail(error);
  report.add(text_field("file", path_utf8));
  report.add(integer_field("count", static_cast<std::int64_t>(points.size())));
  return report.finish(ORVEKPORT_OK);
}

}  // namespace

int waypoint_import(Report& report, Arguments& args, const char* usage) {
  bool replace = args.take_flag("replace");
  bool force = args.take_flag("force");
  if (!args.finish(1, 1)) return report.refuse(args.problem(), usage);
  std::string error;
  std::optional<std::vector<GpxWaypoint>> file =
      read_gpx_waypoints(tools::widen(CP_UTF8, args[0]), &error);
  if (!file) return report.refuse(std::string(args[0]) + ": " + error);

  std::vector<HostWaypoint> waypoints;
  std::vector<std::string> problems;
  std::vector<std::string> notes;
  for (const GpxWaypoint& w : *file)
    if (std::optional<HostWaypoint> ready = for_host(w, force, &problems, &notes))
      waypoints.push_back(std::move(*ready));
  for (std::string& note : notes) report.note(std::move(note));
  if (!problems.empty()) {
    for (std::string& problem : problems) report.note(std::move(problem));
    return report.refuse(std::string(args[0]) + ": " + std::to_string(problems.size()) +
                         " problem" + (problems.size() == 1 ? "" : "s") +
                         " (below); nothing was sent");
  }

  if (int exit_code = ensure_host_link(report); exit_code != 0) return exit_code;
  if (replace) {
    std::set<std::string> on_host;
    HostCall call(report);
    if (std::uint32_t status = host_waypoint_ids(report, &on_host); status != ORVEKPORT_OK)
      return call.finish(status);
    std::set<std::string> deleted;
    for (const HostWaypoint& w : waypoints) {
      if (!on_host.count(w.id) || !deleted.insert(w.id).second) continue;
      HostCall delete_call(report);
      if (std::uint32_t status = OrvekGPSPort_Delete_Waypoint(w.id.c_str());
          status != ORVEKPORT_OK) {
        report.note("deleting '" + w.name_utf8 + "' first; nothing was imported");
        return delete_call.finish(status);
      }
    }
    report.add(integer_field("replaced", static_cast<std::int64_t>(deleted.size())));
  }

  // Each waypoint goes on its own; one refused does not stop the rest.
  std::vector<Fields> failures;
  std::uint32_t first_failure = ORVEKPORT_OK;
  for (const HostWaypoint& w : waypoints) {
    HostCall call(report);
    std::uint32_t status =
        OrvekGPSPort_New_Waypoint(w.id.c_str(), w.description.c_str(), w.longitude,
                                  w.latitude, w.altitude, w.icon.c_str());
    if (status == ORVEKPORT_OK) continue;
    if (first_failure == ORVEKPORT_OK) first_failure = status;
    Fields failure = {text_field("name", w.name_utf8),
                      integer_field("status", status),
                      text_field("status_name", orvekport_status_name(status))};
    if (std::optional<std::string> reply = call.fresh_reply())
      failure.push_back(text_field("host_answered", visible(from_host(*reply))));
    failures.push_back(std::move(failure));
  }
  report.add(integer_field("imported",
                           static_cast<std::int64_t>(waypoints.size() - failures.size())));
  report.add(integer_field("failed", static_cast<std::int64_t>(failures.size())));
  if (!failures.empty()) {
    report.add_list("failures", failures);
    report.note(std::to_string(failures.size()) + " of " +
                std::to_string(waypoints.size()) +
                " waypoints were not imported; the status is the first one's");
  }
  return report.finish(first_failure);
}

int waypoint_export(Report& report, Arguments& args, const char* usage) {
  if (!args.finish(1, 1)) return report.refuse(args.problem(), usage);
  if (int exit_code = refuse_to_start(report); exit_code != 0) return exit_code;
  std::int32_t count = 0;
  {
    HostCall call(report);
    std::uint32_t status = OrvekGPSPort_Get_WaypointCount(&count);
    if (status != ORVEKPORT_OK) return call.finish(status);
  }
  std::vector<GpxPoint> points;
  auto get = [](std::int32_t index, GpxPoint* point) {
    char id[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
    char text[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
    char icon[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
    double longitude = 0, latitude = 0, altitude = 0;
    std::uint32_t status = OrvekGPSPort_Get_Waypoint(index, id, text, &longitude,
                                                     &latitude, &altitude, icon);
    *point = {latitude, longitude, altitude, from_host(id), from_host(text),
              from_host(icon)};
    return status;
  };
  if (std::optional<int> failed = read_records(
          report, count,
          {"id", "description", "longitude", "latitude", "altitude", "icon"}, get,
          &points))
    return *failed;
  return write_points(report, args[0], points);
}

int mobiles_export(Report& report, Arguments& args, const char* usage,
                   std::int64_t text_size) {
  if (!args.finish(1, 1)) return report.refuse(args.problem(), usage);
  if (int exit_code = refuse_to_start(report); exit_code != 0) return exit_code;
  std::int32_t count = 0;
  {
    HostCall call(report);
    count = OrvekGPSPort_GetMovingMapCount();
    if (count == -1) {
      if (std::optional<std::string> reply = call.fresh_reply())
        report.host_answered(visible(from_host(*reply)));
      return report.fail("OrvekGPSPort_GetMovingMapCount gave -1; no file written");
    }
  }
  std::vector<GpxPoint> points;
  auto get = [text_size](std::int32_t index, GpxPoint* point) {
    // One byte more than told, so an empty buffer still reads as "".
    std::vector<char> name(static_cast<std::size_t>(text_size) + 1, '\0');
    std::vector<char> description(static_cast<std::size_t>(text_size) + 1, '\0');
    double longitude = 0, latitude = 0, altitude = 0;
    std::uint32_t status = OrvekGPSPort_GetMovingMapPosition(
        index, name.data(), &longitude, &latitude, &altitude,
        static_cast<std::uint32_t>(text_size), description.data());
    *point = {latitude, longitude, altitude, from_host(name.data()),
              from_host(description.data()), ""};
    return status;
  };
  if (std::optional<int> failed = read_records(
          report, count, {"latitude", "longitude", "altitude", "name", "description"},
          get, &points))
    return *failed;
  return write_points(report, args[0], points);
}

}  // namespace orvek::cli
