/*
 * orvek-demo: one walk through OrvekPORT.dll against the host application,
 * printing every step and its status. Plain C on purpose: it shows that the
 * public header is valid C, and it is the long form of the README's example.
 *
 * Exit code: 0 when every step succeeded, else the number of failed steps
 * (at most 100), or Init's status when no host link could be made.
 */
#include <fcntl.h>
#include <io.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/orvekport_status.h"

static int steps_run;
static int steps_failed;

/* Starts a step's line; report() ends it with the step's status. */
static void step(const char* format, ...) {
  char label[120];
  va_list args;
  va_start(args, format);
  vsnprintf(label, sizeof label, format, args);
  va_end(args);
  printf("  %-62s ", label);
}

/* Ends the step's line with "NAME (n)" and counts the outcome. */
static uint32_t report(uint32_t status) {
  ++steps_run;
  if (status != ORVEKPORT_OK) ++steps_failed;
  printf("%s (%u)\n", orvekport_status_name(status), (unsigned)status);
  return status;
}

static void heading(const char* title) { printf("\n== %s\n", title); }

/* UTF-16 to UTF-8 for the terminal; `out` holds `size` bytes. */
static const char* utf8(const wchar_t* text, char* out, int size) {
  if (WideCharToMultiByte(CP_UTF8, 0, text, -1, out, size, NULL, NULL) == 0)
    out[0] = '\0';
  return out;
}

/*
 * Six one-second fixes of a Garmin 15x receiver, copied from the GGA and RMC
 * sentences of garmin15x.log (the gpsd project's receiver logs, BSD-2-Clause):
 *   $GPGGA,113258,3238.9148,N,10822.4466,W,2,08,1.1,1577.4,M,-24.6,M,,*4D
 *   $GPRMC,113258,A,3238.9148,N,10822.4466,W,005.3,247.1,181022,009.3,E*6B
 * Positions are kept in the log's own ddmm.mmmm form.
 */
struct receiver_fix {
  const char* utc;
  double latitude_ddmm;
  char north_south;
  double longitude_dddmm;
  char east_west;
  double altitude_m;
  double speed_knots;
  int satellites;
};

static const struct receiver_fix kTrack[] = {
    {"113258", 3238.9148, 'N', 10822.4466, 'W', 1577.4, 5.3, 8},
    {"113259", 3238.9145, 'N', 10822.4482, 'W', 1577.9, 5.0, 8},
    {"113300", 3238.9141, 'N', 10822.4498, 'W', 1578.4, 5.0, 8},
    {"113301", 3238.9136, 'N', 10822.4514, 'W', 1578.8, 4.7, 8},
    {"113302", 3238.9133, 'N', 10822.4528, 'W', 1579.0, 4.1, 8},
    {"113303", 3238.9128, 'N', 10822.4543, 'W', 1579.1, 4.6, 8},
};
#define TRACK_LENGTH (sizeof kTrack / sizeof kTrack[0])

/* ddmm.mmmm and a hemisphere letter to signed decimal degrees. */
static double degrees(double ddmm, char hemisphere) {
  double whole = (double)(int)(ddmm / 100.0);
  double value = whole + (ddmm - whole * 100.0) / 60.0;
  return hemisphere == 'S' || hemisphere == 'W' ? -value : value;
}

/* The mobile that the track moves, named in field 17 of each sentence;
 * field 18 describes it, fields 19 and 20 carry the speed in knots and the
 * satellites in use. */
static const char kMobileName[] = "GARMIN15X";

/* Asks the emulator what it received last; the real host has no such
 * query, so a failure here is not counted. */
static void show_host_view(const char* query, const char* label) {
  char result[400];
  if (OrvekGPSPort_GetString(query, sizeof result, result) == ORVEKPORT_OK)
    printf("      host's %s: %s\n", label, result);
}

static void position_fixes(void) {
  size_t i;
  heading("Position fixes from a receiver log (OrvekGPSPort_NewPoint)");
  for (i = 0; i < TRACK_LENGTH; ++i) {
    const struct receiver_fix* fix = &kTrack[i];
    char description[32];
    double latitude = degrees(fix->latitude_ddmm, fix->north_south);
    double longitude = degrees(fix->longitude_dddmm, fix->east_west);
    step("%s UTC  lat %.6f  lon %.6f  alt %.1f m", fix->utc, latitude,
         longitude, fix->altitude_m);
    snprintf(description, sizeof description, "fix of %s UTC", fix->utc);
    report(OrvekGPSPort_NewPoint(longitude, latitude, fix->altitude_m,
                                 kMobileName, description, fix->speed_knots,
                                 fix->satellites));
  }
  show_host_view("lastfix", "last sentence");
}

static void waypoints(void) {
  const struct receiver_fix* first = &kTrack[0];
  const struct receiver_fix* last = &kTrack[TRACK_LENGTH - 1];
  int32_t count = -1;
  int32_t i;
  heading("Waypoints");
  step("new WP1 \"Track start\" (OrvekGPSPort_New_Waypoint)");
  report(OrvekGPSPort_New_Waypoint(
      "WP1", "Track start", degrees(first->longitude_dddmm, first->east_west),
      degrees(first->latitude_ddmm, first->north_south), first->altitude_m,
      "flag"));
  step("new WP2 \"Track end\"");
  report(OrvekGPSPort_New_Waypoint(
      "WP2", "Track end", degrees(last->longitude_dddmm, last->east_west),
      degrees(last->latitude_ddmm, last->north_south), last->altitude_m,
      "pin"));
  step("count (OrvekGPSPort_Get_WaypointCount)");
  if (report(OrvekGPSPort_Get_WaypointCount(&count)) == ORVEKPORT_OK)
    printf("      %d waypoints\n", (int)count);
  for (i = 0; i < count && i < 10; ++i) {
    char id[ORVEKPORT_WAYPOINT_TEXT_SIZE];
    char description[ORVEKPORT_WAYPOINT_TEXT_SIZE];
    char icon[ORVEKPORT_WAYPOINT_TEXT_SIZE];
    double longitude = 0, latitude = 0, altitude = 0;
    step("read back #%d (OrvekGPSPort_Get_Waypoint)", (int)i);
    if (report(OrvekGPSPort_Get_Waypoint(i, id, description, &longitude,
                                         &latitude, &altitude, icon)) ==
        ORVEKPORT_OK)
      printf("      %s \"%s\"  lon %.6f  lat %.6f  alt %.1f  icon %s\n", id,
             description, longitude, latitude, altitude, icon);
  }
  step("delete WP2 (OrvekGPSPort_Delete_Waypoint)");
  report(OrvekGPSPort_Delete_Waypoint("WP2"));
  step("count");
  if (report(OrvekGPSPort_Get_WaypointCount(&count)) == ORVEKPORT_OK)
    printf("      %d waypoint(s) left\n", (int)count);
}

static void map_view(void) {
  const struct receiver_fix* last = &kTrack[TRACK_LENGTH - 1];
  heading("Map view");
  step("moving map on (OrvekGPSPort_MovingMapInit)");
  report(OrvekGPSPort_MovingMapInit());
  step("centre on WP1 (OrvekGPSPort_CenterWaypoint)");
  report(OrvekGPSPort_CenterWaypoint("WP1", 2.0));
  step("centre on the last fix (OrvekGPSPort_CenterCoordinate)");
  report(OrvekGPSPort_CenterCoordinate(
      degrees(last->longitude_dddmm, last->east_west),
      degrees(last->latitude_ddmm, last->north_south), 0.0));
  show_host_view("centre", "centre");
  step("viewport 320 x 240 (OrvekGPSPort_SetViewportLen)");
  report(OrvekGPSPort_SetViewportLen(320, 240));
  step("host command 12 (OrvekGPSPort_ExecCommand)");
  report(OrvekGPSPort_ExecCommand(12));
  step("open demo-track.gpx (OrvekGPSPort_OpenFile)");
  report(OrvekGPSPort_OpenFile("demo-track.gpx"));
  step("export the view (OrvekGPSPort_ExportViewFile)");
  report(OrvekGPSPort_ExportViewFile("demo-view.bmp"));
}

/* A step of its own: the count is the result, -1 the only failure. */
static int32_t moving_map_count(const char* label) {
  int32_t count;
  step("%s", label);
  count = OrvekGPSPort_GetMovingMapCount();
  ++steps_run;
  if (count < 0) {
    ++steps_failed;
    printf("-1 (the query failed)\n");
  } else {
    printf("%d entries\n", (int)count);
  }
  return count;
}

static void moving_map(void) {
  int32_t count, i;
  heading("Moving-map entries");
  count = moving_map_count("count (OrvekGPSPort_GetMovingMapCount)");
  for (i = 0; i < count && i < 10; ++i) {
    char name[64], description[64];
    double longitude = 0, latitude = 0, altitude = 0;
    step("entry #%d (OrvekGPSPort_GetMovingMapPosition)", (int)i);
    if (report(OrvekGPSPort_GetMovingMapPosition(i, name, &longitude,
                                                 &latitude, &altitude,
                                                 sizeof name, description)) ==
        ORVEKPORT_OK)
      printf("      %-10s lat %.6f  lon %.6f  alt %.1f  %s\n", name, latitude,
             longitude, altitude, description);
  }
  step("delete %s (OrvekGPSPort_DeleteMobile)", kMobileName);
  report(OrvekGPSPort_DeleteMobile(kMobileName));
  moving_map_count("count");
}

static void device_services(void) {
  uint32_t length = 0;
  const void* result = NULL;
  heading("Device services (no host needed)");
  step("device id (GetPocketIDItvCe)");
  if (report(GetPocketIDItvCe(0, NULL, &length, &result)) == ORVEKPORT_OK &&
      result != NULL)
    printf("      \"%s\" (%u bytes with its NUL)\n", (const char*)result,
           (unsigned)length);

  length = 0;
  result = NULL;
  step("free space of C:\\ (GetDiskFreeSpaceItvCe)");
  if (report(GetDiskFreeSpaceItvCe(0, L"C:\\", &length, &result)) ==
          ORVEKPORT_OK &&
      result != NULL && length == 12) {
    /* success word, then the byte count, low word first */
    uint32_t words[3];
    memcpy(words, result, sizeof words);
    if (words[0] == 1) {
      unsigned long long free_bytes =
          ((unsigned long long)words[2] << 32) | words[1];
      printf("      %llu bytes (%.1f GiB)\n", free_bytes,
             (double)free_bytes / (1024.0 * 1024.0 * 1024.0));
    } else {
      printf("      the volume could not be asked\n");
    }
  }
}

int main(void) {
  char handshake[20];
  wchar_t reply[1001];
  char text[3 * 1001];
  const wchar_t* raw_request = L"Grüße vom Demo: hello, host";
  ULONGLONG start;
  uint32_t status;

  /* Plain line feeds, for a Unix terminal under Wine as for a console. */
  _setmode(_fileno(stdout), _O_BINARY);
  printf("OrvekPORT demo: interface version %u\n",
         (unsigned)OrvekGPSPort_Version());

  heading("Host link");
  step("find or start the host (OrvekGPSPort_Init)");
  start = GetTickCount64();
  status = report(OrvekGPSPort_Init());
  printf("      took %llu ms\n", (unsigned long long)(GetTickCount64() - start));
  if (status != ORVEKPORT_OK) {
    printf("\nNo host link: %s.\n'orvekport init' says why and what to "
           "set.\n",
           orvekport_status_meaning(status));
    return (int)status;
  }
  step("handshake query \"0\" (OrvekGPSPort_GetString)");
  if (report(OrvekGPSPort_GetString("0", sizeof handshake, handshake)) ==
      ORVEKPORT_OK)
    printf("      host says \"%s\"\n", handshake);
  step("raw round trip (OrvekGPSPort_StringProtocolW)");
  if (report(OrvekGPSPort_StringProtocolW(raw_request, 1001, reply)) ==
      ORVEKPORT_OK) {
    printf("      sent  \"%s\"\n", utf8(raw_request, text, sizeof text));
    printf("      reply \"%s\"\n", utf8(reply, text, sizeof text));
  }

  position_fixes();
  waypoints();
  map_view();
  moving_map();
  device_services();

  printf("\n%d of %d steps succeeded.\n", steps_run - steps_failed, steps_run);
  return steps_failed > 100 ? 100 : steps_failed;
}
