// One <wpt> of a GPX file as the client reads it (gpx_read.cpp, with the
// system's XML reader) and checks it for the host (commands_gpx.cpp).
#pragma once

#include <optional>
#include <string>

namespace orvek::cli {

// Texts in UTF-8 as the file gave them (entities resolved).
struct GpxWaypoint {
  unsigned line = 0;  // where its <wpt> starts, for messages
  double latitude = 0, longitude = 0;
  std::optional<double> elevation;  // <ele>
  std::optional<std::string> name, description, comment, symbol;
};

}  // namespace orvek::cli
