// Commands that steer the host's map view, and the moving-map init message.
#pragma once

#include <cstddef>
#include <cstdint>

#include "OrvekPORT/OrvekPORT.h"
#include "hostlink/status.h"
#include "platform/platform.h"

namespace orvek::api {

// The bodies of "I", "K", "L" and "O" are composed in 100 bytes: at most 99
// characters. Passed-through texts ("D", "H", "J", "N") may use the whole
// command body of 196.
inline constexpr std::size_t kFormattedBodyRoom =
    ORVEKPORT_FORMATTED_BODY_MAX + 1;

// Posts WM_PORT_REQUEST with PORT_WPARAM_MOVINGMAP_INIT to the host window;
// no packet, no wait, the post's outcome is not looked at. Runs Init first
// while no host window is known and returns its failure, posting nothing.
StatusCode MovingMapInit(platform::Platform& os);

// "D|fileName", "H|mobileName", "J|fileName": the text unchanged.
// 12 null text, 11 over 196 bytes; else SendCommand's status.
StatusCode OpenFile(platform::Platform& os, const char* fileName);
StatusCode DeleteMobile(platform::Platform& os, const char* mobileName);
StatusCode ExportViewFile(platform::Platform& os, const char* fileName);

// "I|12", "K|320,-240": SendCommand's status.
StatusCode ExecCommand(platform::Platform& os, std::int32_t command);
StatusCode SetViewportLen(platform::Platform& os, std::int32_t len1,
                          std::int32_t len2);

// "L|WP1,2.500000": 12 null waypoint, 11 body over 99 characters.
StatusCode CenterWaypoint(platform::Platform& os, const char* waypoint,
                          double value);
// "O|2.100000,41.500000,0.000000": 11 body over 99 characters.
StatusCode CenterCoordinate(platform::Platform& os, double value1,
                            double value2, double value3);

// Sends `text` unchanged as the body of command `letter`: 12 null text, 11
// over 196 bytes (nothing sent then); else SendCommand's status.
StatusCode SendTextCommand(platform::Platform& os, const char* letter,
                           const char* text);

}  // namespace orvek::api
