#include "map_picture.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "map_font.h"

namespace orvek::host {
namespace {

// Metres per degree of latitude, and of longitude at the equator, on a
// sphere of the mean Earth radius: ample for a preview.
constexpr double kMetresPerDegree = 111195.0;
constexpr double kPi = 3.14159265358979323846;
// Room kept around the content when the scale is fitted: a marker and the
// first letters of its label.
constexpr int kFitMarginPixels = 48;
// The finest scale a fitted view takes, so a single fix is not a blur of
// infinite zoom; 0.05 m is below any receiver's resolution.
constexpr double kFinestMetresPerPixel = 0.05;
// The scale when there is nothing to fit.
constexpr double kEmptyMetresPerPixel = 10;

constexpr uint32_t kBorderColour = 0xA0A0A0;
constexpr uint32_t kTextColour = 0x000000;

double metres_per_degree_east(double latitude) {
  return kMetresPerDegree * std::cos(latitude * kPi / 180.0);
}

class Canvas {
 public:
  explicit Canvas(Raster* raster) : r_(*raster) {}
  void put(int x, int y, uint32_t colour) {
    if (x < 0 || y < 0 || x >= r_.width || y >= r_.height) return;
    uint8_t* p = &r_.rgb[(static_cast<std::size_t>(y) * r_.width + x) * 3];
    p[0] = static_cast<uint8_t>(colour >> 16);
    p[1] = static_cast<uint8_t>(colour >> 8);
    p[2] = static_cast<uint8_t>(colour);
  }
  void fill_rect(int x0, int y0, int x1, int y1, uint32_t colour) {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) put(x, y, colour);
  }
  // Two pixels wide, so a track stays visible when scaled down.
  void line(int x0, int y0, int x1, int y1, uint32_t colour) {
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1, error = dx + dy;
    for (;;) {
      fill_rect(x0, y0, x0 + 1, y0 + 1, colour);
      if (x0 == x1 && y0 == y1) return;
      int e2 = 2 * error;
      if (e2 >= dy) {
        error += dy;
        x0 += sx;
      }
      if (e2 <= dx) {
        error += dx;
        y0 += sy;
      }
    }
  }
  void text(int x, int y, const std::string& text, uint32_t colour) {
    for (char c : text) {
      const uint8_t* rows = glyph_rows(c);
      for (int row = 0; row < kGlyphHeight; ++row)
        for (int col = 0; col < kGlyphWidth; ++col)
          if (rows[row] & (0x10 >> col)) put(x + col, y + row, colour);
      x += kGlyphWidth + 1;
    }
  }

 private:
  Raster& r_;
};

// Lines too far outside the picture are not drawn: their pixel walk could
// be endless at a fine scale.
bool near_picture(double x, double y, const MapView& view) {
  double reach = 4.0 * (view.width + view.height);
  return std::fabs(x) < reach && std::fabs(y) < reach;
}

// "200 m", "5 km": the longest of 1, 2 or 5 times a power of ten that
// takes at most a quarter of the width.
void draw_scale_bar(Canvas& canvas, const MapView& view) {
  double max_metres = view.metres_per_pixel * view.width / 4.0;
  double power = std::pow(10.0, std::floor(std::log10(max_metres)));
  double metres = power;
  for (double step : {2.0, 5.0})
    if (power * step <= max_metres) metres = power * step;
  int pixels = static_cast<int>(std::lround(metres / view.metres_per_pixel));
  int x0 = 10, y0 = view.height - 12;
  canvas.fill_rect(x0, y0, x0 + pixels, y0 + 1, kTextColour);
  canvas.fill_rect(x0, y0 - 4, x0, y0 + 1, kTextColour);
  canvas.fill_rect(x0 + pixels, y0 - 4, x0 + pixels, y0 + 1, kTextColour);
  char label[32];
  if (metres >= 1000)
    std::snprintf(label, sizeof label, "%g km", metres / 1000);
  else
    std::snprintf(label, sizeof label, "%g m", metres);
  canvas.text(x0 + pixels + 6, y0 - 5, label, kTextColour);
}

void put_u16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put_u32(std::string& out, uint32_t v) {
  put_u16(out, v & 0xFFFF);
  put_u16(out, v >> 16);
}
void put_u32_be(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void png_chunk(std::string& out, const char type[4], const std::string& data) {
  put_u32_be(out, static_cast<uint32_t>(data.size()));
  std::string typed = std::string(type, 4) + data;
  out += typed;
  put_u32_be(out, static_cast<uint32_t>(crc32(
                      0, reinterpret_cast<const Bytef*>(typed.data()),
                      static_cast<uInt>(typed.size()))));
}

}  // namespace

double MapView::x(double longitude) const {
  return width / 2.0 + (longitude - centre.longitude) *
                           metres_per_degree_east(centre.latitude) / metres_per_pixel;
}
double MapView::y(double latitude) const {
  return height / 2.0 - (latitude - centre.latitude) * kMetresPerDegree / metres_per_pixel;
}

uint32_t Raster::at(int x, int y) const {
  const uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
  return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

MapView fit_view(const MapContent& content) {
  MapView view;
  bool sized = content.width >= kMinMapSide && content.width <= kMaxMapSide &&
               content.height >= kMinMapSide && content.height <= kMaxMapSide;
  view.width = sized ? content.width : kDefaultMapWidth;
  view.height = sized ? content.height : kDefaultMapHeight;

  std::vector<GeoPoint> points = content.track;
  for (const MapLabelled& w : content.waypoints) points.push_back(w.at);
  for (const MapLabelled& m : content.mobiles) points.push_back(m.at);
  if (content.centre) {
    view.centre = *content.centre;
  } else if (!points.empty()) {
    auto [south, north] = std::minmax_element(
        points.begin(), points.end(),
        [](const GeoPoint& a, const GeoPoint& b) { return a.latitude < b.latitude; });
    auto [west, east] = std::minmax_element(
        points.begin(), points.end(),
        [](const GeoPoint& a, const GeoPoint& b) { return a.longitude < b.longitude; });
    view.centre = {(south->latitude + north->latitude) / 2,
                   (west->longitude + east->longitude) / 2};
  }
  if (content.metres_per_pixel > 0) {
    view.metres_per_pixel = content.metres_per_pixel;
    return view;
  }
  if (points.empty()) {
    view.metres_per_pixel = kEmptyMetresPerPixel;
    return view;
  }
  double east_scale = metres_per_degree_east(view.centre.latitude);
  double half_width = std::max(1, view.width / 2 - kFitMarginPixels);
  double half_height = std::max(1, view.height / 2 - kFitMarginPixels);
  double scale = kFinestMetresPerPixel;
  for (const GeoPoint& p : points) {
    scale = std::max(scale, std::fabs(p.longitude - view.centre.longitude) * east_scale /
                                half_width);
    scale = std::max(scale, std::fabs(p.latitude - view.centre.latitude) *
                                kMetresPerDegree / half_height);
  }
  view.metres_per_pixel = scale;
  return view;
}

Raster draw_map(const MapContent& content, const MapView& view) {
  Raster raster;
  raster.width = view.width;
  raster.height = view.height;
  raster.rgb.resize(static_cast<std::size_t>(view.width) * view.height * 3);
  Canvas canvas(&raster);
  canvas.fill_rect(0, 0, view.width - 1, view.height - 1, kBackgroundColour);
  canvas.fill_rect(0, 0, view.width - 1, 0, kBorderColour);
  canvas.fill_rect(0, view.height - 1, view.width - 1, view.height - 1, kBorderColour);
  canvas.fill_rect(0, 0, 0, view.height - 1, kBorderColour);
  canvas.fill_rect(view.width - 1, 0, view.width - 1, view.height - 1, kBorderColour);

  auto px = [&](const GeoPoint& p) { return static_cast<int>(std::lround(view.x(p.longitude))); };
  auto py = [&](const GeoPoint& p) { return static_cast<int>(std::lround(view.y(p.latitude))); };

  // Bottom to top: centre, track, fixes, waypoints, mobiles, labels, scale.
  if (content.centre) {
    int x = px(*content.centre), y = py(*content.centre);
    canvas.fill_rect(x - 8, y, x + 8, y, kCentreColour);
    canvas.fill_rect(x, y - 8, x, y + 8, kCentreColour);
  }
  for (std::size_t i = 1; i < content.track.size(); ++i) {
    double x0 = view.x(content.track[i - 1].longitude), y0 = view.y(content.track[i - 1].latitude);
    double x1 = view.x(content.track[i].longitude), y1 = view.y(content.track[i].latitude);
    if (near_picture(x0, y0, view) && near_picture(x1, y1, view))
      canvas.line(static_cast<int>(std::lround(x0)), static_cast<int>(std::lround(y0)),
                  static_cast<int>(std::lround(x1)), static_cast<int>(std::lround(y1)),
                  kTrackColour);
  }
  for (const GeoPoint& fix : content.track) {
    int x = px(fix), y = py(fix);
    canvas.fill_rect(x - 1, y - 1, x + 1, y + 1, kFixColour);
  }
  for (const MapLabelled& w : content.waypoints) {
    int x = px(w.at), y = py(w.at);
    canvas.fill_rect(x - 4, y - 4, x + 4, y + 4, kWaypointColour);
  }
  for (const MapLabelled& m : content.mobiles) {
    int x = px(m.at), y = py(m.at);
    for (int dy = -5; dy <= 5; ++dy) {
      int half = 5 - std::abs(dy);
      canvas.fill_rect(x - half, y + dy, x + half, y + dy, kMobileColour);
    }
  }
  for (const auto* list : {&content.waypoints, &content.mobiles})
    for (const MapLabelled& item : *list)
      canvas.text(px(item.at) + 8, py(item.at) - 3, item.name, kTextColour);
  draw_scale_bar(canvas, view);
  return raster;
}

std::string encode_bmp(const Raster& raster) {
  const uint32_t row_bytes = (static_cast<uint32_t>(raster.width) * 3 + 3) & ~3u;
  const uint32_t pixel_bytes = row_bytes * static_cast<uint32_t>(raster.height);
  const uint32_t header_bytes = 14 + 40;
  std::string out;
  out.reserve(header_bytes + pixel_bytes);
  out += "BM";
  put_u32(out, header_bytes + pixel_bytes);
  put_u32(out, 0);
  put_u32(out, header_bytes);
  put_u32(out, 40);  // BITMAPINFOHEADER
  put_u32(out, static_cast<uint32_t>(raster.width));
  put_u32(out, static_cast<uint32_t>(raster.height));  // positive: bottom-up
  put_u16(out, 1);
  put_u16(out, 24);
  put_u32(out, 0);  // BI_RGB
  put_u32(out, pixel_bytes);
  put_u32(out, 2835);  // 72 dpi in pixels per metre
  put_u32(out, 2835);
  put_u32(out, 0);
  put_u32(out, 0);
  for (int y = raster.height - 1; y >= 0; --y) {
    std::size_t start = out.size();
    for (int x = 0; x < raster.width; ++x) {
      const uint8_t* p = &raster.rgb[(static_cast<std::size_t>(y) * raster.width + x) * 3];
      out.push_back(static_cast<char>(p[2]));
      out.push_back(static_cast<char>(p[1]));
      out.push_back(static_cast<char>(p[0]));
    }
    out.append(row_bytes - (out.size() - start), '\0');
  }
  return out;
}

std::string encode_png(const Raster& raster) {
  // Each row: filter type 0 (none), then its RGB bytes.
  std::string rows;
  std::size_t row_bytes = static_cast<std::size_t>(raster.width) * 3;
  rows.reserve((row_bytes + 1) * raster.height);
  for (int y = 0; y < raster.height; ++y) {
    rows.push_back('\0');
    rows.append(reinterpret_cast<const char*>(&raster.rgb[y * row_bytes]), row_bytes);
  }
  uLongf packed_size = compressBound(static_cast<uLong>(rows.size()));
  std::string packed(packed_size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packed_size,
                reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size()),
                Z_BEST_COMPRESSION) != Z_OK)
    return {};
  packed.resize(packed_size);

  std::string out("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  put_u32_be(header, static_cast<uint32_t>(raster.width));
  put_u32_be(header, static_cast<uint32_t>(raster.height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, no interlace
  png_chunk(out, "IHDR", header);
  png_chunk(out, "IDAT", packed);
  png_chunk(out, "IEND", "");
  return out;
}

std::string map_file_bytes(const MapContent& content, const std::string& file_name) {
  Raster raster = draw_map(content, fit_view(content));
  std::string lower = file_name;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  bool png = lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".png") == 0;
  return png ? encode_png(raster) : encode_bmp(raster);
}

}  // namespace orvek::host
