// The emulator's map: a picture of what its model holds, drawn on the
// export command "J|FILE". Plain C++; the PNG encoder uses zlib.
//
// Projection: equirectangular around the view's centre, x east and y south,
// one scale in metres per pixel on both axes (longitude shrunk by the
// cosine of the centre's latitude).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvek::host {

struct GeoPoint {
  double latitude = 0, longitude = 0;
};

struct MapLabelled {
  GeoPoint at;
  std::string name;
};

// What is drawn, taken from the model.
struct MapContent {
  std::vector<GeoPoint> track;           // fixes in the order received
  std::vector<MapLabelled> waypoints;
  std::vector<MapLabelled> mobiles;
  std::optional<GeoPoint> centre;        // the view's centre, when set
  double metres_per_pixel = 0;           // 0: fit to the content
  int width = 0, height = 0;             // 0: the default size
};

struct MapView {
  int width = 0, height = 0;
  GeoPoint centre;
  double metres_per_pixel = 1;
  // Pixel coordinates of a point (may fall outside the picture).
  double x(double longitude) const;
  double y(double latitude) const;
};

// The default picture and the limits of a viewport's size.
inline constexpr int kDefaultMapWidth = 640, kDefaultMapHeight = 480;
inline constexpr int kMinMapSide = 64, kMaxMapSide = 4096;

// The view that shows all the content (with a margin) around its centre:
// the set centre, or the middle of what there is.
MapView fit_view(const MapContent& content);

// 8-bit RGB, rows top to bottom.
struct Raster {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  uint32_t at(int x, int y) const;  // 0xRRGGBB
};

// Marker colours, for the picture and for whoever reads it back.
inline constexpr uint32_t kTrackColour = 0x1F4FD0;
inline constexpr uint32_t kFixColour = 0x0A1E64;
inline constexpr uint32_t kWaypointColour = 0xD01F1F;
inline constexpr uint32_t kMobileColour = 0x108A2A;
inline constexpr uint32_t kCentreColour = 0xC000C0;
inline constexpr uint32_t kBackgroundColour = 0xFFFFFF;

Raster draw_map(const MapContent& content, const MapView& view);

// Uncompressed 24-bit BMP, and PNG (8-bit RGB, zlib-compressed).
std::string encode_bmp(const Raster& raster);
std::string encode_png(const Raster& raster);

// The picture for a file name: PNG when it ends in ".png" (any case).
std::string map_file_bytes(const MapContent& content, const std::string& file_name);

}  // namespace orvek::host
