// GPX files in and out. The file is read and every waypoint checked before
// anything is sent, so a file refused changes nothing on the host. A
// waypoint's icon is a name to the library, so it travels as the GPX
// symbol both ways: what export writes, import reads back the same.
#include "tools/orvekport/commands_gpx.h"

#include <set>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/orvekport_status.h"
#include "tools/common/text.h"
#include "tools/orvekport/gpx_write.h"
#include "tools/orvekport/host_text.h"
#include "tools/orvekport/records.h"

namespace orvek::cli {
namespace {

// A waypoint ready for OrvekGPSPort_New_Waypoint: texts in the host's code
// page.
struct HostWaypoint {
  std::string name_utf8;
  std::string id, description, icon;
  double longitude = 0, latitude = 0, altitude = 0;
};

// U+FFFD in UTF-8.
constexpr char kUndecoded[] = "\xEF\xBF\xBD";

std::string where(const GpxWaypoint& w) {
  return "line " + std::to_string(w.line);
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
std::optional<HostWaypoint> for_host(Run& run, const GpxWaypoint& w,
                                     std::vector<std::string>* problems) {
  const std::string name = one_line(w.name.value_or(""));
  std::string label =
      "'" + tools::quoted_excerpt(name, tools::kExcerptBytes) + "' (" +
      where(w) + ")";
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
  const std::string symbol = one_line(w.symbol.value_or(""));
  const std::pair<const char*, const std::string*> texts[] = {
      {"name", &name}, {"description", &description}, {"symbol", &symbol}};
  std::string* targets[] = {&out.id, &out.description, &out.icon};
  for (std::size_t i = 0; i < 3; ++i) {
    // What the XML reader could not decode it gives as U+FFFD.
    if (texts[i].second->find(kUndecoded) != std::string::npos) {
      problems->push_back(label + ": " + texts[i].first +
                          " holds bytes that are not in the file's encoding "
                          "(read as U+FFFD)");
      continue;
    }
    std::string problem;
    std::optional<std::string> host_text =
        run.text.to_host(*texts[i].second, texts[i].first, &problem);
    if (!host_text) {
      problems->push_back(label + ": " + problem);
      continue;
    }
    std::string why = unreadable(texts[i].first, *host_text);
    if (!why.empty() && !run.options.force)
      problems->push_back(label + ": " + why + "; --force sends it all the same");
    *targets[i] = std::move(*host_text);
  }
  if (problems->size() != problems_before) return std::nullopt;
  return out;
}

// --replace: deletes the host's waypoints whose ids the file has, each once.
// Nothing when all went, else the exit code of the failure.
std::optional<int> delete_replaced(Run& run,
                                   const std::vector<HostWaypoint>& waypoints) {
  std::int32_t count = 0;
  PacketWatch watch = run.watch();
  if (std::uint32_t status = run.library.Get_WaypointCount(&count);
      status != ORVEKPORT_OK)
    return run.finish(watch, status);
  std::vector<HostRecord> on_host;
  if (std::optional<int> failed =
          read_records(run, count, kWaypointFields, read_waypoint,
                       " (the host's waypoints); nothing was imported",
                       &on_host))
    return failed;
  std::set<std::string> ids, deleted;
  for (const HostRecord& record : on_host) ids.insert(record.name);
  for (const HostWaypoint& w : waypoints) {
    if (!ids.count(w.id) || !deleted.insert(w.id).second) continue;
    PacketWatch delete_watch = run.watch();
    if (std::uint32_t status = run.library.Delete_Waypoint(w.id.c_str());
        status != ORVEKPORT_OK) {
      run.report.note("deleting '" + w.name_utf8 + "' first; nothing was imported");
      return run.finish(delete_watch, status);
    }
  }
  run.report.add(integer_field("replaced", static_cast<std::int64_t>(deleted.size())));
  return std::nullopt;
}

// Reads `count` records through `read` and writes them as <wpt>s, each
// icon as its symbol (a mobile has none), or no file when a read fails.
int export_records(Run& run, std::int32_t count,
                   std::span<const char* const> fields, ReadRecord read) {
  std::vector<HostRecord> records;
  if (std::optional<int> failed =
          read_records(run, count, fields, read, "; no file written", &records))
    return *failed;
  std::vector<GpxPoint> points;
  for (const HostRecord& r : records)
    points.push_back({r.latitude, r.longitude, r.altitude, run.text.from_host(r.name),
                      run.text.from_host(r.description), run.text.from_host(r.icon)});
  std::string error;
  if (!run.system.write_file_whole(run[0], gpx_document(points), &error))
    return run.report.fail(error);
  run.report.add(text_field("file", run[0]));
  run.report.add(integer_field("count", static_cast<std::int64_t>(points.size())));
  return run.report.finish(ORVEKPORT_OK);
}

}  // namespace

int waypoint_import(Run& run) {
  std::string error;
  std::optional<std::vector<GpxWaypoint>> file =
      run.system.read_gpx_waypoints(run[0], &error);
  if (!file) return run.refuse(std::string(run[0]) + ": " + error);

  std::vector<HostWaypoint> waypoints;
  std::vector<std::string> problems;
  for (const GpxWaypoint& w : *file)
    if (std::optional<HostWaypoint> ready = for_host(run, w, &problems))
      waypoints.push_back(std::move(*ready));
  if (!problems.empty()) {
    for (std::string& problem : problems) run.report.note(std::move(problem));
    return run.refuse(std::string(run[0]) + ": " + std::to_string(problems.size()) +
                      " problem" + (problems.size() == 1 ? "" : "s") +
                      " (below); nothing was sent");
  }

  if (int exit_code = run.prepare_host(); exit_code != 0) return exit_code;
  if (run.flag("replace"))
    if (std::optional<int> failed = delete_replaced(run, waypoints)) return *failed;

  // Each waypoint goes on its own; one refused does not stop the rest.
  std::vector<Fields> failures;
  std::uint32_t first_failure = ORVEKPORT_OK;
  for (const HostWaypoint& w : waypoints) {
    PacketWatch watch = run.watch();
    std::uint32_t status =
        run.library.New_Waypoint(w.id.c_str(), w.description.c_str(), w.longitude,
                                 w.latitude, w.altitude, w.icon.c_str());
    if (status == ORVEKPORT_OK) continue;
    if (first_failure == ORVEKPORT_OK) first_failure = status;
    Fields failure = {text_field("name", w.name_utf8),
                      integer_field("status", status),
                      text_field("status_name", orvekport_status_name(status))};
    if (std::optional<std::string> reply = watch.fresh_reply())
      failure.push_back(text_field("host_answered", visible(run.text.from_host(*reply))));
    failures.push_back(std::move(failure));
  }
  run.report.add(integer_field("imported",
                               static_cast<std::int64_t>(waypoints.size() - failures.size())));
  run.report.add(integer_field("failed", static_cast<std::int64_t>(failures.size())));
  if (!failures.empty()) {
    run.report.add_list("failures", failures);
    run.report.note(std::to_string(failures.size()) + " of " +
                    std::to_string(waypoints.size()) +
                    " waypoints were not imported; the status is the first one's");
  }
  return run.report.finish(first_failure);
}

int waypoint_export(Run& run) {
  if (int exit_code = run.prepare_host(); exit_code != 0) return exit_code;
  std::int32_t count = 0;
  PacketWatch watch = run.watch();
  if (std::uint32_t status = run.library.Get_WaypointCount(&count);
      status != ORVEKPORT_OK)
    return run.finish(watch, status);
  return export_records(run, count, kWaypointFields, read_waypoint);
}

int mobiles_export(Run& run) {
  if (int exit_code = run.prepare_host(); exit_code != 0) return exit_code;
  int failed = 0;
  std::optional<std::int32_t> count = count_mobiles(
      run, "OrvekGPSPort_GetMovingMapCount gave -1; no file written", &failed);
  if (!count) return failed;
  return export_records(run, *count, kMobileFields, read_mobile);
}

}  // namespace orvek::cli
