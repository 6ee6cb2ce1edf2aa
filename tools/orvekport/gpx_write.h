// Writes waypoints as a GPX 1.1 file, whole or not at all.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvek::cli {

// One <wpt> to write; texts in UTF-8, an empty one is left out.
struct GpxPoint {
  double latitude = 0, longitude = 0;
  std::optional<double> elevation;
  std::string name, description, symbol;
};

// The GPX 1.1 document: the points as <wpt>s in order, texts escaped,
// numbers with every digit of their double.
std::string gpx_document(const std::vector<GpxPoint>& points);

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path`, so that a failure leaves the old file or none, never half of
// one. False with what failed in *error.
bool write_file_whole(const std::wstring& path, const std::string& bytes,
                      std::string* error);

}  // namespace orvek::cli
