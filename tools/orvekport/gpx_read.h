// Reads the waypoints of a GPX 1.0 or 1.1 file with Windows' XmlLite.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/orvekport/gpx_waypoint.h"

namespace orvek::cli {

// Every <wpt> directly under the root <gpx> of the file at `path`, in file
// order. The root must be <gpx> in the namespace of GPX 1.0 or 1.1, the
// XML well-formed to its end, and every <wpt> carry lat and lon as decimal
// degrees in range. Anything else gives nothing and *error says what and
// where ("line 4, column 7: ...").
std::optional<std::vector<GpxWaypoint>> read_gpx_waypoints(
    const std::wstring& path, std::string* error);

}  // namespace orvek::cli
