// Commands of the waypoints and the moving-map entries: add, delete, count,
// get and list. The queries find the host themselves; add and delete are
// commands, so they run OrvekGPSPort_Init first.
#include <cstring>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/orvekport/arguments.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/commands_gpx.h"
#include "tools/orvekport/host_side.h"
#include "tools/orvekport/report.h"

namespace orvek::cli {
namespace {

// The "M" body must fit the request line after "M|".
constexpr std::size_t kMaxWaypointBody = ORVEKPORT_COMMAND_BODY_MAX;
// Each text read back by OrvekGPSPort_Get_Waypoint fits its buffer with
// the NUL.
constexpr std::size_t kMaxWaypointText = ORVEKPORT_WAYPOINT_TEXT_SIZE - 1;
// The moving-map record's text buffers unless --text-size says otherwise.
constexpr std::int64_t kDefaultTextSize = 256;
constexpr std::int64_t kMaxTextSize = 1 << 20;

// The fields of each record in the order the host sends them: the waypoint
// as "M" takes it, the moving-map entry as query "3,i" answers it.
const std::vector<const char*> kWaypointRecord = {
    "id", "description", "longitude", "latitude", "altitude", "icon"};
const std::vector<const char*> kMobileRecord = {
    "latitude", "longitude", "altitude", "name", "description"};

int run_waypoint(std::span<const std::string> arguments);
int run_mobiles(std::span<const std::string> arguments);

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
     "on one line, trimmed): name\n"
     "as ID, desc (else cmt) as DESCRIPTION, lon, lat, ele (else 0), and sym\n"
     "as ICON when it is a number (any other symbol is left out, with a\n"
     "note). The whole file is checked first: bad XML, a <wpt> without lat,\n"
     "lon or name, or a text that add would refuse (--lossy and --force as\n"
     "for add) sends nothing (exit 2). Then\n"
     "each goes on its own; one the library or host refuses is listed by\n"
     "name with its status, and the exit code is the first such status.\n"
     "--replace deletes the host's waypoints of the same ids first.\n"
     "export: every waypoint as GPX 1.1 <wpt>s (UTF-8), written whole or\n"
     "not at all.",
     run_waypoint},
    {"mobiles",
     "mobiles count | get INDEX [--text-size N] | list | export FILE.gpx",
     "Moving-map entries. count: query 2 (OrvekGPSPort_GetMovingMapCount);\n"
     "get: query 3,INDEX, from 0, the position record with text buffers of\n"
     "N bytes, default 256 (OrvekGPSPort_GetMovingMapPosition); list: count,\n"
     "then get for each; export: every entry as a GPX 1.1 <wpt> (name, desc,\n"
     "lat, lon, ele), written whole or not at all.",
     run_mobiles},
};
enum CommandIndex { kWaypoint, kMobiles };

// Why a waypoint text would not read back, or "".
std::string unreadable(const char* what, const std::string& text) {
  if (text.find(',') != std::string::npos)
    return std::string(what) + " '" + from_host(text) +
           "' holds a comma, which splits the record when it is read back";
  if (text.size() > kMaxWaypointText)
    return std::string(what) + " is " + std::to_string(text.size()) +
           " bytes; a waypoint reads back texts of at most " +
           std::to_string(kMaxWaypointText);
  return "";
}

int waypoint_add(const Command& self, Report& report, Arguments& args) {
  bool force = global_options().force;
  if (!args.finish(6, 6)) return report.refuse(args.problem(), self.usage);
  double values[3];
  for (std::size_t i = 0; i < 3; ++i)
    if (!parse_real(args[i + 2], &values[i]))
      return report.refuse(std::string("not a finite number: ") + args[i + 2],
                           self.usage);
  if (std::string why = off_globe(values[0], values[1]);
      !why.empty() && !force)
    return report.refuse(why);
  static const char* const kTextNames[] = {"ID", "DESCRIPTION", "ICON"};
  const std::size_t text_positions[] = {0, 1, 5};
  std::string texts[3];
  for (std::size_t i = 0; i < 3; ++i) {
    std::string problem;
    std::optional<std::string> text =
        to_host(args[text_positions[i]], kTextNames[i], &problem);
    if (!text) return report.refuse(problem);
    texts[i] = *text;
    std::string why = unreadable(kTextNames[i], texts[i]);
    if (!why.empty() && !force)
      return report.refuse(why + "; --force sends it all the same");
  }
  if (int exit_code = ensure_host_link(report); exit_code != 0)
    return exit_code;
  HostCall call(report);
  std::size_t body = texts[0].size() + texts[1].size() + texts[2].size() + 5;
  for (double value : values)
    body += fixed_length(value);
  call.set_limit(
      {"the body \"ID,DESCRIPTION,%f,%f,%f,ICON\"", body, kMaxWaypointBody});
  return call.finish(
      OrvekGPSPort_New_Waypoint(texts[0].c_str(), texts[1].c_str(), values[0],
                                values[1], values[2], texts[2].c_str()));
}

// One waypoint's fields; the status of the query.
std::uint32_t get_waypoint(std::int32_t index, Fields* fields) {
  char id[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
  char text[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
  char icon[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
  double longitude = 0, latitude = 0, altitude = 0;
  std::uint32_t status = OrvekGPSPort_Get_Waypoint(index, id, text, &longitude,
                                                   &latitude, &altitude, icon);
  if (status == ORVEKPORT_OK)
    *fields = {integer_field("index", index),
               text_field("id", from_host(id)),
               text_field("description", from_host(text)),
               real_field("longitude", longitude),
               real_field("latitude", latitude),
               real_field("altitude", altitude),
               text_field("icon", from_host(icon))};
  return status;
}

// One moving-map entry's fields; the status of the query.
std::uint32_t get_mobile(std::int32_t index, std::int64_t text_size,
                         Fields* fields) {
  // One byte more than told, so an empty buffer still reads as "".
  std::vector<char> name(static_cast<std::size_t>(text_size) + 1, '\0');
  std::vector<char> description(static_cast<std::size_t>(text_size) + 1, '\0');
  double longitude = 0, latitude = 0, altitude = 0;
  std::uint32_t status = OrvekGPSPort_GetMovingMapPosition(
      index, name.data(), &longitude, &latitude, &altitude,
      static_cast<std::uint32_t>(text_size), description.data());
  if (status == ORVEKPORT_OK)
    *fields = {integer_field("index", index),
               text_field("name", from_host(name.data())),
               text_field("description", from_host(description.data())),
               real_field("longitude", longitude),
               real_field("latitude", latitude),
               real_field("altitude", altitude)};
  return status;
}

void add_fields(Report& report, Fields fields) {
  for (Field& field : fields) report.add(std::move(field));
}

// After a failed count: what the host said, or why there was no answer.
int count_failed(Report& report, HostCall& call, const char* what) {
  if (std::optional<std::string> reply = call.fresh_reply())
    report.host_answered(visible(from_host(*reply)));
  else if (!registered_host_path())
    explain_link_status(ORVEKPORT_E_REGISTRY, report);
  else if (find_host_window() == nullptr)
    explain_link_status(ORVEKPORT_E_NO_HOST, report);
  return report.fail(std::string(what) +
                     " gave -1: the query failed, or the host answered -1");
}

// Lists `count` records through `get`, stopping at the first failure.
template <typename Get>
int list_records(Report& report, std::int32_t count, const char* key,
                 const std::vector<const char*>& record, Get get) {
  std::vector<Fields> items;
  for (std::int32_t index = 0; index < count; ++index) {
    HostCall call(report);
    call.set_record(record);
    Fields fields;
    std::uint32_t status = get(index, &fields);
    if (status != ORVEKPORT_OK) {
      report.add_list(key, items);
      report.note("at index " + std::to_string(index) + " of " +
                  std::to_string(count));
      return call.finish(status);
    }
    items.push_back(std::move(fields));
  }
  report.add_list(key, items);
  return report.finish(ORVEKPORT_OK);
}

// "get INDEX": reads one record through `get`; `too_long` says what a
// record refused with E_TOO_LONG needs.
template <typename Get>
int get_record(const Command& self, Report& report, Arguments& args,
               const std::vector<const char*>& record, Get get,
               const std::string& too_long) {
  if (!args.finish(1, 1)) return report.refuse(args.problem(), self.usage);
  std::int32_t index = 0;
  std::string problem;
  if (!int_at(args, 0, &index, &problem))
    return report.refuse(problem, self.usage);
  if (int exit_code = refuse_to_start(report); exit_code != 0)
    return exit_code;
  HostCall call(report);
  call.set_record(record);
  Fields fields;
  std::uint32_t status = get(index, &fields);
  add_fields(report, std::move(fields));
  if (status == ORVEKPORT_E_TOO_LONG) report.note(too_long);
  return call.finish(status);
}

int run_waypoint(std::span<const std::string> arguments) {
  const Command& self = kCommands[kWaypoint];
  if (arguments.empty())
    return Report(self.name).refuse("add, delete, count, get, list, import or export expected",
                                    self.usage);
  const std::string& action = arguments[0];
  Report report(std::string(self.name) + " " + action);
  Arguments args(arguments.subspan(1));

  if (action == "add") return waypoint_add(self, report, args);
  if (action == "delete") {
    if (!args.finish(1, 1)) return report.refuse(args.problem(), self.usage);
    std::string problem;
    std::optional<std::string> id = to_host(args[0], "ID", &problem);
    if (!id) return report.refuse(problem);
    if (int exit_code = ensure_host_link(report); exit_code != 0)
      return exit_code;
    HostCall call(report);
    call.set_limit({"ID", id->size(), kMaxWaypointBody});
    return call.finish(OrvekGPSPort_Delete_Waypoint(id->c_str()));
  }
  if (action == "count" || action == "list") {
    if (!args.finish(0, 0)) return report.refuse(args.problem(), self.usage);
    if (int exit_code = refuse_to_start(report); exit_code != 0)
      return exit_code;
    std::int32_t count = 0;
    HostCall call(report);
    std::uint32_t status = OrvekGPSPort_Get_WaypointCount(&count);
    if (status != ORVEKPORT_OK) return call.finish(status);
    if (action == "count") {
      report.add_bare(integer_field("count", count));
      return call.finish(status);
    }
    return list_records(report, count, "waypoints", kWaypointRecord,
                        get_waypoint);
  }
  if (action == "import") return waypoint_import(report, args, self.usage);
  if (action == "export") return waypoint_export(report, args, self.usage);
  if (action == "get")
    return get_record(self, report, args, kWaypointRecord, get_waypoint,
                      "a field of the host's record passes " +
                          std::to_string(kMaxWaypointText) + " bytes");
  return report.refuse("add, delete, count, get, list, import or export expected", self.usage);
}

int run_mobiles(std::span<const std::string> arguments) {
  const Command& self = kCommands[kMobiles];
  if (arguments.empty())
    return Report(self.name).refuse("count, get, list or export expected", self.usage);
  const std::string& action = arguments[0];
  Report report(std::string(self.name) + " " + action);
  Arguments args(arguments.subspan(1));
  std::int64_t text_size = kDefaultTextSize;
  if (const char* size_text = args.take_option("text-size");
      size_text && !parse_integer(size_text, 0, kMaxTextSize, &text_size))
    return report.refuse("--text-size needs a number from 0 to 1048576",
                         self.usage);

  if (action == "count" || action == "list") {
    if (!args.finish(0, 0)) return report.refuse(args.problem(), self.usage);
    if (int exit_code = refuse_to_start(report); exit_code != 0)
      return exit_code;
    HostCall call(report);
    std::int32_t count = OrvekGPSPort_GetMovingMapCount();
    if (count == -1)
      return count_failed(report, call, "OrvekGPSPort_GetMovingMapCount");
    if (action == "count") {
      report.add_bare(integer_field("count", count));
      return report.finish(ORVEKPORT_OK);
    }
    return list_records(report, count, "mobiles", kMobileRecord,
                        [&](std::int32_t index, Fields* fields) {
                          return get_mobile(index, text_size, fields);
                        });
  }
  if (action == "export")
    return mobiles_export(report, args, self.usage, text_size);
  if (action == "get")
    return get_record(
        self, report, args, kMobileRecord,
        [&](std::int32_t index, Fields* fields) {
          return get_mobile(index, text_size, fields);
        },
        "a text field needs more than " +
            std::to_string(text_size > 0 ? text_size - 1 : 0) +
            " bytes: give a larger --text-size");
  return report.refuse("count, get, list or export expected", self.usage);
}

}  // namespace

std::span<const Command> waypoint_commands() { return kCommands; }

}  // namespace orvek::cli
