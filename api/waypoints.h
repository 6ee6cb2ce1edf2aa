// Waypoints: create, delete, count and read back through the host.
#pragma once

#include <cstddef>
#include <cstdint>

#include "OrvekPORT/OrvekPORT.h"
#include "hostlink/status.h"
#include "platform/platform.h"

namespace orvek::api {

// Each text buffer that GetWaypoint fills holds this many bytes.
inline constexpr std::size_t kWaypointTextSize = ORVEKPORT_WAYPOINT_TEXT_SIZE;

// "M|id,text,value1,value2,value3,icon"; a null text is sent empty.
// 11 when the body passes 196 characters (nothing sent); else SendCommand's
// status.
StatusCode NewWaypoint(platform::Platform& os, const char* id,
                       const char* text, double value1, double value2,
                       double value3, const char* icon);

// "N|waypoint": 12 null text, 11 over 196 bytes; else SendCommand's status.
StatusCode DeleteWaypoint(platform::Platform& os, const char* waypoint);

// Query "4" into `*count` (see ParseCount). 12 null `count`; a failed query
// returns its status and leaves `*count` alone.
StatusCode GetWaypointCount(platform::Platform& os, std::int32_t* count);

// Query "2,index", answered with the waypoint in the form of the "M" body:
// "id,text,value1,value2,value3,icon". Fields are stored in that order, each
// once the comma after it is found; the last runs to a comma or the end and
// nothing is trimmed. 5 to 9 when the comma after field 1 to 5 is missing,
// 11 when a text field needs more than kWaypointTextSize bytes with its NUL;
// what was stored before stays. 12 when an out-parameter is null; a failed
// query returns its status and writes nothing.
StatusCode GetWaypoint(platform::Platform& os, std::int32_t index, char* id,
                       char* text, double* value1, double* value2,
                       double* value3, char* icon);

}  // namespace orvek::api
