// GPX files in and out: the actions "waypoint import", "waypoint export"
// and "mobiles export" of commands_waypoints.cpp's rows.
#pragma once

#include "tools/orvekport/run.h"

namespace orvek::cli {

// "import FILE.gpx [--replace]": every <wpt>, checked whole before any is
// sent.
int waypoint_import(Run& run);
// "export FILE.gpx": every waypoint of the host.
int waypoint_export(Run& run);
// "export FILE.gpx": every moving-map entry, texts read into buffers of
// --text-size bytes.
int mobiles_export(Run& run);

}  // namespace orvek::cli
