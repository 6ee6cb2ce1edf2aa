// Commands of the position fix and the map view. Commands that send a
// letter need a host link found in this process, so they run
// OrvekGPSPort_Init first; moving-map-init finds the host itself.
#include <cmath>
#include <string>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/orvekport/advice.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/run.h"

namespace orvek::cli {
namespace {

// A command body passed through may use the whole request line after its
// letter and bar, as may the position sentence with its CR LF.
constexpr std::size_t kMaxBody = ORVEKPORT_COMMAND_BODY_MAX;
constexpr std::size_t kMaxFormattedBody = ORVEKPORT_FORMATTED_BODY_MAX;
constexpr std::size_t kMaxRealText = ORVEKPORT_EXTRA_REAL_TEXT_MAX;
// How long an exported picture may take to appear after the answer.
constexpr std::uint32_t kExportWaitMs = 2000;

int run_newpoint(Run& run) {
  // --text1 and --text2: the two texts by their place in the sentence.
  const char* name_text = run.option("name");
  if (name_text == nullptr) name_text = run.option("text1");
  const char* description_text = run.option("description");
  if (description_text == nullptr) description_text = run.option("text2");
  const char* altitude_text = run.option("altitude");
  const char* real_text = run.option("real");
  const char* int_text = run.option("int");

  int refused = 0;
  double longitude = 0, latitude = 0, altitude = 0, real = 0;
  std::int64_t integer = 0;
  if (!run.real_at(0, &longitude, &refused) ||
      !run.real_at(1, &latitude, &refused))
    return refused;
  if ((altitude_text && !tools::parse_real(altitude_text, &altitude)) ||
      (real_text && !tools::parse_real(real_text, &real)))
    return run.refuse_usage("--altitude and --real need finite numbers");
  if (int_text &&
      !tools::parse_integer(int_text, INT32_MIN, INT32_MAX, &integer))
    return run.refuse_usage("--int needs a 32-bit integer");
  if (std::string why = off_globe(longitude, latitude);
      !why.empty() && !run.options.force)
    return run.refuse(why);
  std::optional<std::string> name = run.for_host(
      name_text ? name_text : "", "the name (--name, --text1)", &refused);
  if (!name) return refused;
  std::optional<std::string> description =
      run.for_host(description_text ? description_text : "",
                   "the description (--description, --text2)", &refused);
  if (!description) return refused;

  std::size_t real_length = fixed_length(real);
  Limit limit =
      real_length > kMaxRealText
          ? Limit{"--real written as \"%f\"", real_length, kMaxRealText}
          : Limit{"the position sentence with its CR LF (the name and "
                  "description take " +
                      std::to_string(name->size() + description->size()) +
                      " bytes of it)",
                  std::nullopt, kMaxBody};
  return run.call({limit, {}}, [&] {
    return run.library.NewPoint(longitude, latitude, altitude, name->c_str(),
                                description->c_str(), real,
                                static_cast<std::int32_t>(integer));
  });
}

int run_center(Run& run) {
  int refused = 0;
  double values[3];
  for (std::size_t i = 0; i < 3; ++i)
    if (!run.real_at(i, &values[i], &refused)) return refused;
  if (std::string why = off_globe(values[0], values[1]);
      !why.empty() && !run.options.force)
    return run.refuse(why);
  Limit limit{"the body \"%f,%f,%f\"",
              fixed_length(values[0]) + fixed_length(values[1]) +
                  fixed_length(values[2]) + 2,
              kMaxFormattedBody};
  return run.call({limit, {}}, [&] {
    return run.library.CenterCoordinate(values[0], values[1], values[2]);
  });
}

int run_center_waypoint(Run& run) {
  int refused = 0;
  double scale = 0;
  if (!run.real_at(1, &scale, &refused)) return refused;
  std::optional<std::string> waypoint =
      run.for_host(run[0], "WAYPOINT_ID", &refused);
  if (!waypoint) return refused;
  Limit limit{"the body \"WAYPOINT_ID,%f\"",
              waypoint->size() + 1 + fixed_length(scale), kMaxFormattedBody};
  return run.call({limit, {}}, [&] {
    return run.library.CenterWaypoint(waypoint->c_str(), scale);
  });
}

int run_viewport(Run& run) {
  int refused = 0;
  std::int32_t width = 0, height = 0;
  if (!run.int_at(0, &width, &refused) || !run.int_at(1, &height, &refused))
    return refused;
  if ((width <= 0 || height <= 0) && !run.options.force)
    return run.refuse(
        "viewport lengths must be above 0 (a zero length shows nothing); "
        "--force sends them all the same");
  return run.call({}, [&] { return run.library.SetViewportLen(width, height); });
}

int run_exec(Run& run) {
  int refused = 0;
  std::int32_t command = 0;
  if (!run.int_at(0, &command, &refused)) return refused;
  return run.call({}, [&] { return run.library.ExecCommand(command); });
}

// The commands whose one argument is sent unchanged as the body.
template <std::uint32_t (Library::*Send)(const char*)>
int run_text_command(Run& run, const char* what) {
  int refused = 0;
  std::optional<std::string> text = run.for_host(run[0], what, &refused);
  if (!text) return refused;
  return run.call({Limit{what, text->size(), kMaxBody}, {}},
                  [&] { return (run.library.*Send)(text->c_str()); });
}

int run_open(Run& run) {
  return run_text_command<&Library::OpenFile>(run, "FILE");
}
int run_delete_mobile(Run& run) {
  return run_text_command<&Library::DeleteMobile>(run, "NAME");
}

// Where the host puts FILE: a relative name lands beside the host.
std::string exported_path(Run& run, const std::string& file) {
  bool absolute = (file.size() > 1 && file[1] == ':') ||
                  (!file.empty() && (file[0] == '\\' || file[0] == '/'));
  std::optional<std::string> host = run.system.host_path();
  if (absolute || !host) return file;
  return folder_of(*host) + "\\" + file;
}

int run_export_view(Run& run) {
  int refused = 0;
  std::optional<std::string> text = run.for_host(run[0], "FILE", &refused);
  if (!text) return refused;
  if (int exit_code = run.prepare_host(); exit_code != 0) return exit_code;
  std::string path = exported_path(run, run[0]);
  std::optional<std::uint64_t> before = run.system.written_at(path);
  PacketWatch watch = run.watch();
  std::uint32_t status = run.library.ExportViewFile(text->c_str());
  if (status == ORVEKPORT_OK) {
    // A host may answer before it has written the picture.
    bool appeared = poll_until(
        run.system,
        [&] {
          std::optional<std::uint64_t> now = run.system.written_at(path);
          return now && (!before || *now != *before);
        },
        kExportWaitMs);
    run.report.add(text_field("file", path));
    if (std::optional<std::string> unix_path = run.system.unix_file_name(path))
      run.report.add(text_field("unix_file", *unix_path));
    if (!appeared)
      run.report.note("the host answered, but '" + path + "' " +
                      (before ? "was not rewritten" : "did not appear") +
                      " within " + std::to_string(kExportWaitMs / 1000) + " s");
  }
  return run.finish(watch, status, {Limit{"FILE", text->size(), kMaxBody}, {}});
}

int run_moving_map_init(Run& run) {
  return run.call({}, [&] { return run.library.MovingMapInit(); });
}

constexpr Option kNewPointOptions[] = {
    {"altitude", true}, {"name", true},  {"text1", true}, {"description", true},
    {"text2", true},    {"real", true},  {"int", true}};


constexpr Command kCommands[] = {
    {"newpoint",
     "newpoint LONGITUDE LATITUDE [--altitude M] [--name T] [--description T] "
     "[--real X] [--int N]",
     "Sends one position fix, the $AAGGAM sentence, as command E\n"
     "(OrvekGPSPort_NewPoint). Degrees east and north are positive; the\n"
     "altitude (default 0) is truncated to whole metres. The name and\n"
     "description (or --text1 and --text2), X and N fill fields 17 to 20\n"
     "(default empty, empty, 0, 0); the emulator takes the name as a\n"
     "mobile's.\n"
     "With --show the sentence sent is printed (CR LF shown as \\r\\n).",
     {nullptr, 2, 2, kNewPointOptions, HostNeed::kLink, run_newpoint}},
    {"center", "center LONGITUDE LATITUDE SCALE",
     "Centres the map on a coordinate: O|LONGITUDE,LATITUDE,SCALE with six\n"
     "decimals each (OrvekGPSPort_CenterCoordinate). Degrees east and north\n"
     "are positive; SCALE's unit is the host's (the emulator: metres per\n"
     "pixel, 0 or less fits the map to what it shows).",
     {nullptr, 3, 3, {}, HostNeed::kLink, run_center}},
    {"center-waypoint", "center-waypoint WAYPOINT_ID SCALE",
     "Centres the map on a waypoint: L|WAYPOINT_ID,SCALE\n"
     "(OrvekGPSPort_CenterWaypoint). SCALE as for center.",
     {nullptr, 2, 2, {}, HostNeed::kLink, run_center_waypoint}},
    {"viewport", "viewport WIDTH HEIGHT",
     "Sets the viewport's size: K|WIDTH,HEIGHT (OrvekGPSPort_SetViewportLen).\n"
     "The unit is the host's (the emulator: pixels, 64 to 4096).",
     {nullptr, 2, 2, {}, HostNeed::kLink, run_viewport}},
    {"exec", "exec COMMAND",
     "Runs host command number COMMAND: I|COMMAND (OrvekGPSPort_ExecCommand).",
     {nullptr, 1, 1, {}, HostNeed::kLink, run_exec}},
    {"open", "open FILE",
     "Has the host open FILE: D|FILE (OrvekGPSPort_OpenFile).",
     {nullptr, 1, 1, {}, HostNeed::kLink, run_open}},
    {"export-view", "export-view FILE",
     "Has the host export its view to FILE: J|FILE\n"
     "(OrvekGPSPort_ExportViewFile).",
     {nullptr, 1, 1, {}, HostNeed::kLink, run_export_view}},
    {"delete-mobile", "delete-mobile NAME",
     "Deletes the mobile NAME: H|NAME (OrvekGPSPort_DeleteMobile).",
     {nullptr, 1, 1, {}, HostNeed::kLink, run_delete_mobile}},
    {"moving-map-init", "moving-map-init",
     "Posts the moving-map init message (wParam 2) to the host window; no\n"
     "packet, no answer (OrvekGPSPort_MovingMapInit). Finds or starts the\n"
     "host first.",
     {nullptr, 0, 0, {}, HostNeed::kWindow, run_moving_map_init}},
};

}  // namespace

std::span<const Command> map_commands() { return kCommands; }

}  // namespace orvek::cli
