/* OrvekPORT quick start: find or start the host application, send it one
 * position fix, read the fix back from its moving map, and name any
 * failure by its status.
 *
 * Build it from this folder of the SDK (see README.md):
 *   Visual Studio: cl /I ..\include quickstart.c ..\x64\lib\OrvekPORT.lib
 *   mingw-w64:     x86_64-w64-mingw32-gcc -I ../include quickstart.c
 *                    -L ../x64/lib -lOrvekPORT -o quickstart.exe
 * and put ..\x64\bin\OrvekPORT.dll beside the program. The library finds the
 * host through the registry value Path_EXE; "orvekport host start" sets it
 * up with the host emulator. Exits with 0 when the fix is on the map. */
#include <stdio.h>
#include <string.h>

#include "OrvekPORT/OrvekPORT.h"

#define MOBILE_NAME "QUICKSTART"

/* Every status with its name and meaning, made from the header's tables. */
struct status_row {
  uint32_t value;
  const char* name;
  const char* meaning;
};

#define STATUS_ROW(name, value, meaning) {value, "ORVEKPORT_" #name, meaning},
static const struct status_row statuses[] = {
    ORVEKPORT_STATUS_MAP(STATUS_ROW)};
/* The record readers' own statuses share the numbers 5 to 9. */
static const struct status_row parse_statuses[] = {
    ORVEKPORT_PARSE_STATUS_MAP(STATUS_ROW)};
#undef STATUS_ROW

static void print_row(const char* lead, const struct status_row* rows,
                      size_t count, uint32_t status) {
  size_t i;
  for (i = 0; i < count; ++i) {
    if (rows[i].value == status) {
      fprintf(stderr, "  %s%s (%u): %s\n", lead, rows[i].name,
              (unsigned)status, rows[i].meaning);
      return;
    }
  }
}

/* Says which call failed and what its status means; returns the exit code. */
static int failed(const char* call, uint32_t status, int reads_record) {
  fprintf(stderr, "%s failed with status %u:\n", call, (unsigned)status);
  print_row("", statuses, sizeof statuses / sizeof statuses[0], status);
  if (reads_record)
    print_row("or, reading the record, ", parse_statuses,
              sizeof parse_statuses / sizeof parse_statuses[0], status);
  if (status == ORVEKPORT_E_TIMEOUT || status == ORVEKPORT_E_OPEN_REPLY ||
      status == ORVEKPORT_E_READ_REPLY)
    fprintf(stderr, "  the host may have acted on the request\n");
  else if (status == ORVEKPORT_E_BUSY)
    fprintf(stderr, "  nothing reached the host: trying again is safe\n");
  return 1;
}

int main(void) {
  char name[64], description[64];
  double longitude, latitude, altitude;
  int32_t count, index;
  uint32_t status;

  /* Finds the host's window, or starts the host named by Path_EXE and waits
   * up to 10 s for it; then asks the handshake query. */
  status = OrvekGPSPort_Init();
  if (status != ORVEKPORT_OK) return failed("OrvekGPSPort_Init", status, 0);
  printf("host found, interface version %u\n",
         (unsigned)OrvekGPSPort_Version());

  /* One fix, the first of garmin15x.log: longitude and latitude in decimal
   * degrees (east and north positive), altitude in metres, the mobile's
   * name and description, a speed in knots and the satellites used. */
  status = OrvekGPSPort_NewPoint(-108.37411, 32.64858, 1577.4, MOBILE_NAME,
                                 "on patrol", 5.3, 8);
  if (status != ORVEKPORT_OK) return failed("OrvekGPSPort_NewPoint", status, 0);
  printf("fix sent for %s\n", MOBILE_NAME);

  /* Queries: the host's moving-map entries, searched for the mobile. */
  count = OrvekGPSPort_GetMovingMapCount();
  if (count < 0) {
    fprintf(stderr, "OrvekGPSPort_GetMovingMapCount failed\n");
    return 1;
  }
  for (index = 0; index < count; ++index) {
    status = OrvekGPSPort_GetMovingMapPosition(index, name, &longitude,
                                               &latitude, &altitude,
                                               sizeof name, description);
    if (status != ORVEKPORT_OK)
      return failed("OrvekGPSPort_GetMovingMapPosition", status, 1);
    if (strcmp(name, MOBILE_NAME) == 0) {
      printf("the host shows %s at latitude %f, longitude %f, %.0f m: %s\n",
             name, latitude, longitude, altitude, description);
      return 0;
    }
  }
  fprintf(stderr, "the host has %d mobiles, none named %s\n", (int)count,
          MOBILE_NAME);
  return 1;
}
