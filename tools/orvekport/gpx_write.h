// Waypoints as a GPX 1.1 document. Plain C++; the System writes it whole or
// not at all.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvek::cli {

// One <wpt> to write; texts in UTF-8, an empty one is left out. The symbol
// is a waypoint's icon, the name the library and the host know it by.
struct GpxPoint {
  double latitude = 0, longitude = 0;
  std::optional<double> elevation;
  std::string name, description, symbol;
};

// The GPX 1.1 document: the points as <wpt>s in order, texts escaped,
// numbers as the shortest text that reads back as the same double.
std::string gpx_document(const std::vector<GpxPoint>& points);

}  // namespace orvek::cli
