// Commands of the waypoints and the moving-map entries: add, delete, count,
// get, list, and GPX in and out (commands_gpx.cpp). The queries find the
// host themselves; add, delete and import are commands, so they run
// OrvekGPSPort_Init first.
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/orvekport/advice.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/commands_gpx.h"
#include "tools/orvekport/records.h"
#include "tools/orvekport/run.h"

namespace orvek::cli {
namespace {

// The "M" body must fit the request line after "M|".
constexpr std::size_t kMaxWaypointBody = ORVEKPORT_COMMAND_BODY_MAX;
bool text_size_ok(const char* text) {
  std::int64_t size = 0;
  return tools::parse_integer(text, 0, kMaxTextSize, &size);
}

// A record as the output shows it: a waypoint's name is its "id", and it
// has an icon, which a moving-map entry has not.
Fields record_fields(Run& run, std::int32_t index, const HostRecord& r,
                     bool waypoint) {
  Fields fields = {integer_field("index", index),
                   text_field(waypoint ? "id" : "name", run.text.from_host(r.name)),
                   text_field("description", run.text.from_host(r.description)),
                   real_field("longitude", r.longitude),
                   real_field("latitude", r.latitude),
                   real_field("altitude", r.altitude)};
  if (waypoint) fields.push_back(text_field("icon", run.text.from_host(r.icon)));
  return fields;
}
Fields waypoint_fields(Run& run, std::int32_t index, const HostRecord& w) {
  return record_fields(run, index, w, true);
}
Fields mobile_fields(Run& run, std::int32_t index, const HostRecord& m) {
  return record_fields(run, index, m, false);
}
using FieldsOf = Fields (*)(Run& run, std::int32_t index, const HostRecord&);

// "list": the records after a count, stopping at the first failure with
// those read so far.
int list_records(Run& run, std::int32_t count, const char* key,
                 std::span<const char* const> fields, ReadRecord read,
                 FieldsOf fields_of) {
  std::vector<HostRecord> records;
  auto listed = [&] {
    std::vector<Fields> items;
    for (std::size_t i = 0; i < records.size(); ++i)
      items.push_back(fields_of(run, static_cast<std::int32_t>(i), records[i]));
    run.report.add_list(key, items);
  };
  if (std::optional<int> failed =
          read_records(run, count, fields, read, "", &records, listed))
    return *failed;
  listed();
  return run.report.finish(ORVEKPORT_OK);
}

// "get INDEX": one record; `too_long` says what a record refused with
// E_TOO_LONG needs.
int get_record(Run& run, std::span<const char* const> fields, ReadRecord read,
               FieldsOf fields_of, const std::string& too_long) {
  int refused = 0;
  std::int32_t index = 0;
  if (!run.int_at(0, &index, &refused)) return refused;
  if (int exit_code = run.prepare_host(); exit_code != 0) return exit_code;
  PacketWatch watch = run.watch();
  HostRecord record;
  std::uint32_t status = read(run, index, &record);
  if (status == ORVEKPORT_OK)
    for (Field& field : fields_of(run, index, record))
      run.report.add(std::move(field));
  if (status == ORVEKPORT_E_TOO_LONG) run.report.note(too_long);
  return run.finish(watch, status, {std::nullopt, fields});
}

int waypoint_add(Run& run) {
  int refused = 0;
  double values[3];
  for (std::size_t i = 0; i < 3; ++i)
    if (!run.real_at(i + 2, &values[i], &refused)) return refused;
  if (std::string why = off_globe(values[0], values[1]);
      !why.empty() && !run.options.force)
    return run.refuse(why);
  static const char* const kTextNames[] = {"ID", "DESCRIPTION", "ICON"};
  const std::size_t text_positions[] = {0, 1, 5};
  std::string texts[3];
  for (std::size_t i = 0; i < 3; ++i) {
    std::optional<std::string> text =
        run.for_host(run[text_positions[i]], kTextNames[i], &refused);
    if (!text) return refused;
    texts[i] = *text;
    std::string why =
        unreadable(kTextNames[i], texts[i], std::string(run[text_positions[i]]));
    if (!why.empty() && !run.options.force)
      return run.refuse(why + "; --force sends it all the same");
  }
  std::size_t body = texts[0].size() + texts[1].size() + texts[2].size() + 5;
  for (double value : values) body += fixed_length(value);
  Limit limit{"the body \"ID,DESCRIPTION,%f,%f,%f,ICON\"", body,
              kMaxWaypointBody};
  return run.call({limit, {}}, [&] {
    return run.library.New_Waypoint(texts[0].c_str(), texts[1].c_str(),
                                    values[0], values[1], values[2],
                                    texts[2].c_str());
  });
}

int waypoint_delete(Run& run) {
  int refused = 0;
  std::optional<std::string> id = run.for_host(run[0], "ID", &refused);
  if (!id) return refused;
  return run.call({Limit{"ID", id->size(), kMaxWaypointBody}, {}},
                  [&] { return run.library.Delete_Waypoint(id->c_str()); });
}

// "count" and "list" of the waypoints.
int waypoint_count_or_list(Run& run, bool list) {
  if (int exit_code = run.prepare_host(); exit_code != 0) return exit_code;
  std::int32_t count = 0;
  PacketWatch watch = run.watch();
  std::uint32_t status = run.library.Get_WaypointCount(&count);
  if (status != ORVEKPORT_OK) return run.finish(watch, status);
  if (!list) {
    run.report.add_bare(integer_field("count", count));
    return run.finish(watch, status);
  }
  return list_records(run, count, "waypoints", kWaypointFields,
                      read_waypoint, waypoint_fields);
}
int waypoint_count(Run& run) { return waypoint_count_or_list(run, false); }
int waypoint_list(Run& run) { return waypoint_count_or_list(run, true); }

int waypoint_get(Run& run) {
  return get_record(run, kWaypointFields, read_waypoint, waypoint_fields,
                    "a field of the host's record passes " +
                        std::to_string(kMaxReadableText) + " bytes");
}

// "count" and "list" of the moving-map entries.
int mobiles_count_or_list(Run& run, bool list) {
  if (int exit_code = run.prepare_host(); exit_code != 0) return exit_code;
  int failed = 0;
  std::optional<std::int32_t> count = count_mobiles(
      run,
      "OrvekGPSPort_GetMovingMapCount gave -1: the query failed, or the host "
      "answered -1",
      &failed);
  if (!count) return failed;
  if (!list) {
    run.report.add_bare(integer_field("count", *count));
    return run.report.finish(ORVEKPORT_OK);
  }
  return list_records(run, *count, "mobiles", kMobileFields, read_mobile,
                      mobile_fields);
}
int mobiles_count(Run& run) { return mobiles_count_or_list(run, false); }
int mobiles_list(Run& run) { return mobiles_count_or_list(run, true); }

int mobiles_get(Run& run) {
  std::int64_t size = mobile_text_size(run);
  return get_record(run, kMobileFields, read_mobile, mobile_fields,
                    "a text field needs more than " +
                        std::to_string(size > 0 ? size - 1 : 0) +
                        " bytes: give a larger --text-size");
}

constexpr Option kTextSize[] = {
    {"text-size", true, text_size_ok,
     "--text-size needs a number from 0 to 1048576"}};
constexpr Option kReplace[] = {{"replace", false}};

constexpr Action kWaypointActions[] = {
    {"waypoint add", 6, 6, {}, HostNeed::kLink, waypoint_add},
    {"waypoint delete", 1, 1, {}, HostNeed::kLink, waypoint_delete},
    {"waypoint count", 0, 0, {}, HostNeed::kWindow, waypoint_count},
    {"waypoint get", 1, 1, {}, HostNeed::kWindow, waypoint_get},
    {"waypoint list", 0, 0, {}, HostNeed::kWindow, waypoint_list},
    {"waypoint import", 1, 1, kReplace, HostNeed::kLink, waypoint_import},
    {"waypoint export", 1, 1, {}, HostNeed::kWindow, waypoint_export},
};
constexpr Action kMobilesActions[] = {
    {"mobiles count", 0, 0, kTextSize, HostNeed::kWindow, mobiles_count},
    {"mobiles get", 1, 1, kTextSize, HostNeed::kWindow, mobiles_get},
    {"mobiles list", 0, 0, kTextSize, HostNeed::kWindow, mobiles_list},
    {"mobiles export", 1, 1, kTextSize, HostNeed::kWindow, mobiles_export},
};

constexpr Command kCommands[] = {
    {"waypoint",
     "waypoint add ID DESCRIPTION LONGITUDE LATITUDE ALTITUDE ICON [--force]"
     " | delete ID | count | get INDEX | list"
     " | import FILE.gpx [--replace] [--force] | export FILE.gpx",
     "Waypoints. add: M|ID,DESCRIPTION,LONGITUDE,LATITUDE,ALTITUDE,ICON\n"
     "(OrvekGPSPort_New_Waypoint); refuses what could not be read back (a\n"
     "comma in a text, a text longer than a field read back) unless --force.\n"
     "delete: N|ID "
     "(OrvekGPSPort_Delete_Waypoint); count: query 4\n"
     "(OrvekGPSPort_Get_WaypointCount); get: query 2,INDEX, from 0\n"
     "(OrvekGPSPort_Get_Waypoint); list: count, then get for each.\n"
     "import: every <wpt> of a GPX 1.0 or 1.1 file becomes a waypoint (texts\n"
     "on one line, trimmed): name as ID, desc (else cmt) as DESCRIPTION, lon,\n"
     "lat, ele (else 0), and sym as ICON, the icon's name as export writes it.\n"
     "The whole file is checked first: bad XML, a <wpt> without lat, lon or\n"
     "name, or a text that add would refuse (--lossy and --force as for add)\n"
     "sends nothing (exit 2). Then each goes on its own; one the library or\n"
     "host refuses is listed by name with its status, and the exit code is\n"
     "the first such status. --replace deletes the host's waypoints of the\n"
     "same ids first.\n"
     "export: every waypoint as GPX 1.1 <wpt>s (UTF-8), the icon as sym,\n"
     "written whole or not at all.",
     {}, kWaypointActions, "add, delete, count, get, list, import or export expected"},
    {"mobiles",
     "mobiles count | get INDEX [--text-size N] | list | export FILE.gpx",
     "Moving-map entries. count: query 2 (OrvekGPSPort_GetMovingMapCount);\n"
     "get: query 3,INDEX, from 0, the position record with text buffers of\n"
     "N bytes, default 256 (OrvekGPSPort_GetMovingMapPosition); list: count,\n"
     "then get for each; export: every entry as a GPX 1.1 <wpt> (name, desc,\n"
     "lat, lon, ele), written whole or not at all.",
     {}, kMobilesActions, "count, get, list or export expected"},
};

}  // namespace

std::span<const Command> waypoint_commands() { return kCommands; }

}  // namespace orvek::cli
