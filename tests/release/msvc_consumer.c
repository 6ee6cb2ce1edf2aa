/* A program as Visual Studio builds one: compiled for the MSVC ABI, no C
 * runtime, linked against the release archive's OrvekPORT.lib. It calls
 * exports with every kind of argument the interface has (doubles, 32-bit
 * integers, texts, out-pointers) and prints what the host received, so a
 * wrong calling convention shows as wrong text or a crash, and a wrong
 * import mapping as a program that does not load. Exits with the number of
 * calls that failed. */
#include <OrvekPORT/OrvekPORT.h>

/* The three kernel32 functions it needs, declared here: no SDK headers. */
#if defined(_M_IX86)
#define CONSUMER_API __stdcall
#else
#define CONSUMER_API
#endif
__declspec(dllimport) void* CONSUMER_API GetStdHandle(unsigned long which);
__declspec(dllimport) int CONSUMER_API WriteFile(void* file, const void* data,
                                                 unsigned long size,
                                                 unsigned long* written,
                                                 void* overlapped);
__declspec(dllimport) void CONSUMER_API ExitProcess(unsigned int code);

/* The MSVC ABI marks every program that uses floating point with it; the
 * C runtime defines it, and there is none here. */
int _fltused;

static void* output;
static unsigned failures;

static void print(const char* text) {
  unsigned long length = 0, written = 0;
  while (text[length] != '\0') ++length;
  WriteFile(output, text, length, &written, 0);
}

static void print_number(long value) {
  char digits[16];
  int at = 15;
  int negative = value < 0;
  unsigned long magnitude = negative ? 0ul - (unsigned long)value
                                     : (unsigned long)value;
  digits[at] = '\0';
  do {
    digits[--at] = (char)('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) digits[--at] = '-';
  print(digits + at);
}

/* One line: what was called, its status, and the host's view of it. */
static void report(const char* call, uint32_t status, const char* query) {
  char result[256];
  print(call);
  print(": ");
  print_number((long)status);
  if (status != ORVEKPORT_OK) ++failures;
  if (query != 0) {
    uint32_t read = OrvekGPSPort_GetString(query, sizeof result, result);
    print(", host has ");
    if (read == ORVEKPORT_OK) {
      print(result);
    } else {
      print("nothing, status ");
      print_number((long)read);
      ++failures;
    }
  }
  print("\n");
}

void start(void) {
  char id[ORVEKPORT_WAYPOINT_TEXT_SIZE], description[ORVEKPORT_WAYPOINT_TEXT_SIZE];
  char icon[ORVEKPORT_WAYPOINT_TEXT_SIZE];
  double longitude = 0, latitude = 0, altitude = 0;
  int32_t count = -1;
  uint32_t status;
  output = GetStdHandle((unsigned long)-11); /* STD_OUTPUT_HANDLE */

  print("interface ");
  print_number((long)OrvekGPSPort_Version());
  print("\n");
  report("init", OrvekGPSPort_Init(), 0);
  report("center", OrvekGPSPort_CenterCoordinate(2.1, 41.5, 12.25), "centre");
  report("viewport", OrvekGPSPort_SetViewportLen(320, -240), "viewport");
  report("newpoint",
         OrvekGPSPort_NewPoint(-3.5, 40.25, 650.7, "A", "B", 1.5, 2),
         "lastfix");
  report("waypoint",
         OrvekGPSPort_New_Waypoint("WP1", "Gate 3", -3.5, 40.25, 650, "flag"),
         "4");
  report("count", OrvekGPSPort_Get_WaypointCount(&count), 0);
  status = OrvekGPSPort_Get_Waypoint(count - 1, id, description, &longitude,
                                     &latitude, &altitude, icon);
  print("read back: ");
  print_number((long)status);
  if (status == ORVEKPORT_OK && longitude == -3.5 && latitude == 40.25 &&
      altitude == 650) {
    print(" ");
    print(id);
    print(",");
    print(description);
    print(",");
    print(icon);
    print(" at the coordinates sent");
  } else {
    ++failures;
  }
  print("\n");
  ExitProcess(failures);
}
