// GPX files in and out, the actions "waypoint import", "waypoint export"
// and "mobiles export"; each finishes `report` and returns the exit code.
#pragma once

#include <cstdint>

#include "tools/orvekport/arguments.h"
#include "tools/orvekport/report.h"

namespace orvek::cli {

// "import FILE.gpx [--replace] [--force]".
int waypoint_import(Report& report, Arguments& args, const char* usage);
// "export FILE.gpx": every waypoint of the host.
int waypoint_export(Report& report, Arguments& args, const char* usage);
// "export FILE.gpx": every moving-map entry, texts read into buffers of
// `text_size` bytes.
int mobiles_export(Report& report, Arguments& args, const char* usage,
                   std::int64_t text_size);

}  // namespace orvek::cli
