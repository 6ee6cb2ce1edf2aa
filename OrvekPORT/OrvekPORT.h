/*
 * OrvekPORT.h - drive the OrvekGPS moving-map host application from any
 * program: find or start it, feed it position fixes, steer its map view,
 * manage waypoints, read back its moving-map entries, exchange raw requests,
 * and answer two device questions.
 *
 * Every host operation writes one request line to PACKETTX.DAT in the host
 * application's directory, posts message 0x4522 to its main window and waits
 * up to 3000 ms for the named event EventOrvekAPI before reading PACKETRX.DAT.
 *
 * Conventions
 * - Every call runs on the caller's thread and blocks; nothing is thrown,
 *   shown or logged.
 * - Exchanges never overlap, between threads or processes: each one (request
 *   file to reply read) holds the named mutex "OrvekPORT.ExchangeLock", and
 *   OrvekGPSPort_Init holds it from the registry read to the handshake's
 *   reply, so callers that start together start one host. A call waits at
 *   most 17 s for it (an Init that starts the host, and its waits), then
 *   returns ORVEKPORT_E_BUSY (14) having sent nothing. A lock whose owner
 *   died is taken over.
 * - An answer is never taken for another request's, and no request is read
 *   twice: after a time-out (7) the host may still answer, and nothing is
 *   posted until it has. The post is recorded as owed in the file
 *   OrvekPORT.link beside the packet files, so every process of either
 *   architecture knows, also after the one that posted has gone. The next
 *   call (Init included) waits up to 3000 ms for the late answer and
 *   discards it; if it has not come, the call returns 14 without sending,
 *   and the next call waits again. An answer is given up only when the
 *   window it was owed by is gone (the host exited or was restarted): then
 *   the next call goes at once. So a time-out can cost each following call
 *   up to 3000 ms for as long as the host stays silent, and a host that
 *   never answers keeps the link refused until it is restarted. 14 always
 *   means that nothing reached the host: retrying is safe. After 7, 8 or 9
 *   the host may have acted on the request.
 * - Results are unsigned status codes, 0 for success (table below).
 * - Texts sent to the host are NUL-terminated 8-bit texts in the ANSI code
 *   page, passed byte for byte. Paths and the raw requests of
 *   OrvekGPSPort_StringProtocolW are UTF-16.
 * - A request line holds at most 199 bytes with its line feed: at most 196
 *   bytes of body behind a one-letter command, 198 for a raw request. A
 *   request that does not fit is refused with ORVEKPORT_E_TOO_LONG before
 *   any file is touched; nothing is ever cut.
 * - Commands (every export that sends a letter) need a host link that
 *   OrvekGPSPort_Init, OrvekGPSPort_MovingMapInit or a query has set up;
 *   queries set it up by themselves while no host window is known.
 *
 * Valid C (C89 on) and C++ (C++98 on); includes no Windows header. The
 * exports carry their plain names (no decoration) and the platform's
 * standard calling convention.
 */
#ifndef ORVEKPORT_ORVEKPORT_H
#define ORVEKPORT_ORVEKPORT_H

#include <stddef.h>
#include <stdint.h>

/* The exports use the platform's standard calling convention, which only
 * 32-bit x86 spells out; elsewhere it is the default one. */
#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define ORVEKPORT_CALL __stdcall
#else
#define ORVEKPORT_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes: X(name, value, meaning). 2 and 3 are never produced. */
#define ORVEKPORT_STATUS_MAP(X)                                               \
  X(OK, 0, "success")                                                         \
  X(E_NO_HOST, 1, "no host window: starting the host application failed or " \
                  "its window did not appear within 10 s")                    \
  X(E_REGISTRY, 4, "the host application's registry entry (Path_EXE) "        \
                   "can't be read")                                           \
  X(E_CREATE_REQUEST, 5, "request file can't be created")                     \
  X(E_WRITE_REQUEST, 6, "request line can't be written")                      \
  X(E_TIMEOUT, 7, "no reply signal from the host within 3000 ms")             \
  X(E_OPEN_REPLY, 8, "reply file can't be opened, or the reply is too short") \
  X(E_READ_REPLY, 9, "reply file can't be read, or the reply does not "       \
                     "begin with the expected letter")                        \
  X(E_NO_RESULT, 10, "query reply holds no '|'")                              \
  X(E_TOO_LONG, 11, "a request, body or text does not fit its limit")         \
  X(E_INVALID_ARGUMENT, 12, "a required pointer is null, or a number "        \
                            "cannot be represented")                          \
  X(E_NO_MEMORY, 13, "a per-call buffer could not be allocated")           \
  X(E_BUSY, 14, "nothing was sent: another caller held the link for over "  \
                "17 s, or the host still owes an earlier answer")

typedef enum orvekport_status {
#define ORVEKPORT_STATUS_ENUM(name, value, meaning) ORVEKPORT_##name = value,
  ORVEKPORT_STATUS_MAP(ORVEKPORT_STATUS_ENUM)
#undef ORVEKPORT_STATUS_ENUM
  /* Parse statuses of OrvekGPSPort_GetMovingMapPosition and
   * OrvekGPSPort_Get_Waypoint: the record ended before the comma after field
   * N. They share their numbers with 5 to 8 above. */
  ORVEKPORT_E_NO_COMMA_AFTER_FIELD1 = 5,
  ORVEKPORT_E_NO_COMMA_AFTER_FIELD2 = 6,
  ORVEKPORT_E_NO_COMMA_AFTER_FIELD3 = 7,
  ORVEKPORT_E_NO_COMMA_AFTER_FIELD4 = 8,
  ORVEKPORT_E_NO_COMMA_AFTER_FIELD5 = 9
} orvekport_status;

/* Size of each text buffer that OrvekGPSPort_Get_Waypoint fills. */
#define ORVEKPORT_WAYPOINT_TEXT_SIZE 100

/* The longest Path_EXE value read, in characters: the value and its
 * terminator fill 200 bytes. A longer one is a registry error (4). */
#define ORVEKPORT_HOST_PATH_MAX 99

/* ---- Host link ------------------------------------------------------ */

/* The interface version, always 3. Needs no host application. */
uint32_t ORVEKPORT_CALL OrvekGPSPort_Version(void);

/* Reads Path_EXE under HKEY_LOCAL_MACHINE\SOFTWARE\OrvekGPS\General, finds
 * the host's window (class ORVEKPOCKETMAINW) or starts the host and polls
 * for it (100 x 100 ms), then sends the handshake query "0". A Path_EXE that
 * names a folder or a missing file gives 1 at once; nothing is started. An
 * answer still owed to the window found is awaited as by any exchange (14
 * while it stays owed); one owed to a window that has gone is given up.
 * 0; 4 registry; 1 no window; 14 lock or owed answer; else the handshake's
 * status. */
uint32_t ORVEKPORT_CALL OrvekGPSPort_Init(void);

/* Query: sends "F|request" and reads at most `capacity` reply bytes. A reply
 * "G...|result" copies `result` (at most capacity - 2 bytes and its NUL) into
 * `result`. Runs OrvekGPSPort_Init first while no host window is known.
 * 8 empty reply, 9 not "G", 10 no "|"; 12 null `request` or `result`;
 * 13 no memory for the reply buffer. */
uint32_t ORVEKPORT_CALL OrvekGPSPort_GetString(const char* request,
                                               uint32_t capacity,
                                               char* result);

/* Raw request: `request` is converted to the ANSI code page and sent as the
 * whole line; the reply (up to 1000 bytes) is converted back into `result`,
 * `capacity` wide characters with the terminator. The reply is not judged.
 * A reply too long for `result` is cut to capacity - 1 characters and a
 * terminator (never half a surrogate pair) and the status stays 0; with
 * `capacity` 0 or less nothing is written. 11 when the converted request
 * passes 198 bytes; 12 null `request`, or null `result` with capacity > 0. */
uint32_t ORVEKPORT_CALL OrvekGPSPort_StringProtocolW(const wchar_t* request,
                                                     int32_t capacity,
                                                     wchar_t* result);

/* ---- Position --------------------------------------------------------- */

/* Sends one position fix as the command "E" with the sentence
 *   $AAGGAM,,DDMM.mmm,N,DDDMM.mmm,E,1,5,0,ALT,m,,,,,,,TEXT1,TEXT2,REAL,INT*CS
 * and CR LF, CS being the XOR of the bytes between "$" and "*". Coordinates
 * (degrees, minutes, thousandths of a minute) and altitude are truncated,
 * never rounded; -0.0 counts as north and east. Texts are copied unchanged.
 * realValue is "%f" (a non-finite one prints as inf, -inf or nan).
 * 12 when a text is null, or when longitude, latitude or altitude is not
 * finite or of magnitude 2^31 or more; 11 when the sentence passes 196
 * characters with its CR LF or `realValue` needs more than 49 characters.
 * Nothing is sent then; otherwise the command's status. Like every command
 * it needs a host link set up before. */
uint32_t ORVEKPORT_CALL OrvekGPSPort_NewPoint(double longitude, double latitude,
                                              double altitude,
                                              const char* text1,
                                              const char* text2,
                                              double realValue,
                                              int32_t intValue);

/* ---- Map and view -------------------------------------------------------
 * Each command sends its letter and body and succeeds (0) when the host's
 * reply has at least 2 bytes and begins with "A"; otherwise the host link's
 * status. Passed-through texts may hold 196 bytes; the formatted bodies of
 * "I", "K", "L" and "O" 99. Longer: 11. Null text: 12. Nothing is sent
 * then. Numbers are written as "%d" and "%f" (six decimals, correctly
 * rounded, ties to even, never an exponent; -0.0 gives -0.000000); these
 * commands don't refuse non-finite values, which print as inf, -inf and
 * nan. */

/* Posts 0x4522 with wParam 2 to the host window; no packet, no wait.
 * Runs OrvekGPSPort_Init first while no host window is known. */
uint32_t ORVEKPORT_CALL OrvekGPSPort_MovingMapInit(void);
uint32_t ORVEKPORT_CALL OrvekGPSPort_OpenFile(const char* fileName);       /* D */
uint32_t ORVEKPORT_CALL OrvekGPSPort_DeleteMobile(const char* mobileName); /* H */
uint32_t ORVEKPORT_CALL OrvekGPSPort_ExecCommand(int32_t command);         /* I */
uint32_t ORVEKPORT_CALL OrvekGPSPort_SetViewportLen(int32_t len1,
                                                    int32_t len2);         /* K */
uint32_t ORVEKPORT_CALL OrvekGPSPort_CenterWaypoint(const char* waypoint,
                                                    double value);         /* L */
uint32_t ORVEKPORT_CALL OrvekGPSPort_CenterCoordinate(double value1,
                                                      double value2,
                                                      double value3);      /* O */
uint32_t ORVEKPORT_CALL OrvekGPSPort_ExportViewFile(const char* fileName); /* J */

/* ---- Waypoints and moving map -------------------------------------------- */

/* "M|id,text,value1,value2,value3,icon", numbers as "%f" (non-finite ones
 * as inf, -inf, nan); a null text is sent empty. 11 when the body passes
 * 196 characters; nothing is sent then. */
uint32_t ORVEKPORT_CALL OrvekGPSPort_New_Waypoint(const char* id,
                                                  const char* text,
                                                  double value1, double value2,
                                                  double value3,
                                                  const char* icon);
/* "N|waypoint". 12 null `waypoint`, 11 over 196 bytes. */
uint32_t ORVEKPORT_CALL OrvekGPSPort_Delete_Waypoint(const char* waypoint);
/* Query "4": the decimal count into `*count`: blanks skipped, an optional
 * sign, the digits up to the first other character (a reply without them
 * counts 0; beyond 32 bits it stops at the limit). On failure `*count` is
 * not written. 12 null `count`. */
uint32_t ORVEKPORT_CALL OrvekGPSPort_Get_WaypointCount(int32_t* count);
/* Query "2,index": reads the waypoint "id,text,value1,value2,value3,icon"
 * (the form of the "M" body) out of the reply, field by field from the
 * left, each stored once the comma after it is found; the icon runs to a
 * further comma or the end. Nothing is trimmed, so a text holding a comma
 * can't be read back whole. Numbers: blanks, sign, decimal digits with point
 * and exponent, as far as they go (else 0.0). Each text buffer holds
 * ORVEKPORT_WAYPOINT_TEXT_SIZE bytes; a longer field gives 11 and is not
 * written. A reply with fewer than six fields gives
 * ORVEKPORT_E_NO_COMMA_AFTER_FIELDn (5 to 9) for the first comma missing.
 * Out-parameters filled before a failing field keep their new values; a
 * failed query writes none. 12 when an out-parameter is null (nothing
 * sent). */
uint32_t ORVEKPORT_CALL OrvekGPSPort_Get_Waypoint(int32_t index, char* id,
                                                  char* text, double* value1,
                                                  double* value2,
                                                  double* value3, char* icon);
/* Query "2": the number of moving-map entries, read as by
 * OrvekGPSPort_Get_WaypointCount, or -1 on any failure (a host answer of -1
 * looks the same). */
int32_t ORVEKPORT_CALL OrvekGPSPort_GetMovingMapCount(void);
/* Query "3,index", reading up to textSize + 100 reply bytes: the record
 * "f1,f2,f3,f4,f5"; f1 goes to *value2, f2 to *value1, f3 to *value3 (read
 * as by OrvekGPSPort_Get_Waypoint), f4 to text1, f5 (up to a further comma
 * or the end, line end included) to text2, each buffer of `textSize` bytes.
 * 5 to 8 when the comma after field 1 to 4 is missing; 11 when a text field
 * needs more than textSize - 1 bytes (that buffer is not written). Values
 * stored before a failing step keep their new values; a failed query writes
 * none. 12 when a pointer is null (nothing sent); 13 no memory. */
uint32_t ORVEKPORT_CALL OrvekGPSPort_GetMovingMapPosition(
    int32_t index, char* text1, double* value1, double* value2,
    double* value3, uint32_t textSize, char* text2);

/* ---- Device services -----------------------------------------------------
 * The ItvCe result convention: argument 1 is ignored; the result's length in
 * bytes goes to *length and its address to *result. The result lies in a
 * static buffer of the library, valid until the next call of the same
 * export; the caller neither frees nor writes it. The return value is
 * always 0. On 64-bit builds arguments 2 to 4 are 64-bit pointers. A null
 * `length` or `result` is skipped. Neither export needs the host. */

/* A stable identifier of the device, with its NUL (length counts it);
 * `input` is ignored. Worked out once per process and cached, from the
 * first source that yields one: the device asset tool (while nothing is
 * cached, a call runs \windows\CreateAssetFile.exe of the current drive and
 * waits for it without a time limit), the hardware device id, the registry
 * value ClientHWID, or "QK508-316", which is cached too. A ClientHWID value
 * shorter than 4 bytes counts as unreadable. A source too short for the
 * identifier gives an empty one (length 1), which is not cached. */
uint32_t ORVEKPORT_CALL GetPocketIDItvCe(uint32_t reserved, const void* input,
                                         uint32_t* length,
                                         const void** result);
/* A 12-byte record, little-endian: uint32 success (1/0), then the free
 * bytes available to the caller on the volume of `path` as uint64 (low word
 * first, 4-byte aligned). `path` goes to GetDiskFreeSpaceExW unchanged.
 * After a failure the count is the latest successful one (0 if none). */
uint32_t ORVEKPORT_CALL GetDiskFreeSpaceItvCe(uint32_t reserved,
                                              const wchar_t* path,
                                              uint32_t* length,
                                              const void** result);

#ifdef __cplusplus
}
#endif

#endif /* ORVEKPORT_ORVEKPORT_H */
