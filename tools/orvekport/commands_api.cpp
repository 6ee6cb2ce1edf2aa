// Commands of the map control API: the position fix, the map and view
// commands, waypoints and moving-map entries. Commands that send a letter
// need a host link found in this process, so they run OrvekGPSPort_Init
// first (unless --no-init); queries and moving-map-init find the host
// themselves.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "api/position_sentence.h"
#include "tools/orvekport/arguments.h"
#include "tools/orvekport/command.h"

namespace orvekport_cli {
namespace {

// The moving-map record's text buffers unless --text-size says otherwise.
constexpr std::int64_t kDefaultTextSize = 256;
constexpr std::int64_t kMaxTextSize = 1 << 20;

int run_newpoint(int argc, char** argv);
int run_center(int argc, char** argv);
int run_center_waypoint(int argc, char** argv);
int run_viewport(int argc, char** argv);
int run_exec(int argc, char** argv);
int run_open(int argc, char** argv);
int run_export_view(int argc, char** argv);
int run_delete_mobile(int argc, char** argv);
int run_waypoint(int argc, char** argv);
int run_mobiles(int argc, char** argv);
int run_moving_map_init(int argc, char** argv);

constexpr Command kCommands[] = {
    {"newpoint",
     "newpoint LONGITUDE LATITUDE [--altitude M] [--text1 T] [--text2 T] "
     "[--real X] [--int N] [--show]",
     "Sends one position fix, the $AAGGAM sentence, as command E\n"
     "(OrvekGPSPort_NewPoint). Degrees east and north are positive; the\n"
     "altitude (default 0) is truncated to whole metres. TEXT1, TEXT2, X and\n"
     "N fill fields 17 to 20 (default empty, empty, 0, 0); the emulator takes\n"
     "TEXT1 as the name of a mobile and TEXT2 as its description.\n"
     "--show: print the sentence first (CR LF shown as \\r\\n).",
     run_newpoint},
    {"center", "center VALUE1 VALUE2 VALUE3",
     "Centres the map on a coordinate: O|VALUE1,VALUE2,VALUE3 with six\n"
     "decimals each (OrvekGPSPort_CenterCoordinate).",
     run_center},
    {"center-waypoint", "center-waypoint WAYPOINT VALUE",
     "Centres the map on a waypoint: L|WAYPOINT,VALUE\n"
     "(OrvekGPSPort_CenterWaypoint).",
     run_center_waypoint},
    {"viewport", "viewport LEN1 LEN2",
     "Sets the viewport's lengths: K|LEN1,LEN2 (OrvekGPSPort_SetViewportLen).",
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
    {"waypoint",
     "waypoint add ID TEXT VALUE1 VALUE2 VALUE3 ICON | delete ID | count | "
     "get INDEX",
     "Waypoints. add: M|ID,TEXT,VALUE1,VALUE2,VALUE3,ICON\n"
     "(OrvekGPSPort_New_Waypoint); delete: N|ID\n"
     "(OrvekGPSPort_Delete_Waypoint); count: query 4\n"
     "(OrvekGPSPort_Get_WaypointCount); get: query 2,INDEX, printed one field\n"
     "a line (OrvekGPSPort_Get_Waypoint).",
     run_waypoint},
    {"mobiles", "mobiles count | get INDEX [--text-size N]",
     "Moving-map entries. count: query 2 (OrvekGPSPort_GetMovingMapCount),\n"
     "exit code 1 when it gives -1; get: query 3,INDEX, the position record\n"
     "printed one field a line (OrvekGPSPort_GetMovingMapPosition) with text\n"
     "buffers of N bytes (default 256).",
     run_mobiles},
    {"moving-map-init", "moving-map-init",
     "Posts the moving-map init message (wParam 2) to the host window; no\n"
     "packet, no answer (OrvekGPSPort_MovingMapInit). Finds or starts the\n"
     "host first.",
     run_moving_map_init},
};

enum CommandIndex {
  kNewPoint, kCenter, kCenterWaypoint, kViewport, kExec, kOpen, kExportView,
  kDeleteMobile, kWaypoint, kMobiles, kMovingMapInit,
};

// The shortest text that reads back as the same double: "41.5", "1e+300".
std::string shortest(double value) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof(text), value);
  return std::string(text, result.ptr);
}

// Sentence bytes with CR and LF spelt out, for --show.
std::string visible(const char* text) {
  std::string shown;
  for (const char* c = text; *c; ++c) {
    if (*c == '\r') shown += "\\r";
    else if (*c == '\n') shown += "\\n";
    else shown += *c;
  }
  return shown;
}

// Reads positional `i` as a finite real or a 32-bit integer; false after a
// usage error was printed into *exit_code.
bool real_at(const Arguments& args, std::size_t i, const Command& self,
             double* value, int* exit_code) {
  if (parse_real(args[i], value)) return true;
  std::string problem = std::string("not a finite number: ") + args[i];
  *exit_code = usage_error(self, problem.c_str());
  return false;
}
bool int_at(const Arguments& args, std::size_t i, const Command& self,
            std::int32_t* value, int* exit_code) {
  std::int64_t parsed = 0;
  if (parse_integer(args[i], INT32_MIN, INT32_MAX, &parsed)) {
    *value = static_cast<std::int32_t>(parsed);
    return true;
  }
  std::string problem = std::string("not a 32-bit integer: ") + args[i];
  *exit_code = usage_error(self, problem.c_str());
  return false;
}

int run_newpoint(int argc, char** argv) {
  const Command& self = kCommands[kNewPoint];
  Arguments args(argc, argv);
  const char* altitude_text = args.take_option("altitude");
  const char* text1 = args.take_option("text1");
  const char* text2 = args.take_option("text2");
  const char* real_text = args.take_option("real");
  const char* int_text = args.take_option("int");
  bool show = args.take_flag("show");
  if (!args.finish(2, 2)) return usage_error(self, args.problem().c_str());

  int exit_code = 0;
  double longitude = 0, latitude = 0, altitude = 0, real = 0;
  std::int32_t integer = 0;
  if (!real_at(args, 0, self, &longitude, &exit_code) ||
      !real_at(args, 1, self, &latitude, &exit_code))
    return exit_code;
  if ((altitude_text && !parse_real(altitude_text, &altitude)) ||
      (real_text && !parse_real(real_text, &real)))
    return usage_error(self, "--altitude and --real need finite numbers");
  std::int64_t parsed_int = 0;
  if (int_text) {
    if (!parse_integer(int_text, INT32_MIN, INT32_MAX, &parsed_int))
      return usage_error(self, "--int needs a 32-bit integer");
    integer = static_cast<std::int32_t>(parsed_int);
  }
  if (!text1) text1 = "";
  if (!text2) text2 = "";

  if (show) {
    char sentence[orvek::api::kMaxSentence + 1];
    if (orvek::api::BuildPositionSentence(longitude, latitude, altitude, text1,
                                          text2, real, integer,
                                          sentence) == ORVEKPORT_OK)
      std::printf("E|%s\n", visible(sentence).c_str());
  }
  if (int status = ensure_host_link(); status != 0) return status;
  return report_status(OrvekGPSPort_NewPoint(longitude, latitude, altitude,
                                             text1, text2, real, integer));
}

int run_center(int argc, char** argv) {
  const Command& self = kCommands[kCenter];
  Arguments args(argc, argv);
  if (!args.finish(3, 3)) return usage_error(self, args.problem().c_str());
  int exit_code = 0;
  double values[3];
  for (std::size_t i = 0; i < 3; ++i)
    if (!real_at(args, i, self, &values[i], &exit_code)) return exit_code;
  if (int status = ensure_host_link(); status != 0) return status;
  return report_status(
      OrvekGPSPort_CenterCoordinate(values[0], values[1], values[2]));
}

int run_center_waypoint(int argc, char** argv) {
  const Command& self = kCommands[kCenterWaypoint];
  Arguments args(argc, argv);
  if (!args.finish(2, 2)) return usage_error(self, args.problem().c_str());
  int exit_code = 0;
  double value = 0;
  if (!real_at(args, 1, self, &value, &exit_code)) return exit_code;
  if (int status = ensure_host_link(); status != 0) return status;
  return report_status(OrvekGPSPort_CenterWaypoint(args[0], value));
}

int run_viewport(int argc, char** argv) {
  const Command& self = kCommands[kViewport];
  Arguments args(argc, argv);
  if (!args.finish(2, 2)) return usage_error(self, args.problem().c_str());
  int exit_code = 0;
  std::int32_t len1 = 0, len2 = 0;
  if (!int_at(args, 0, self, &len1, &exit_code) ||
      !int_at(args, 1, self, &len2, &exit_code))
    return exit_code;
  if (int status = ensure_host_link(); status != 0) return status;
  return report_status(OrvekGPSPort_SetViewportLen(len1, len2));
}

int run_exec(int argc, char** argv) {
  const Command& self = kCommands[kExec];
  Arguments args(argc, argv);
  if (!args.finish(1, 1)) return usage_error(self, args.problem().c_str());
  int exit_code = 0;
  std::int32_t command = 0;
  if (!int_at(args, 0, self, &command, &exit_code)) return exit_code;
  if (int status = ensure_host_link(); status != 0) return status;
  return report_status(OrvekGPSPort_ExecCommand(command));
}

// The commands whose one argument is sent unchanged.
int run_text_command(const Command& self, int argc, char** argv,
                     std::uint32_t(ORVEKPORT_CALL* send)(const char*)) {
  Arguments args(argc, argv);
  if (!args.finish(1, 1)) return usage_error(self, args.problem().c_str());
  if (int status = ensure_host_link(); status != 0) return status;
  return report_status(send(args[0]));
}

int run_open(int argc, char** argv) {
  return run_text_command(kCommands[kOpen], argc, argv, OrvekGPSPort_OpenFile);
}
int run_export_view(int argc, char** argv) {
  return run_text_command(kCommands[kExportView], argc, argv,
                          OrvekGPSPort_ExportViewFile);
}
int run_delete_mobile(int argc, char** argv) {
  return run_text_command(kCommands[kDeleteMobile], argc, argv,
                          OrvekGPSPort_DeleteMobile);
}

int run_waypoint(int argc, char** argv) {
  const Command& self = kCommands[kWaypoint];
  if (argc < 1) return usage_error(self, "add, delete, count or get expected");
  const char* action = argv[0];
  Arguments args(argc - 1, argv + 1);
  int exit_code = 0;

  if (std::strcmp(action, "add") == 0) {
    if (!args.finish(6, 6)) return usage_error(self, args.problem().c_str());
    double values[3];
    for (std::size_t i = 0; i < 3; ++i)
      if (!real_at(args, i + 2, self, &values[i], &exit_code)) return exit_code;
    if (int status = ensure_host_link(); status != 0) return status;
    return report_status(OrvekGPSPort_New_Waypoint(
        args[0], args[1], values[0], values[1], values[2], args[5]));
  }
  if (std::strcmp(action, "delete") == 0) {
    if (!args.finish(1, 1)) return usage_error(self, args.problem().c_str());
    if (int status = ensure_host_link(); status != 0) return status;
    return report_status(OrvekGPSPort_Delete_Waypoint(args[0]));
  }
  if (std::strcmp(action, "count") == 0) {
    if (!args.finish(0, 0)) return usage_error(self, args.problem().c_str());
    std::int32_t count = 0;
    std::uint32_t status = OrvekGPSPort_Get_WaypointCount(&count);
    if (status == ORVEKPORT_OK) std::printf("%d\n", static_cast<int>(count));
    return report_status(status);
  }
  if (std::strcmp(action, "get") == 0) {
    if (!args.finish(1, 1)) return usage_error(self, args.problem().c_str());
    std::int32_t index = 0;
    if (!int_at(args, 0, self, &index, &exit_code)) return exit_code;
    char id[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
    char text[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
    char icon[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
    double value1 = 0, value2 = 0, value3 = 0;
    std::uint32_t status = OrvekGPSPort_Get_Waypoint(index, id, text, &value1,
                                                     &value2, &value3, icon);
    if (status == ORVEKPORT_OK) {
      std::printf("id: %s\ntext: %s\nvalue1: %s\nvalue2: %s\nvalue3: %s\n"
                  "icon: %s\n",
                  id, text, shortest(value1).c_str(), shortest(value2).c_str(),
                  shortest(value3).c_str(), icon);
    }
    return report_status(status);
  }
  return usage_error(self, "add, delete, count or get expected");
}

int run_mobiles(int argc, char** argv) {
  const Command& self = kCommands[kMobiles];
  if (argc < 1) return usage_error(self, "count or get expected");
  const char* action = argv[0];
  Arguments args(argc - 1, argv + 1);

  if (std::strcmp(action, "count") == 0) {
    if (!args.finish(0, 0)) return usage_error(self, args.problem().c_str());
    std::int32_t count = OrvekGPSPort_GetMovingMapCount();
    std::printf("%d\n", static_cast<int>(count));
    if (count == -1) {
      std::fprintf(stderr, "the query failed (or the host answered -1)\n");
      return 1;
    }
    return 0;
  }
  if (std::strcmp(action, "get") == 0) {
    std::int64_t text_size = kDefaultTextSize;
    const char* size_text = args.take_option("text-size");
    if (size_text && !parse_integer(size_text, 0, kMaxTextSize, &text_size))
      return usage_error(self, "--text-size needs a number from 0 to 1048576");
    if (!args.finish(1, 1)) return usage_error(self, args.problem().c_str());
    int exit_code = 0;
    std::int32_t index = 0;
    if (!int_at(args, 0, self, &index, &exit_code)) return exit_code;
    // One byte more than told, so an empty buffer still prints as "".
    std::vector<char> text1(static_cast<std::size_t>(text_size) + 1, '\0');
    std::vector<char> text2(static_cast<std::size_t>(text_size) + 1, '\0');
    double value1 = 0, value2 = 0, value3 = 0;
    std::uint32_t status = OrvekGPSPort_GetMovingMapPosition(
        index, text1.data(), &value1, &value2, &value3,
        static_cast<std::uint32_t>(text_size), text2.data());
    if (status == ORVEKPORT_OK) {
      std::printf("value1: %s\nvalue2: %s\nvalue3: %s\ntext1: %s\ntext2: %s\n",
                  shortest(value1).c_str(), shortest(value2).c_str(),
                  shortest(value3).c_str(), text1.data(), text2.data());
    }
    return report_status(status);
  }
  return usage_error(self, "count or get expected");
}

int run_moving_map_init(int argc, char** argv) {
  const Command& self = kCommands[kMovingMapInit];
  Arguments args(argc, argv);
  if (!args.finish(0, 0)) return usage_error(self, args.problem().c_str());
  return report_status(OrvekGPSPort_MovingMapInit());
}

}  // namespace

std::span<const Command> api_commands() { return kCommands; }

}  // namespace orvekport_cli
