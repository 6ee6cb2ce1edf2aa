// The emulator's exported map, decoded back from its BMP bytes: markers
// must stand where their coordinates project. The PNG encoding itself is
// decoded and checked by the picture step of tests/feed/feed-tests.sh.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "host_model.h"

namespace orvek::host {
namespace {

uint32_t le(const std::string& b, std::size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}
// A 24-bit bottom-up BMP, as any viewer reads it.
Raster decode_bmp(const std::string& b) {
  Raster r;
  if (b.size() < 54 || b.substr(0, 2) != "BM" || le(b, 28, 2) != 24) return r;
  uint32_t offset = le(b, 10, 4);
  r.width = static_cast<int>(le(b, 18, 4));
  r.height = static_cast<int>(le(b, 22, 4));
  std::size_t row = (static_cast<std::size_t>(r.width) * 3 + 3) & ~std::size_t{3};
  if (b.size() < offset + row * r.height || le(b, 2, 4) != b.size()) return Raster{};
  r.rgb.resize(static_cast<std::size_t>(r.width) * r.height * 3);
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x)
      for (int c = 0; c < 3; ++c)
        r.rgb[(static_cast<std::size_t>(y) * r.width + x) * 3 + c] = static_cast<uint8_t>(
            b[offset + (r.height - 1 - y) * row + x * 3 + (2 - c)]);
  return r;
}

struct Exported {
  std::string name, bytes;
};

HostModel model_exporting_to(Exported* exported) {
  HostModel model;
  model.set_file_writer([exported](const std::string& name, const std::string& bytes) {
    *exported = {name, bytes};
    return std::string();
  });
  return model;
}

int rx(const MapView& v, double lon) { return static_cast<int>(std::lround(v.x(lon))); }
int ry(const MapView& v, double lat) { return static_cast<int>(std::lround(v.y(lat))); }

// A track of three fixes, a waypoint and a mobile, fitted to the default
// picture: each marker where its coordinates project.
TEST(MapPicture, FittedPictureHoldsEveryMarker) {
  Exported exported;
  HostModel model = model_exporting_to(&exported);
  // Unnamed fixes make no mobile; the named one moves mobile "TRUCK".
  ASSERT_EQ(model.answer("E|$AAGGAM,,3238.900,N,10822.400,W,1,5,0,100,m,,,,,,,,t,0.000000,5*1C\r\n\n"),
            "A|fix 1");
  ASSERT_EQ(model.answer("E|$AAGGAM,,3239.500,N,10822.900,W,1,5,0,100,m,,,,,,,,t,0.000000,5*1C\r\n\n"),
            "A|fix 2");
  ASSERT_EQ(model.answer("E|$AAGGAM,,3240.100,N,10821.700,W,1,5,0,100,m,,,,,,,,t,0.000000,5*1B\r\n\n"),
            "A|fix 3");
  ASSERT_EQ(model.answer("E|$AAGGAM,,3238.000,N,10823.500,W,1,5,0,100,m,,,,,,,TRUCK,t,0.000000,5*4E\r\n\n"),
            "A|fix 4");
  ASSERT_EQ(model.answer("M|WP1,camp,-108.3500,32.6600,1500,flag\n"), "A|created");

  MapContent content = model.map_content();
  MapView view = fit_view(content);
  EXPECT_EQ(view.width, kDefaultMapWidth);
  EXPECT_EQ(view.height, kDefaultMapHeight);
  // The extension picks the format, in any case.
  ASSERT_EQ(model.answer("J|map.PNG\n"), "A|exported");
  EXPECT_EQ(exported.name, "map.PNG");
  EXPECT_EQ(exported.bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  ASSERT_EQ(model.answer("J|map.bmp\n"), "A|exported");
  Raster r = decode_bmp(exported.bytes);
  ASSERT_EQ(r.width, view.width);
  ASSERT_EQ(r.height, view.height);
  for (const GeoPoint& fix : content.track) {
    int x = rx(view, fix.longitude), y = ry(view, fix.latitude);
    ASSERT_TRUE(x >= 0 && y >= 0 && x < r.width && y < r.height);
    // The fourth fix lies under its mobile's marker.
    uint32_t want = &fix == &content.track.back() ? kMobileColour : kFixColour;
    EXPECT_EQ(r.at(x, y), want) << x << "," << y;
  }
  EXPECT_EQ(r.at(rx(view, -108.35), ry(view, 32.66)), kWaypointColour);
  EXPECT_EQ(r.at(rx(view, -108.35) + 4, ry(view, 32.66) - 4), kWaypointColour);
  const Mobile& truck = model.mobiles().at(0);
  EXPECT_EQ(r.at(rx(view, truck.longitude), ry(view, truck.latitude)), kMobileColour);
  // Between two fixes lies the track, and far from everything nothing.
  GeoPoint a = content.track[0], b = content.track[1];
  EXPECT_EQ(r.at(rx(view, (a.longitude + b.longitude) / 2),
                 ry(view, (a.latitude + b.latitude) / 2)),
            kTrackColour);
  EXPECT_EQ(r.at(r.width - 3, 3), kBackgroundColour);
}

// Centre, scale and size from the view commands: positions follow from
// them alone, 10 m to the pixel around the picture's middle.
TEST(MapPicture, CentreScaleAndViewportPlaceMarkers) {
  Exported exported;
  HostModel model = model_exporting_to(&exported);
  const double lat = 45.0, lon = 7.0;
  const double metres_per_degree = 111195.0;
  double east_500m = lon + 500 / (metres_per_degree * std::cos(lat * M_PI / 180));
  double south_300m = lat - 300 / metres_per_degree;
  char request[200];
  std::snprintf(request, sizeof request, "M|E500,x,%f,%f,0,i\n", east_500m, lat);
  ASSERT_EQ(model.answer(request), "A|created");
  std::snprintf(request, sizeof request, "M|S300,x,%f,%f,0,i\n", lon, south_300m);
  ASSERT_EQ(model.answer(request), "A|created");
  ASSERT_EQ(model.answer("K|320,200\n"), "A|viewport");
  ASSERT_EQ(model.answer("O|7.000000,45.000000,10.000000\n"), "A|centred");
  ASSERT_EQ(model.answer("J|view.bmp\n"), "A|exported");
  Raster r = decode_bmp(exported.bytes);
  ASSERT_EQ(r.width, 320);
  ASSERT_EQ(r.height, 200);
  EXPECT_EQ(r.at(160 + 50, 100), kWaypointColour);
  EXPECT_EQ(r.at(160, 100 + 30), kWaypointColour);
  EXPECT_EQ(r.at(160 - 7, 100), kCentreColour);
  EXPECT_EQ(r.at(160, 100 - 7), kCentreColour);
  EXPECT_EQ(r.at(160 + 40, 100 + 20), kBackgroundColour);

  // Centring on a waypoint with a coarser scale moves everything.
  ASSERT_EQ(model.answer("L|S300,20\n"), "A|centred");
  ASSERT_EQ(model.answer("J|view.bmp\n"), "A|exported");
  r = decode_bmp(exported.bytes);
  EXPECT_EQ(r.at(160, 100), kWaypointColour);
  EXPECT_EQ(r.at(160 + 25, 100 - 15), kWaypointColour);
}

TEST(MapPicture, ExportFailuresAreRefused) {
  HostModel model;
  model.set_file_writer([](const std::string&, const std::string&) {
    return std::string("cannot write x.bmp: error 5");
  });
  EXPECT_EQ(model.answer("J|x.bmp\n"), "E|cannot write x.bmp: error 5");
  EXPECT_EQ(model.answer("J|\n"), "E|empty file name");
  // An empty model still gives a picture, at its default size.
  Raster r = decode_bmp(map_file_bytes(MapContent{}, "empty.bmp"));
  EXPECT_EQ(r.width, kDefaultMapWidth);
  // A viewport out of range falls back to the default size.
  MapContent huge;
  huge.width = 100000;
  huge.height = 10;
  EXPECT_EQ(fit_view(huge).width, kDefaultMapWidth);
}

}  // namespace
}  // namespace orvek::host
