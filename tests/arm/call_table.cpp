// The call table: every export of OrvekPORT.dll called through the public
// header with the arguments that differ most between instruction sets
// (doubles by value, negative zero, 1e23, southern and western fixes, the
// longest and shortest bodies), against script_host.exe, which answers each
// request with the reply of the row and logs the request byte for byte.
// Every reply kind is met: acknowledgements, query results, a reply without
// "|", a refusal, an empty and a one-byte reply, a late one (a time-out,
// then the owed answer taken by the next call). The same program runs for
// x86_64 and ARM64 (tests/arm/call-table.sh compares both runs' request logs
// and transcripts); each status is checked here against the table. Exits
// with the number of unexpected statuses. No C runtime: the ARM build has
// none.
#include <bit>

#include "OrvekPORT/OrvekPORT.h"
#include "bare_windows.h"
#include "protocol/host_protocol.h"

namespace {

namespace protocol = orvek::protocol;

// What a row's call shows besides its status goes to the transcript.
using Out = bare::Narrow;
struct Row {
  const char* label;
  const char* reply;  // the host's script line; null: the call sends nothing
  std::uint32_t expected;
  std::uint32_t (*call)(Out&);
};

// Doubles read back are shown by their bits: exact on every machine.
void Show(Out& out, const char* name, double value) {
  out.add(" ").add(name).add("=").hex(std::bit_cast<std::uint64_t>(value), 16);
}

// Texts read back are shown with their control bytes as \xNN.
void Show(Out& out, const char* name, const char* text) {
  out.add(" ").add(name).add("=");
  for (; *text != '\0'; ++text) {
    if (static_cast<unsigned char>(*text) < 0x20)
      out.add("\\x").hex(static_cast<unsigned char>(*text), 2);
    else
      out.add(*text);
  }
}

// A text of `length` copies of `c`, until the next call.
template <typename Unit>
const Unit* Filled(Unit c, int length) {
  static Unit text[256];
  for (int i = 0; i < length; ++i) text[i] = c;
  text[length] = 0;
  return text;
}

char id[ORVEKPORT_WAYPOINT_TEXT_SIZE], description[ORVEKPORT_WAYPOINT_TEXT_SIZE],
    icon[ORVEKPORT_WAYPOINT_TEXT_SIZE], result[256];
double longitude, latitude, altitude;
const void* itv_result;

std::uint32_t Query(Out& out, const char* request) {
  const std::uint32_t status = OrvekGPSPort_GetString(request, sizeof result, result);
  if (status == ORVEKPORT_OK) Show(out, "result", result);
  return status;
}

// A record read back: its name, description and three doubles.
void ShowRecord(Out& out, const char* name) {
  Show(out, name, id);
  Show(out, "description", description);
  Show(out, "lon", longitude);
  Show(out, "lat", latitude);
  Show(out, "alt", altitude);
}

// "$AAGGAM,,000.000,N,000.000,E,1,5,0,0,m,,,,,,,NAME,d,0.000000,0*CS" and CR
// LF: 63 characters and the name make the sentence.
constexpr int kLongestName = ORVEKPORT_COMMAND_BODY_MAX - 63;
// A command is acknowledged by 2 bytes or more that begin with "A".
#define ACK "now A|"

constexpr Row kRows[] = {
    {"version", nullptr, 3, [](Out&) { return OrvekGPSPort_Version(); }},
    {"init", "now G|script-host", 0, [](Out&) { return OrvekGPSPort_Init(); }},
    {"query", "now G|x|y,z", 0, [](Out& out) { return Query(out, "lastfix"); }},
    {"query shortest", "now G|", 0, [](Out& out) { return Query(out, ""); }},
    {"query longest", "now G|long", 0, [](Out& out) {
       return Query(out, Filled('q', ORVEKPORT_COMMAND_BODY_MAX));
     }},
    {"query one byte over", nullptr, ORVEKPORT_E_TOO_LONG, [](Out& out) {
       return Query(out, Filled('q', ORVEKPORT_COMMAND_BODY_MAX + 1));
     }},
    {"query without bar", "now G12", ORVEKPORT_E_NO_RESULT,
     [](Out& out) { return Query(out, "4"); }},
    {"query refused", "now E|unknown query", ORVEKPORT_E_READ_REPLY,
     [](Out& out) { return Query(out, "9"); }},
    {"query empty reply", "now ", ORVEKPORT_E_OPEN_REPLY,
     [](Out& out) { return Query(out, "9"); }},
    {"raw", "now R|Gr\xFC\xDF" "e\\r\\n", 0, [](Out& out) {
       wchar_t reply[16];
       uint32_t status = OrvekGPSPort_StringProtocolW(L"Gr\u00fc\u00dfe raw", 16, reply);
       out.add(" reply=");
       for (int i = 0; reply[i] != 0; ++i) out.hex(static_cast<std::uint16_t>(reply[i]), 4).add(" ");
       return status;
     }},
    {"raw longest", "now R", 0, [](Out&) {
       return OrvekGPSPort_StringProtocolW(Filled(L'w', ORVEKPORT_RAW_REQUEST_MAX), 0, nullptr);
     }},
    {"raw one byte over", nullptr, ORVEKPORT_E_TOO_LONG, [](Out&) {
       return OrvekGPSPort_StringProtocolW(Filled(L'w', ORVEKPORT_RAW_REQUEST_MAX + 1), 0,
                                           nullptr);
     }},
    {"fix south west", ACK, 0, [](Out&) {
       return OrvekGPSPort_NewPoint(-108.374110, -32.648580, 1577.4, "TRUCK7",
                                    "on patrol", 5.3, 8);
     }},
    {"fix north east", "now A|ok", 0, [](Out&) {
       return OrvekGPSPort_NewPoint(13.408333, 52.518611, -28.9, "B", "", 1e23, -1);
     }},
    {"fix negative zero", "now AA", 0, [](Out&) {
       return OrvekGPSPort_NewPoint(-0.0, -0.0, -0.0, "", "", -0.0, 0);
     }},
    {"fix limits", ACK, 0, [](Out&) {
       return OrvekGPSPort_NewPoint(-179.9999999, 89.9999999, -2147483647.9,
                                    "Z", "", -1e-7, -2147483647 - 1);
     }},
    {"fix longest", ACK, 0, [](Out&) {
       return OrvekGPSPort_NewPoint(0.0, 0.0, 0.0, Filled('n', kLongestName),
                                    "d", 0.0, 0);
     }},
    {"fix one byte over", nullptr, ORVEKPORT_E_TOO_LONG, [](Out&) {
       return OrvekGPSPort_NewPoint(0.0, 0.0, 0.0, Filled('n', kLongestName + 1),
                                    "d", 0.0, 0);
     }},
    {"fix one-byte reply", "now A", ORVEKPORT_E_OPEN_REPLY, [](Out&) {
       return OrvekGPSPort_NewPoint(1.5, 2.5, 3.5, "C", "c", 4.5, 5);
     }},
    {"fix refused", "now N|no", ORVEKPORT_E_READ_REPLY, [](Out&) {
       return OrvekGPSPort_NewPoint(1.5, 2.5, 3.5, "C", "c", 4.5, 5);
     }},
    {"moving map init", nullptr, 0, [](Out&) { return OrvekGPSPort_MovingMapInit(); }},
    {"open file", ACK, 0, [](Out&) { return OrvekGPSPort_OpenFile("track.gpx"); }},
    {"open file longest", ACK, 0, [](Out&) {
       return OrvekGPSPort_OpenFile(Filled('f', ORVEKPORT_COMMAND_BODY_MAX));
     }},
    {"delete mobile", ACK, 0, [](Out&) { return OrvekGPSPort_DeleteMobile("TRUCK7"); }},
    {"exec command", ACK, 0,
     [](Out&) { return OrvekGPSPort_ExecCommand(-2147483647 - 1); }},
    {"viewport", ACK, 0, [](Out&) { return OrvekGPSPort_SetViewportLen(320, -240); }},
    {"centre waypoint", ACK, 0,
     [](Out&) { return OrvekGPSPort_CenterWaypoint("WP1", 2.5); }},
    {"centre coordinate", ACK, 0, [](Out&) {
       return OrvekGPSPort_CenterCoordinate(-3.5, -40.25, 0.0078125);
     }},
    {"centre coordinate 1e23", ACK, 0, [](Out&) {
       return OrvekGPSPort_CenterCoordinate(-0.0, 1e23, -1e-7);
     }},
    {"export view", ACK, 0, [](Out&) { return OrvekGPSPort_ExportViewFile("map.png"); }},
    {"new waypoint", ACK, 0, [](Out&) {
       return OrvekGPSPort_New_Waypoint("WP1", "Gate 3", -3.5, -40.25, 650.7, "flag");
     }},
    {"delete waypoint", ACK, 0, [](Out&) { return OrvekGPSPort_Delete_Waypoint("WP1"); }},
    {"waypoint count", "now G|  -12x", 0, [](Out& out) {
       int32_t count = 0;
       uint32_t status = OrvekGPSPort_Get_WaypointCount(&count);
       out.add(" count=").number(count);
       return status;
     }},
    {"waypoint", "now G|WP1,Gate 3,-3.500000,-40.250000,1e23,flag", 0, [](Out& out) {
       uint32_t status = OrvekGPSPort_Get_Waypoint(0, id, description, &longitude,
                                                   &latitude, &altitude, icon);
       ShowRecord(out, "id");
       Show(out, "icon", icon);
       return status;
     }},
    {"waypoint cut short", "now G|WP2,x,1.5", ORVEKPORT_E_NO_COMMA_AFTER_FIELD3,
     [](Out&) {
       return OrvekGPSPort_Get_Waypoint(1, id, description, &longitude, &latitude,
                                        &altitude, icon);
     }},
    {"mobile count", "now G|3", 3,
     [](Out&) { return static_cast<uint32_t>(OrvekGPSPort_GetMovingMapCount()); }},
    {"mobile", "now G|-32.648580,-108.374110,-0.5e-300,TRUCK7,on patrol\\r\\n", 0,
     [](Out& out) {
       uint32_t status = OrvekGPSPort_GetMovingMapPosition(
           0, id, &longitude, &latitude, &altitude, sizeof id, description);
       ShowRecord(out, "name");
       return status;
     }},
    // The host answers after the wait has run out; the next call first
    // takes that owed answer, then sends its own.
    {"time-out", "late A|", ORVEKPORT_E_TIMEOUT,
     [](Out&) { return OrvekGPSPort_ExecCommand(7); }},
    {"after the time-out", ACK, 0, [](Out&) { return OrvekGPSPort_ExecCommand(8); }},
    // The free bytes vary; the record's length and success word don't.
    {"device id", nullptr, 0, [](Out& out) {
       uint32_t length = 0, status = GetPocketIDItvCe(0, nullptr, &length, &itv_result);
       Show(out.add(" length=").number(length), "id", static_cast<const char*>(itv_result));
       return status;
     }},
    {"disk free", nullptr, 0, [](Out& out) {
       uint32_t length = 0, status = GetDiskFreeSpaceItvCe(0, L"C:\\", &length, &itv_result);
       out.add(" length=").number(length).add(" success=")
           .number(*static_cast<const std::uint32_t*>(itv_result));
       return status;
     }},
};

// The ClientHWID the device id is read from (no asset tool, and Wine has no
// hardware id): bytes after the first 4 give "01" and "56789ABCD".
constexpr BYTE kClientHwid[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x23, 0x45,
                                0x67, 0x89, 0xAB, 0xCD, 0xEF};
constexpr wchar_t kHwidKey[] = L"SOFTWARE\\Microsoft\\MSLicensing\\HardwareID";

bool SetRegistry(const wchar_t* key_name, const wchar_t* value, DWORD type,
                 const void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_name, 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG outcome = data != nullptr
                    ? RegSetValueExW(key, value, 0, type, static_cast<const BYTE*>(data), size)
                    : RegDeleteValueW(key, value);
  RegCloseKey(key);
  return outcome == ERROR_SUCCESS;
}

HWND HostWindow() {
  return FindWindowW(reinterpret_cast<const wchar_t*>(protocol::kHostWindowClass), nullptr);
}

// Starts the host beside this program and waits for its window; null when
// it did not come.
HANDLE StartHost(const bare::Wide& host) {
  bare::Wide command_line;
  command_line.add(L'"').add(host.view()).add(L'"');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(host.c_str(), command_line.units, nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  // Under emulation a process takes seconds to start.
  for (int waited_ms = 0; waited_ms < 120000; waited_ms += 50) {
    if (HostWindow() != nullptr) return process.hProcess;
    if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  return nullptr;
}

}  // namespace

extern "C" void start() {
  bare::Wide host_folder = bare::ProgramFolder(), host, replies, log;
  host_folder.add(L"\\host");
  host.add(host_folder.view()).add(L"\\script-host.exe");
  static bare::Text<char, 8192> script;
  for (const Row& row : kRows)
    if (row.reply != nullptr) script.add(row.reply).add('\n');
  replies.add(host_folder.view()).add(L"\\replies.txt");
  log.add(host_folder.view()).add(L"\\requests.log");
  DeleteFileW(log.c_str());
  if (script.overflow || !bare::WriteWholeFile(replies.c_str(), script.view()) ||
      !SetRegistry(L"SOFTWARE\\OrvekGPS\\General", L"Path_EXE", REG_SZ, host.units,
                   static_cast<DWORD>((host.length + 1) * sizeof(wchar_t))) ||
      !SetRegistry(kHwidKey, L"ClientHWID", REG_BINARY, kClientHwid, sizeof kClientHwid)) {
    bare::Print("call table: can't write the host's script or the registry\n");
    ExitProcess(100);
  }
  HANDLE host_process = StartHost(host);
  if (host_process == nullptr) {
    bare::Print("call table: the script host did not start\n");
    ExitProcess(101);
  }

  int unexpected = 0;
  for (const Row& row : kRows) {
    Out shown;
    const std::uint32_t status = row.call(shown);
    Out line;
    line.add(row.label).add(": ").number(status).add(shown.view());
    if (status != row.expected) {
      line.add(" UNEXPECTED, the table says ").number(row.expected);
      ++unexpected;
    }
    bare::Print(line.add('\n').view());
  }
  SetRegistry(kHwidKey, L"ClientHWID", REG_BINARY, nullptr, 0);
  PostMessageW(HostWindow(), WM_CLOSE, 0, 0);
  if (WaitForSingleObject(host_process, 10000) != WAIT_OBJECT_0) TerminateProcess(host_process, 1);
  CloseHandle(host_process);
  Out summary;
  summary.add("call table: ").number(sizeof kRows / sizeof kRows[0]).add(" calls, ")
      .number(unexpected).add(" unexpected statuses\n");
  bare::Print(summary.view());
  ExitProcess(static_cast<UINT>(unexpected));
}
