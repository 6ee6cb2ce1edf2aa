/**
 * @file OrvekPORT.h
 * @brief Drive the OrvekGPS moving-map host application from any program:
 * find or start it, feed it position fixes, steer its map view, manage
 * waypoints, read back its moving-map entries, exchange raw requests, and
 * answer two device questions.
 *
 * Every host operation writes one request line to PACKETTX.DAT in the host
 * application's directory, posts message 0x4522 to its main window and waits
 * up to 3000 ms for the named event EventOrvekAPI before reading PACKETRX.DAT.
 * Each export's description shows a request line it sends (the line feed
 * that ends every line is not shown).
 *
 * @par Conventions
 * - Every call runs on the caller's thread and blocks; nothing is thrown,
 *   shown or logged.
 * - Exchanges never overlap, between threads or processes: each one (request
 *   file to reply read) holds the named mutex "OrvekPORT.ExchangeLock", and
 *   OrvekGPSPort_Init holds it from the registry read to the handshake's
 *   reply, so callers that start together start one host. A call waits at
 *   most 18 s for it (an Init that starts the host, and its waits), then
 *   returns ORVEKPORT_E_BUSY (14) having sent nothing. A lock whose owner
 *   died is taken over. A call that reaches no host (no host window known
 *   yet, or one that has gone, so that the post fails) waits out its
 *   3000 ms without the lock: other callers go on meanwhile.
 * - An answer is never taken for another request's, and no request is read
 *   twice: after a time-out (7) the host may still answer, and nothing is
 *   posted until it has. The post is recorded as owed in the file
 *   OrvekPORT.link beside the packet files (24 bytes, the same for every
 *   build), which every call reads at its path, so every process of either
 *   architecture knows, also after the one that posted has gone. The next call
 *   (Init included) waits up to 3000 ms for the late answer and discards it.
 *   The post is given up without its answer when its window is gone (the host
 *   exited or was restarted), and when the host has answered it and is back at
 *   its messages though its signal never came or another client of the host
 *   took it: the reply file was written after the request, and the window's
 *   thread takes two messages sent to it (250 ms each at most). This assumes a
 *   host that writes each reply, file first and then the signal, while it
 *   handles the request's message or later from its message loop, on its
 *   window's thread, and handles no other message within a request; one that
 *   answers from its message loop more than 3000 ms after the call that
 *   follows the time-out may have that answer taken by a later call, when the
 *   reply before it was written in the same tick of the file system's clock as
 *   the request. While the host stays inside the post or has not taken it, a
 *   call returns 14 after that wait, and the next call waits again; a host
 *   that takes a request and never answers it at all (no reply file, no
 *   signal) keeps the link refused until it exits. 14 always means that
 *   nothing reached the host: retrying is safe. After 7, 8 or 9 the host may
 *   have acted on the request.
 * - Where the record can't be had (a read-only folder, a file or folder of
 *   that name held by another program, a file cut short or holding values no
 *   writer writes), a process settles its own owed post as the record would
 *   have it, and otherwise asks the packet files and the host: while the reply
 *   is older than the request, the answer is awaited as an owed one, and a
 *   host back at its messages after that wait owes nothing. Calls then go on
 *   with their own answers; only an answer that a host gives from its message
 *   loop more than 3000 ms after a time-out can reach the next call. The next
 *   post writes such a record afresh where it can; a post that no host heard
 *   makes none.
 * - Results are unsigned status codes, 0 for success (ORVEKPORT_STATUS_MAP).
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
 * - Coordinates are decimal degrees, east and north positive; altitudes are
 *   metres. What a value means to the host is the host's business: where
 *   this header says what a value is, it says what the host expects, and
 *   where the host decides (the view's scale, the viewport's size, the
 *   fix's extra values), what the host emulator orvek-host does with it.
 *
 * @par Exchange statuses
 * Every export that sends a request can return, besides its own codes:
 * 5 (request file not created), 6 (request line not written), 7 (no reply
 * signal within 3000 ms), 8 (reply file not opened, or a command's reply
 * under 2 bytes, a query's empty), 9 (reply file not read, or the reply
 * does not begin with "A" for a command, "G" for a query) and 14 (nothing
 * sent: link busy or an earlier answer still owed).
 *
 * Valid C (C89 on) and C++ (C++98 on); includes no Windows header. The
 * exports carry their plain names (no decoration) and the platform's
 * standard calling convention.
 */
#ifndef ORVEKPORT_ORVEKPORT_H
#define ORVEKPORT_ORVEKPORT_H

#include <stddef.h>
#include <stdint.h>

/**
 * @brief The exports' calling convention: the platform's standard one,
 * which only 32-bit x86 spells out (__stdcall); elsewhere the default one.
 */
#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define ORVEKPORT_CALL __stdcall
#else
#define ORVEKPORT_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/**
 * @brief The status codes, X(name, value, meaning): each becomes the
 * constant ORVEKPORT_name of orvekport_status. 2 and 3 are never produced.
 */
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
                "18 s, or the host still owes an earlier answer")

/**
 * @brief The parse statuses of the record readers,
 * OrvekGPSPort_GetMovingMapPosition and OrvekGPSPort_Get_Waypoint,
 * X(name, value, meaning): the record ended before the comma after field N.
 * They share their numbers with 5 to 9 of ORVEKPORT_STATUS_MAP, which the
 * record readers never return in those meanings.
 */
#define ORVEKPORT_PARSE_STATUS_MAP(X)                                         \
  X(E_NO_COMMA_AFTER_FIELD1, 5, "the record ends before the comma after "    \
                                "field 1")                                   \
  X(E_NO_COMMA_AFTER_FIELD2, 6, "the record ends before the comma after "    \
                                "field 2")                                   \
  X(E_NO_COMMA_AFTER_FIELD3, 7, "the record ends before the comma after "    \
                                "field 3")                                   \
  X(E_NO_COMMA_AFTER_FIELD4, 8, "the record ends before the comma after "    \
                                "field 4")                                   \
  X(E_NO_COMMA_AFTER_FIELD5, 9, "the record ends before the comma after "    \
                                "field 5")

/**
 * @brief The status codes as constants: ORVEKPORT_OK, ORVEKPORT_E_NO_HOST
 * and the others of ORVEKPORT_STATUS_MAP, then those of
 * ORVEKPORT_PARSE_STATUS_MAP.
 *
 * The reference lists them with their numbers and meanings on the page
 * @ref status_codes.
 */
typedef enum orvekport_status {
/** @brief Makes one constant of a row of ORVEKPORT_STATUS_MAP. */
#define ORVEKPORT_STATUS_ENUM(name, value, meaning) ORVEKPORT_##name = value,
  ORVEKPORT_STATUS_MAP(ORVEKPORT_STATUS_ENUM)
#undef ORVEKPORT_STATUS_ENUM
#define ORVEKPORT_STATUS_ENUM(name, value, meaning) ORVEKPORT_##name = value,
  ORVEKPORT_PARSE_STATUS_MAP(ORVEKPORT_STATUS_ENUM)
#undef ORVEKPORT_STATUS_ENUM
  /** @brief One past the highest status code; not a status itself. */
  ORVEKPORT_STATUS_END = 15
} orvekport_status;

/* ---- Limits a caller must respect ------------------------------------
 * Longer is refused with ORVEKPORT_E_TOO_LONG (11) before anything is
 * written; nothing is ever cut. */

/** @brief The longest request line in bytes, its line feed included. */
#define ORVEKPORT_REQUEST_LINE_MAX 199

/** @brief The longest body behind a one-letter command and its "|", in
 * bytes: a query's request (OrvekGPSPort_GetString), a passed-through text
 * (OrvekGPSPort_OpenFile, OrvekGPSPort_DeleteMobile,
 * OrvekGPSPort_ExportViewFile, OrvekGPSPort_Delete_Waypoint), the waypoint
 * that OrvekGPSPort_New_Waypoint composes, and the position sentence of
 * OrvekGPSPort_NewPoint with its CR LF. */
#define ORVEKPORT_COMMAND_BODY_MAX (ORVEKPORT_REQUEST_LINE_MAX - 3)

/** @brief The longest request of OrvekGPSPort_StringProtocolW in bytes,
 * once converted to the ANSI code page. */
#define ORVEKPORT_RAW_REQUEST_MAX (ORVEKPORT_REQUEST_LINE_MAX - 1)

/** @brief The longest body that a command composes from its numbers (and
 * a waypoint id), in characters: OrvekGPSPort_ExecCommand,
 * OrvekGPSPort_SetViewportLen, OrvekGPSPort_CenterWaypoint and
 * OrvekGPSPort_CenterCoordinate. */
#define ORVEKPORT_FORMATTED_BODY_MAX 99

/** @brief The longest "%f" text of OrvekGPSPort_NewPoint's `extra_real`, in
 * characters. */
#define ORVEKPORT_EXTRA_REAL_TEXT_MAX 49

/** @brief Size in bytes of each text buffer that OrvekGPSPort_Get_Waypoint
 * fills, the NUL included. */
#define ORVEKPORT_WAYPOINT_TEXT_SIZE 100

/** @brief The longest Path_EXE value read, in characters: the value and its
 * terminator fill 200 bytes. A longer one is a registry error (4). */
#define ORVEKPORT_HOST_PATH_MAX 99

/* ---- Host link ------------------------------------------------------ */

/**
 * @brief The interface version. Needs no host application.
 * @par Request line
 * none: the host is not asked
 * @return Always 3.
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_Version(void);

/**
 * @brief Finds the host's window or starts the host, then sends the
 * handshake query.
 *
 * Reads Path_EXE under HKEY_LOCAL_MACHINE\\SOFTWARE\\OrvekGPS\\General,
 * finds the host's window (class ORVEKPOCKETMAINW) or starts the host and
 * polls for it (100 x 100 ms), then sends the handshake query "0". A
 * Path_EXE that names a folder or a missing file gives 1 at once; nothing
 * is started. An answer still owed is awaited as by any exchange (14 while
 * it stays owed); one owed to a window that has gone, or by a host that
 * has answered and moved on, is given up at once. Holds the exchange lock throughout, so callers
 * that come together start one host.
 * @par Request line
 * `F|0`
 * @retval 0 the host window is known and answered the handshake
 * @retval 1 no host window, and starting the host failed or timed out
 * @retval 4 Path_EXE can't be read (missing, or over
 *         ORVEKPORT_HOST_PATH_MAX characters)
 * @retval 14 the lock was not had within 18 s, or an answer is still owed
 *         to the host's window (nothing sent)
 * @retval 5..10 the handshake's status (exchange statuses, 10 no "|")
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_Init(void);

/**
 * @brief Query: sends "F|request" and copies the reply's result.
 *
 * Reads at most `capacity` reply bytes. A reply "G...|result" copies the
 * text after the first "|" into `result`. Runs OrvekGPSPort_Init first while
 * no host window is known.
 * @param request  the query's request text, 8-bit, at most 196 bytes
 * @param capacity the most reply bytes read, in bytes; `result` must hold
 *                 capacity - 1 bytes (at most capacity - 2 of result and
 *                 its NUL)
 * @param result   receives the result text, NUL-terminated
 * @par Request line
 * `F|lastfix` (orvek-host answers with the last fix sentence)
 * @retval 0 success
 * @retval 1,4 from OrvekGPSPort_Init, when it ran
 * @retval 5..9,14 exchange statuses (8: empty reply; 9: not "G")
 * @retval 10 the reply holds no "|"
 * @retval 11 `request` is over 196 bytes
 * @retval 12 null `request` or `result`
 * @retval 13 no memory for a reply buffer over about 1 KB
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_GetString(const char* request,
                                               uint32_t capacity,
                                               char* result);

/**
 * @brief Raw request: sends a UTF-16 text as the whole request line and
 * returns the reply unjudged.
 *
 * `request` is converted to the ANSI code page and sent as the whole line;
 * the reply (up to 1000 bytes) is converted back into `result`. A reply too
 * long for `result` is cut to capacity - 1 characters and a terminator
 * (never half a surrogate pair) and the status stays 0.
 * @param request  the whole request line without its line feed, UTF-16,
 *                 at most 198 bytes once converted
 * @param capacity size of `result` in UTF-16 units, terminator included;
 *                 0 or less writes nothing
 * @param result   receives the reply, UTF-16, NUL-terminated
 * @par Request line
 * `hello` (orvek-host answers `R|hello`)
 * @retval 0 success, whatever the reply says
 * @retval 5..9,14 exchange statuses
 * @retval 11 the converted request passes 198 bytes
 * @retval 12 null `request`, or null `result` with `capacity` over 0
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_StringProtocolW(const wchar_t* request,
                                                     int32_t capacity,
                                                     wchar_t* result);

/* ---- Position --------------------------------------------------------- */

/**
 * @brief Sends one position fix as the command "E".
 *
 * The sentence is
 * `$AAGGAM,,DDMM.mmm,N,DDDMM.mmm,E,1,5,0,ALT,m,,,,,,,NAME,DESCRIPTION,REAL,INT*CS`
 * and CR LF, CS being the XOR of the bytes between "$" and "*".
 * Coordinates (degrees, minutes, thousandths of a minute) and altitude are
 * truncated, never rounded; -0.0 counts as north and east. Texts are copied
 * unchanged. Like every command it needs a host link set up before.
 * @param longitude_deg longitude in decimal degrees, east positive
 *                      (fields 4 and 5)
 * @param latitude_deg  latitude in decimal degrees, north positive (fields
 *                      2 and 3)
 * @param altitude_m    altitude in metres, truncated to whole metres
 *                      (field 9)
 * @param name          text of field 17; orvek-host moves (or creates) the
 *                      mobile of this name when it is not empty
 * @param description   text of field 18; orvek-host keeps it as the
 *                      mobile's description
 * @param extra_real    a number for the host, written "%f" into field 19
 *                      (a non-finite one as inf, -inf or nan); orvek-host
 *                      does not read it, orvek-feed sends the speed in knots
 * @param extra_integer a number for the host, written "%d" into field 20;
 *                      orvek-host does not read it, orvek-feed sends the
 *                      satellites used
 * @par Request line
 * `E|$AAGGAM,,4015.000,N,330.000,W,1,5,0,650,m,,,,,,,A,B,1.500000,2*64`
 * and CR LF, from (-3.5, 40.25, 650.7, "A", "B", 1.5, 2)
 * @retval 0 the host acknowledged
 * @retval 5..9,14 exchange statuses
 * @retval 11 the sentence passes 196 characters with its CR LF, or
 *         `extra_real` needs more than 49 characters; nothing is sent
 * @retval 12 a null text, or a coordinate or altitude not finite or of
 *         magnitude 2^31 or more; nothing is sent
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_NewPoint(double longitude_deg,
                                              double latitude_deg,
                                              double altitude_m,
                                              const char* name,
                                              const char* description,
                                              double extra_real,
                                              int32_t extra_integer);

/* ---- Map and view -------------------------------------------------------
 * Each command sends its letter and body and succeeds (0) when the host's
 * reply has at least 2 bytes and begins with "A"; otherwise the host link's
 * status. Passed-through texts may hold 196 bytes; the formatted bodies of
 * "I", "K", "L" and "O" 99. Longer: 11. Null text: 12. Nothing is sent
 * then. Numbers are written as "%d" and "%f" (six decimals, correctly
 * rounded, ties to even, never an exponent; -0.0 gives -0.000000); these
 * commands don't refuse non-finite values, which print as inf, -inf and
 * nan. */

/**
 * @brief Tells the host to initialise its moving map: posts 0x4522 with
 * wParam 2 to the host window; no packet, no wait.
 *
 * Runs OrvekGPSPort_Init first while no host window is known.
 * @par Request line
 * none: a window message only
 * @retval 0 posted (a failed post is not seen)
 * @retval 1,4,5..10,14 from OrvekGPSPort_Init, when it ran
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_MovingMapInit(void);

/**
 * @brief Has the host open a file (command "D").
 * @param file_name the file's name as the host reads it, 8-bit, at most
 *                  196 bytes
 * @par Request line
 * `D|track.gpx`
 * @retval 0 the host acknowledged
 * @retval 5..9,14 exchange statuses
 * @retval 11 `file_name` over 196 bytes
 * @retval 12 null `file_name`
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_OpenFile(const char* file_name);

/**
 * @brief Deletes a mobile (a moving-map entry) by name (command "H").
 * @param mobile_name the mobile's name, as OrvekGPSPort_NewPoint's `name`
 *                    gave it, at most 196 bytes
 * @par Request line
 * `H|TRUCK7`
 * @retval 0 the host acknowledged (orvek-host answers 9 for a name it
 *         doesn't know)
 * @retval 5..9,14 exchange statuses
 * @retval 11 `mobile_name` over 196 bytes
 * @retval 12 null `mobile_name`
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_DeleteMobile(const char* mobile_name);

/**
 * @brief Runs a numbered host command (command "I").
 * @param command_number the host's command number, any 32-bit value;
 *                       orvek-host only remembers it
 * @par Request line
 * `I|12`
 * @retval 0 the host acknowledged
 * @retval 5..9,14 exchange statuses
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_ExecCommand(int32_t command_number);

/**
 * @brief Sets the size of the map viewport (command "K").
 *
 * The unit is the host's; orvek-host takes pixels and draws its exported
 * map at this size (64 to 4096 each, else 640 x 480).
 * @param width  the viewport's width (orvek-host: pixels)
 * @param height the viewport's height (orvek-host: pixels)
 * @par Request line
 * `K|320,240`
 * @retval 0 the host acknowledged
 * @retval 5..9,14 exchange statuses
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_SetViewportLen(int32_t width,
                                                    int32_t height);

/**
 * @brief Centres the view on a waypoint (command "L").
 * @param waypoint_id the waypoint's id, as OrvekGPSPort_New_Waypoint gave
 *                    it; with the number at most 99 bytes
 * @param scale       the view's scale, written "%f"; the unit is the
 *                    host's (orvek-host: metres per pixel, 0 or less fits
 *                    the map to what it shows)
 * @par Request line
 * `L|WP1,2.500000`
 * @retval 0 the host acknowledged (orvek-host answers 9 for an unknown id)
 * @retval 5..9,14 exchange statuses
 * @retval 11 the body passes 99 bytes
 * @retval 12 null `waypoint_id`
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_CenterWaypoint(const char* waypoint_id,
                                                    double scale);

/**
 * @brief Centres the view on a coordinate (command "O").
 * @param longitude_deg the centre's longitude in decimal degrees, east
 *                      positive
 * @param latitude_deg  the centre's latitude in decimal degrees, north
 *                      positive
 * @param scale         the view's scale, written "%f"; the unit is the
 *                      host's (orvek-host: metres per pixel, 0 or less fits
 *                      the map to what it shows)
 * @par Request line
 * `O|2.100000,41.500000,0.000000`
 * @retval 0 the host acknowledged
 * @retval 5..9,14 exchange statuses
 * @retval 11 the body passes 99 bytes (only numbers far beyond any map's)
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_CenterCoordinate(double longitude_deg,
                                                      double latitude_deg,
                                                      double scale);

/**
 * @brief Has the host export its current view to a file (command "J").
 * @param file_name the file's name as the host reads it, at most 196
 *                  bytes; orvek-host writes a PNG for a name ending in
 *                  .png, else a BMP, a relative name beside itself
 * @par Request line
 * `J|map.png`
 * @retval 0 the host acknowledged
 * @retval 5..9,14 exchange statuses
 * @retval 11 `file_name` over 196 bytes
 * @retval 12 null `file_name`
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_ExportViewFile(const char* file_name);

/* ---- Waypoints and moving map -------------------------------------------- */

/**
 * @brief Creates a waypoint (command "M"), or has the host replace the one
 * with the same id.
 *
 * The body is "id,description,longitude,latitude,altitude,icon", numbers as
 * "%f" (non-finite ones as inf, -inf, nan). A null text is sent empty.
 * Texts are not escaped: a comma in one can't be read back whole.
 * @param id            the waypoint's id
 * @param description   the waypoint's text
 * @param longitude_deg longitude in decimal degrees, east positive
 * @param latitude_deg  latitude in decimal degrees, north positive
 * @param altitude_m    altitude in metres
 * @param icon          the name of the host's symbol for it
 * @par Request line
 * `M|WP1,Gate 3,-3.500000,40.250000,650.000000,flag`
 * @retval 0 the host acknowledged
 * @retval 5..9,14 exchange statuses
 * @retval 11 the body passes 196 characters; nothing is sent
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_New_Waypoint(const char* id,
                                                  const char* description,
                                                  double longitude_deg,
                                                  double latitude_deg,
                                                  double altitude_m,
                                                  const char* icon);

/**
 * @brief Deletes a waypoint (command "N").
 * @param id the waypoint's id, at most 196 bytes
 * @par Request line
 * `N|WP1`
 * @retval 0 the host acknowledged (orvek-host answers 9 for an unknown id)
 * @retval 5..9,14 exchange statuses
 * @retval 11 `id` over 196 bytes
 * @retval 12 null `id`
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_Delete_Waypoint(const char* id);

/**
 * @brief The number of waypoints (query "4").
 *
 * The count is read as a decimal: blanks skipped, an optional sign, the
 * digits up to the first other character (a reply without them counts 0;
 * beyond 32 bits it stops at the limit).
 * @param count receives the number of waypoints; not written on failure
 * @par Request line
 * `F|4`
 * @retval 0 success
 * @retval 1,4 from OrvekGPSPort_Init, when it ran
 * @retval 5..10,14 exchange and query statuses
 * @retval 12 null `count`
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_Get_WaypointCount(int32_t* count);

/**
 * @brief Reads one waypoint (query "2,index").
 *
 * Reads "id,description,longitude,latitude,altitude,icon" (the form of the
 * "M" body) out of the reply, field by field from the left, each stored
 * once the comma after it is found; the icon runs to a further comma or the
 * end. Nothing is trimmed, so a text holding a comma can't be read back
 * whole. Numbers: blanks, sign, decimal digits with point and exponent, as
 * far as they go (else 0.0). Out-parameters filled before a failing field
 * keep their new values; a failed query writes none.
 * @param index         the waypoint's position in the host's list
 *                      (orvek-host: from 0, in creation order)
 * @param id            receives the id; ORVEKPORT_WAYPOINT_TEXT_SIZE bytes
 * @param description   receives the text; ORVEKPORT_WAYPOINT_TEXT_SIZE
 *                      bytes
 * @param longitude_deg receives the longitude in decimal degrees
 * @param latitude_deg  receives the latitude in decimal degrees
 * @param altitude_m    receives the altitude in metres
 * @param icon          receives the icon's name;
 *                      ORVEKPORT_WAYPOINT_TEXT_SIZE bytes
 * @par Request line
 * `F|2,0`
 * @retval 0 success
 * @retval 1,4 from OrvekGPSPort_Init, when it ran
 * @retval 5..10,14 exchange and query statuses (9: orvek-host has no
 *         waypoint at `index`)
 * @retval 5..9 ORVEKPORT_E_NO_COMMA_AFTER_FIELD1 to 5: the reply has fewer
 *         than six fields
 * @retval 11 a text field is longer than its buffer (not written)
 * @retval 12 a null out-parameter (nothing sent)
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_Get_Waypoint(int32_t index, char* id,
                                                  char* description,
                                                  double* longitude_deg,
                                                  double* latitude_deg,
                                                  double* altitude_m,
                                                  char* icon);

/**
 * @brief The number of mobiles (moving-map entries) (query "2").
 * @par Request line
 * `F|2`
 * @return the count, read as by OrvekGPSPort_Get_WaypointCount, or -1 on
 *         any failure (a host answer of -1 looks the same)
 */
int32_t ORVEKPORT_CALL OrvekGPSPort_GetMovingMapCount(void);

/**
 * @brief Reads one mobile's position record (query "3,index").
 *
 * Reads up to text_size + 100 reply bytes: the record
 * "latitude,longitude,altitude,name,description". The first field, the
 * latitude, is the second double parameter. The description runs up to a
 * further comma or the end, line end included. Values stored before a
 * failing step keep their new values; a failed query writes none.
 * @param index         the mobile's position in the host's list
 *                      (orvek-host: from 0)
 * @param name          receives field 4, the mobile's name; `text_size`
 *                      bytes
 * @param longitude_deg receives field 2, the longitude in decimal degrees
 * @param latitude_deg  receives field 1, the latitude in decimal degrees
 * @param altitude_m    receives field 3, the altitude in metres
 * @param text_size     size in bytes of `name` and of `description`
 * @param description   receives field 5, the mobile's description;
 *                      `text_size` bytes
 * @par Request line
 * `F|3,0`
 * @retval 0 success
 * @retval 1,4 from OrvekGPSPort_Init, when it ran
 * @retval 5..10,14 exchange and query statuses (9: orvek-host has no
 *         mobile at `index`)
 * @retval 5..8 ORVEKPORT_E_NO_COMMA_AFTER_FIELD1 to 4: the record ended
 *         early
 * @retval 11 a text field needs more than text_size - 1 bytes (that buffer
 *         is not written)
 * @retval 12 a null pointer (nothing sent)
 * @retval 13 no memory for the reply buffer
 */
uint32_t ORVEKPORT_CALL OrvekGPSPort_GetMovingMapPosition(
    int32_t index, char* name, double* longitude_deg, double* latitude_deg,
    double* altitude_m, uint32_t text_size, char* description);

/* ---- Device services -----------------------------------------------------
 * The ItvCe result convention: argument 1 is ignored; the result's length in
 * bytes goes to *length and its address to *result. The result lies in a
 * static buffer of the library, valid until the next call of the same
 * export; the caller neither frees nor writes it. The return value is
 * always 0. On 64-bit builds arguments 2 to 4 are 64-bit pointers. A null
 * `length` or `result` is skipped. Neither export needs the host. */

/**
 * @brief A stable identifier of the device, with its NUL.
 *
 * Worked out once per process and cached, from the first source that
 * yields one: the device asset tool (while nothing is cached, a call runs
 * \\windows\\CreateAssetFile.exe of the current drive and waits for it
 * without a time limit), the hardware device id, the registry value
 * ClientHWID, or "QK508-316", which is cached too. A ClientHWID value
 * shorter than 4 bytes counts as unreadable. A source too short for the
 * identifier gives an empty one (length 1), which is not cached.
 * @param reserved ignored
 * @param input    ignored
 * @param length   receives the identifier's length in bytes, NUL included
 * @param result   receives the address of the identifier, an 8-bit
 *                 NUL-terminated text in a static buffer of the library
 * @par Request line
 * none: the host is not asked
 * @return Always 0.
 */
uint32_t ORVEKPORT_CALL GetPocketIDItvCe(uint32_t reserved, const void* input,
                                         uint32_t* length,
                                         const void** result);

/**
 * @brief The free bytes of a volume, as a 12-byte record.
 *
 * The record, little-endian: uint32 success (1/0), then the free bytes
 * available to the caller on the volume of `path` as uint64 (low word
 * first, 4-byte aligned). After a failure the count is the latest
 * successful one (0 if none).
 * @param reserved ignored
 * @param path     a path on the volume, UTF-16, passed to
 *                 GetDiskFreeSpaceExW unchanged
 * @param length   receives the record's length in bytes, 12
 * @param result   receives the address of the record, in a static buffer
 *                 of the library
 * @par Request line
 * none: the host is not asked
 * @return Always 0; the record's first word says whether the query worked.
 */
uint32_t ORVEKPORT_CALL GetDiskFreeSpaceItvCe(uint32_t reserved,
                                              const wchar_t* path,
                                              uint32_t* length,
                                              const void** result);

#ifdef __cplusplus
}
#endif

#endif /* ORVEKPORT_ORVEKPORT_H */
