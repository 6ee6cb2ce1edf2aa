// What the emulated host application knows: position fixes, waypoints,
// moving-map entries ("mobiles") and the view, and how it answers each
// request line. Plain C++; the Win32 side lives in packet_server and main.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "map_picture.h"

namespace orvek::host {

struct Waypoint {
  std::string id;
  std::string description;
  double longitude = 0, latitude = 0, altitude = 0;
  std::string icon;
};

// A moving-map entry. Its record on the wire is
// "latitude,longitude,altitude,name,description" (query "3,<index>").
struct Mobile {
  double latitude = 0, longitude = 0, altitude = 0;
  std::string name;
  std::string description;
};

// The interface version the handshake reports, as the library's is 3.
inline constexpr int kHostInterfaceVersion = 3;

class HostModel {
 public:
  // Writes an exported picture: the file name as received and its bytes;
  // returns an error text, empty on success.
  using FileWriter =
      std::function<std::string(const std::string& name, const std::string& bytes)>;
  void set_file_writer(FileWriter writer) { file_writer_ = std::move(writer); }

  // The reply to one request line, the request file's whole content, e.g.
  // "F|4\n" gives "G|2". No reply ends with a line end.
  std::string answer(std::string_view request_line);

  // wParam 2: the moving map is (re)initialised; returns how often so far.
  int moving_map_init() { return ++moving_map_inits_; }

  // Adds the mobiles of a seed file, one record a line in the form of the
  // query "3,<index>" reply; blank lines and "#" lines are skipped. Returns
  // a description of each line that could not be read.
  std::vector<std::string> seed_mobiles(std::string_view text);

  // A few lines for the window.
  std::string summary() const;

  const std::vector<Mobile>& mobiles() const { return mobiles_; }

  // What the map shows: the track of the fixes received, waypoints,
  // mobiles, the centre of "O" (longitude, latitude, scale in metres per
  // pixel) or of "L" (the waypoint id, scale in metres per pixel), and the
  // size "K" gives in pixels (width, height). A scale of 0 or less fits the
  // content.
  MapContent map_content() const;

 private:
  std::optional<std::string> command(char letter, std::string_view body);
  std::string query(std::string_view request);
  std::string position_fix(std::string_view sentence);
  std::string new_waypoint(std::string_view body);
  std::string centre_on_waypoint(std::string_view body);
  Waypoint* find_waypoint(std::string_view id);

  std::vector<Waypoint> waypoints_;
  std::vector<Mobile> mobiles_;
  int fix_count_ = 0;
  std::string last_fix_;  // the sentence without its CR LF
  int moving_map_inits_ = 0;
  std::string centre_;    // "O|..." or "L|..." as last received
  std::string viewport_;  // "len1,len2"
  std::string last_exec_;
  std::string opened_file_;
  std::string exported_file_;
  std::vector<GeoPoint> track_;
  std::optional<GeoPoint> centre_point_;
  double centre_metres_per_pixel_ = 0;
  int view_width_ = 0, view_height_ = 0;
  FileWriter file_writer_;
};

}  // namespace orvek::host
