// Commands of the position fix and the map view. Commands that send a
// letter need a host link found in this process, so they run
// OrvekGPSPort_Init first; moving-map-init finds the host itself.
#include <cmath>
#include <cstdio>
#include <string>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/poll.h"
#include "tools/common/win_text.h"
#include "tools/orvekport/arguments.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/host_side.h"
#include "tools/orvekport/report.h"

namespace orvek::cli {
namespace {

// A command body passed through may use the whole request line after its
// letter and bar, as may the position sentence with its CR LF.
constexpr std::size_t kMaxBody = ORVEKPORT_COMMAND_BODY_MAX;
constexpr std::size_t kMaxFormattedBody = ORVEKPORT_FORMATTED_BODY_MAX;
constexpr std::size_t kMaxRealText = ORVEKPORT_EXTRA_REAL_TEXT_MAX;
// How long an exported picture may take to appear after the answer.
constexpr DWORD kExportWaitMs = 2000;

int run_newpoint(std::span<const std::string> arguments);
int run_center(std::span<const std::string> arguments);
int run_center_waypoint(std::span<const std::string> arguments);
int run_viewport(std::span<const std::string> arguments);
int run_exec(std::span<const std::string> arguments);
int run_open(std::span<const std::string> arguments);
int run_export_view(std::span<const std::string> arguments);
int run_delete_mobile(std::span<const std::string> arguments);
int run_moving_map_init(std::span<const std::string> arguments);

enum CommandIndex {
  kNewPoint,
  kCenter,
  kCenterWaypoint,
  kViewport,
  kExec,
  kOpen,
  kExportView,
  kDeleteMobile,
  kMovingMapInit,
};

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
     run_newpoint},
    {"center", "center LONGITUDE LATITUDE SCALE",
     "Centres the map on a coordinate: O|LONGITUDE,LATITUDE,SCALE with six\n"
     "decimals each (OrvekGPSPort_CenterCoordinate). Degrees east and north\n"
     "are positive; SCALE's unit is the host's (the emulator: metres per\n"
     "pixel, 0 or less fits the map to what it shows).",
     run_center},
    {"center-waypoint", "center-waypoint WAYPOINT_ID SCALE",
     "Centres the map on a waypoint: L|WAYPOINT_ID,SCALE\n"
     "(OrvekGPSPort_CenterWaypoint). SCALE as for center.",
     run_center_waypoint},
    {"viewport", "viewport WIDTH HEIGHT",
     "Sets the viewport's size: K|WIDTH,HEIGHT (OrvekGPSPort_SetViewportLen).\n"
     "The unit is the host's (the emulator: pixels, 64 to 4096).",
     run_viewport},
    {"exec", "exec COMMAND",
     "Runs host command number COMMAND: I|COMMAND (OrvekGPSPort_ExecCommand).",
     run_exec},
    {"open", "open FILE",
     "Has the host open FILE: D|FILE (OrvekGPSPort_OpenFile).", run_open},
    {"export-view", "export-view FILE",
     "Has the host export its view to FILE: J|FILE\n"
     "(OrvekGPSPort_ExportViewFile).",
     run_export_view},
    {"delete-mobile", "delete-mobile NAME",
     "Deletes the mobile NAME: H|NAME (OrvekGPSPort_DeleteMobile).",
     run_delete_mobile},
    {"moving-map-init", "moving-map-init",
     "Posts the moving-map init message (wParam 2) to the host window; no\n"
     "packet, no answer (OrvekGPSPort_MovingMapInit). Finds or starts the\n"
     "host first.",
     run_moving_map_init},
};

bool real_at(const Arguments& args, std::size_t i, double* value,
             std::string* problem) {
  if (parse_real(args[i], value)) return true;
  *problem = std::string("not a finite number: ") + args[i];
  return false;
}

int run_newpoint(std::span<const std::string> arguments) {
  const Command& self = kCommands[kNewPoint];
  Report report(self.name);
  Arguments args(arguments);
  const char* altitude_text = args.take_option("altitude");
  // --text1 and --text2: the two texts by their place in the sentence.
  const char* name_text = args.take_option("name");
  if (name_text == nullptr) name_text = args.take_option("text1");
  const char* description_text = args.take_option("description");
  if (description_text == nullptr) description_text = args.take_option("text2");
  const char* real_text = args.take_option("real");
  const char* int_text = args.take_option("int");
  if (!args.finish(2, 2)) return report.refuse(args.problem(), self.usage);

  std::string problem;
  double longitude = 0, latitude = 0, altitude = 0, real = 0;
  std::int64_t integer = 0;
  if (!real_at(args, 0, &longitude, &problem) ||
      !real_at(args, 1, &latitude, &problem))
    return report.refuse(problem, self.usage);
  if ((altitude_text && !parse_real(altitude_text, &altitude)) ||
      (real_text && !parse_real(real_text, &real)))
    return report.refuse("--altitude and --real need finite numbers",
                         self.usage);
  if (int_text && !parse_integer(int_text, INT32_MIN, INT32_MAX, &integer))
    return report.refuse("--int needs a 32-bit integer", self.usage);
  if (std::string why = off_globe(longitude, latitude);
      !why.empty() && !global_options().force)
    return report.refuse(why);
  std::optional<std::string> name = to_host(
      name_text ? name_text : "", "the name (--name, --text1)", &problem);
  std::optional<std::string> description =
      name ? to_host(description_text ? description_text : "",
                     "the description (--description, --text2)", &problem)
           : std::nullopt;
  if (!name || !description) return report.refuse(problem);

  if (int exit_code = ensure_host_link(report); exit_code != 0)
    return exit_code;
  HostCall call(report);
  std::size_t real_length = fixed_length(real);
  if (real_length > kMaxRealText)
    call.set_limit({"--real written as \"%f\"", real_length, kMaxRealText});
  else
    call.set_limit({"the position sentence with its CR LF (the name and "
                    "description take " +
                        std::to_string(name->size() + description->size()) +
                        " bytes of it)",
                    std::nullopt, kMaxBody});
  return call.finish(OrvekGPSPort_NewPoint(
      longitude, latitude, altitude, name->c_str(), description->c_str(), real,
      static_cast<std::int32_t>(integer)));
}

int run_center(std::span<const std::string> arguments) {
  const Command& self = kCommands[kCenter];
  Report report(self.name);
  Arguments args(arguments);
  if (!args.finish(3, 3)) return report.refuse(args.problem(), self.usage);
  std::string problem;
  double values[3];
  for (std::size_t i = 0; i < 3; ++i)
    if (!real_at(args, i, &values[i], &problem))
      return report.refuse(problem, self.usage);
  if (std::string why = off_globe(values[0], values[1]);
      !why.empty() && !global_options().force)
    return report.refuse(why);
  if (int exit_code = ensure_host_link(report); exit_code != 0)
    return exit_code;
  HostCall call(report);
  call.set_limit({"the body \"%f,%f,%f\"",
                  fixed_length(values[0]) + fixed_length(values[1]) +
                      fixed_length(values[2]) + 2,
                  kMaxFormattedBody});
  return call.finish(
      OrvekGPSPort_CenterCoordinate(values[0], values[1], values[2]));
}

int run_center_waypoint(std::span<const std::string> arguments) {
  const Command& self = kCommands[kCenterWaypoint];
  Report report(self.name);
  Arguments args(arguments);
  if (!args.finish(2, 2)) return report.refuse(args.problem(), self.usage);
  std::string problem;
  double scale = 0;
  if (!real_at(args, 1, &scale, &problem))
    return report.refuse(problem, self.usage);
  std::optional<std::string> waypoint =
      to_host(args[0], "WAYPOINT_ID", &problem);
  if (!waypoint) return report.refuse(problem);
  if (int exit_code = ensure_host_link(report); exit_code != 0)
    return exit_code;
  HostCall call(report);
  call.set_limit({"the body \"WAYPOINT_ID,%f\"",
                  waypoint->size() + 1 + fixed_length(scale),
                  kMaxFormattedBody});
  return call.finish(OrvekGPSPort_CenterWaypoint(waypoint->c_str(), scale));
}

int run_viewport(std::span<const std::string> arguments) {
  const Command& self = kCommands[kViewport];
  Report report(self.name);
  Arguments args(arguments);
  if (!args.finish(2, 2)) return report.refuse(args.problem(), self.usage);
  std::string problem;
  std::int32_t width = 0, height = 0;
  if (!int_at(args, 0, &width, &problem) || !int_at(args, 1, &height, &problem))
    return report.refuse(problem, self.usage);
  if ((width <= 0 || height <= 0) && !global_options().force)
    return report.refuse(
        "viewport lengths must be above 0 (a zero length shows nothing); "
        "--force sends them all the same");
  if (int exit_code = ensure_host_link(report); exit_code != 0)
    return exit_code;
  HostCall call(report);
  return call.finish(OrvekGPSPort_SetViewportLen(width, height));
}

int run_exec(std::span<const std::string> arguments) {
  const Command& self = kCommands[kExec];
  Report report(self.name);
  Arguments args(arguments);
  if (!args.finish(1, 1)) return report.refuse(args.problem(), self.usage);
  std::string problem;
  std::int32_t command = 0;
  if (!int_at(args, 0, &command, &problem))
    return report.refuse(problem, self.usage);
  if (int exit_code = ensure_host_link(report); exit_code != 0)
    return exit_code;
  HostCall call(report);
  return call.finish(OrvekGPSPort_ExecCommand(command));
}

// The commands whose one argument is sent unchanged as the body.
int run_text_command(const Command& self,
                     std::span<const std::string> arguments, const char* what,
                     std::uint32_t(ORVEKPORT_CALL* send)(const char*)) {
  Report report(self.name);
  Arguments args(arguments);
  if (!args.finish(1, 1)) return report.refuse(args.problem(), self.usage);
  std::string problem;
  std::optional<std::string> text = to_host(args[0], what, &problem);
  if (!text) return report.refuse(problem);
  if (int exit_code = ensure_host_link(report); exit_code != 0)
    return exit_code;
  HostCall call(report);
  call.set_limit({what, text->size(), kMaxBody});
  return call.finish(send(text->c_str()));
}

int run_open(std::span<const std::string> arguments) {
  return run_text_command(kCommands[kOpen], arguments, "FILE",
                          OrvekGPSPort_OpenFile);
}
// Where the host puts FILE: a relative name lands beside the host.
std::wstring exported_path(const std::string& file) {
  std::wstring name = tools::widen(CP_UTF8, file);
  bool absolute = (name.size() > 1 && name[1] == L':') ||
                  (!name.empty() && (name[0] == L'\\' || name[0] == L'/'));
  std::optional<std::wstring> host = registered_host_path();
  if (absolute || !host) return name;
  return folder_of(*host) + L"\\" + name;
}

// The file's last write time, or nothing when it is not there.
std::optional<std::uint64_t> written_at(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
    return std::nullopt;
  return (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

int run_export_view(std::span<const std::string> arguments) {
  const Command& self = kCommands[kExportView];
  Report report(self.name);
  Arguments args(arguments);
  if (!args.finish(1, 1)) return report.refuse(args.problem(), self.usage);
  std::string problem;
  std::optional<std::string> text = to_host(args[0], "FILE", &problem);
  if (!text) return report.refuse(problem);
  if (int exit_code = ensure_host_link(report); exit_code != 0)
    return exit_code;
  std::wstring path = exported_path(args[0]);
  std::optional<std::uint64_t> before = written_at(path);
  HostCall call(report);
  call.set_limit({"FILE", text->size(), kMaxBody});
  std::uint32_t status = OrvekGPSPort_ExportViewFile(text->c_str());
  if (status == ORVEKPORT_OK) {
    // A host may answer before it has written the picture.
    bool written = tools::poll_until(
        [&] {
          std::optional<std::uint64_t> now = written_at(path);
          return now && (!before || *now != *before);
        },
        kExportWaitMs);
    report.add(text_field("file", utf8(path)));
    if (std::optional<std::string> unix_path = unix_file_name(path))
      report.add(text_field("unix_file", *unix_path));
    if (!written)
      report.note("the host answered, but '" + utf8(path) + "' " +
                  (before ? "was not rewritten" : "did not appear") +
                  " within " + std::to_string(kExportWaitMs / 1000) + " s");
  }
  return call.finish(status);
}
int run_delete_mobile(std::span<const std::string> arguments) {
  return run_text_command(kCommands[kDeleteMobile], arguments, "NAME",
                          OrvekGPSPort_DeleteMobile);
}

int run_moving_map_init(std::span<const std::string> arguments) {
  const Command& self = kCommands[kMovingMapInit];
  Report report(self.name);
  Arguments args(arguments);
  if (!args.finish(0, 0)) return report.refuse(args.problem(), self.usage);
  if (int exit_code = refuse_to_start(report); exit_code != 0) return exit_code;
  HostCall call(report);
  return call.finish(OrvekGPSPort_MovingMapInit());
}

}  // namespace

std::span<const Command> map_commands() { return kCommands; }

}  // namespace orvek::cli
