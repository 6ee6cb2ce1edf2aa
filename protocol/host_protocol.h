// What the library, the host application and the tools agree on: the names,
// numbers, files, time-outs and limits of the link between a caller and the
// host. It depends on nothing but the public header's limits, so the
// library, the host emulator, the client, the benchmark and the Wine tests
// all take these facts from here and a change is one edit. (The unit tests'
// fake host keeps its own copy: it is the independent check of this one.)
#pragma once

#include <cstddef>
#include <cstdint>

#include "OrvekPORT/OrvekPORT.h"

namespace orvek::protocol {

// Where the host application says it is installed (HKEY_LOCAL_MACHINE).
inline constexpr char16_t kHostRegistryKey[] = u"SOFTWARE\\OrvekGPS\\General";
inline constexpr char16_t kHostPathValue[] = u"Path_EXE";

// The host's main window, looked up by class alone.
inline constexpr char16_t kHostWindowClass[] = u"ORVEKPOCKETMAINW";

// Packet files in the host directory: the library writes the request, the
// host application answers in the reply.
inline constexpr char16_t kRequestFileName[] = u"\\PACKETTX.DAT";
inline constexpr char16_t kReplyFileName[] = u"\\PACKETRX.DAT";

// Posted to the host window. 15 announces a request in the request file;
// 2 asks the host to initialise its moving map and is never answered.
inline constexpr std::uint32_t WM_PORT_REQUEST = 0x4522;
inline constexpr std::uintptr_t PORT_WPARAM_PACKET = 15;
inline constexpr std::uintptr_t PORT_WPARAM_MOVINGMAP_INIT = 2;

// Named auto-reset event that the host sets once its reply file is closed.
inline constexpr char16_t kReplyEventName[] = u"EventOrvekAPI";

// How long an exchange waits for the host's signal.
inline constexpr std::uint32_t kReplyWaitMs = 3000;

// A request line is composed in 200 bytes with its NUL: 199 bytes of line,
// line feed included, so 196 bytes of body behind a letter and its "|".
inline constexpr std::size_t kMaxRequestLine = ORVEKPORT_REQUEST_LINE_MAX;
inline constexpr std::size_t kRequestLineBuffer = kMaxRequestLine + 1;
inline constexpr std::size_t kMaxCommandBody = ORVEKPORT_COMMAND_BODY_MAX;
inline constexpr std::size_t kMaxRawRequest = ORVEKPORT_RAW_REQUEST_MAX;

// Request prefixes: a command letter, or the query letter, then "|" and a
// body ("O|2.100000,41.500000,0.000000", "F|4"). A raw request has none.
inline constexpr char kOpenFileCommand[] = "D";
inline constexpr char kPositionFixCommand[] = "E";
inline constexpr char kDeleteMobileCommand[] = "H";
inline constexpr char kExecCommand[] = "I";
inline constexpr char kExportViewCommand[] = "J";
inline constexpr char kViewportCommand[] = "K";
inline constexpr char kCenterWaypointCommand[] = "L";
inline constexpr char kNewWaypointCommand[] = "M";
inline constexpr char kDeleteWaypointCommand[] = "N";
inline constexpr char kCenterCoordinateCommand[] = "O";
inline constexpr char kQueryLetter[] = "F";

// Answers: a command's begins with "A" ("A|created"), a query's with "G"
// and carries its result after the first "|" ("G|12").
inline constexpr char kCommandAcknowledged = 'A';
inline constexpr char kQueryAnswered = 'G';
inline constexpr char kResultSeparator = '|';

// The queries whose results the library reads: the counts of mobiles and
// waypoints, and the records of both, asked for with an index after the
// prefix ("2,5", "3,0").
inline constexpr char kMobileCountQuery[] = "2";
inline constexpr char kWaypointCountQuery[] = "4";
inline constexpr char kWaypointRecordQuery[] = "2,";
inline constexpr char kMobileRecordQuery[] = "3,";

// The most reply bytes the library reads of an exchange it sizes itself:
// every command's and raw request's reply, a waypoint's record. Callers of
// the query export choose their own capacity.
inline constexpr std::uint32_t kReplyCapacity = 1000;
inline constexpr std::uint32_t kCommandReplyCapacity = kReplyCapacity;
// A query's reply buffer holds this many bytes beyond its capacity: the
// exchange's NUL goes right after the last byte read.
inline constexpr std::uint32_t kQueryReplySpare = 10;

// The handshake: the query "0", its reply read into 20 bytes.
inline constexpr char kHandshakeQuery[] = "0";
inline constexpr std::uint32_t kHandshakeCapacity = 20;

// After starting the host, its window is looked for every 100 ms for 10 s.
inline constexpr std::uint32_t kHostStartPollIntervalMs = 100;
inline constexpr std::uint32_t kHostStartPollMs = 10000;

// What callers of the library share besides the host's own names. Init and
// exchanges are serialised by a named mutex.
inline constexpr char16_t kExchangeLockName[] = u"OrvekPORT.ExchangeLock";
// How long the next call waits for the answer to a post that is still
// owed, and how long a host's window may take to show that its thread is
// back at its messages (a message that does nothing, sent twice: a host
// between messages answers it at once).
inline constexpr std::uint32_t kOwedAnswerWaitMs = 3000;
inline constexpr std::uint32_t kIdleProbeMs = 250;
// The longest that settling an owed post takes: two rounds of two probes
// around the wait for its answer.
inline constexpr std::uint32_t kSettleMaxMs =
    kOwedAnswerWaitMs + 4 * kIdleProbeMs;
// A caller waits for the lock as long as the longest holder can keep it: an
// Init that starts the host and polls for its window, settles an owed post
// and waits for the handshake's answer.
inline constexpr std::uint32_t kLockWaitMs =
    kHostStartPollMs + kSettleMaxMs + kReplyWaitMs + 1000;
// The record of a post the host has not answered yet, beside the packet
// files.
inline constexpr char16_t kLinkFileName[] = u"\\OrvekPORT.link";

}  // namespace orvek::protocol
