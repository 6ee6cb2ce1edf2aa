// The client's seam (tools/orvekport/seam.h) faked for its native tests: a
// library that keeps a few waypoints and mobiles like a host and records
// every call, and a machine of files in memory, a registry value, a host
// window that is there or not, a Latin-1 code page and a virtual clock.
// Like the real host, the library writes its request and reply into the
// packet files beside Path_EXE, where the client reads them back.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/orvekport/seam.h"

namespace orvek::clitest {

class FakeSystem final : public cli::System {
 public:
  std::string out, err;
  std::optional<std::string> path_exe = "C:\\host\\host.exe";
  bool window = true;
  // A started program shows its window unless this is false.
  bool started_program_shows_window = true;
  std::map<std::string, std::string> files;
  std::map<std::string, std::vector<cli::GpxWaypoint>> gpx_files;
  std::uint64_t clock_ms = 0;

  // The packet files' paths beside Path_EXE.
  std::string packet_path(const char* name) const;
  // Writes a file as a program would, its write time moved on.
  void write(const std::string& path, const std::string& bytes);

  void write_out(const std::string& utf8) override { out += utf8; }
  void write_err(const std::string& utf8) override { err += utf8; }
  std::optional<std::string> host_path() override { return path_exe; }
  bool set_host_path(const std::string& exe, std::string*) override {
    path_exe = exe;
    return true;
  }
  bool host_window_open() override { return window; }
  std::uint32_t host_window_process() override { return window ? 42 : 0; }
  void close_host_window() override { window = false; }
  std::optional<std::string> read_file(const std::string& path) override;
  std::optional<std::uint64_t> written_at(const std::string& path) override;
  bool exists(const std::string& path) override;
  bool is_directory(const std::string& path) override;
  bool create_directory(const std::string& path) override;
  bool copy_file(const std::string& from, const std::string& to) override;
  bool write_file_whole(const std::string& path, const std::string& bytes,
                        std::string* error) override;
  std::optional<std::vector<cli::GpxWaypoint>> read_gpx_waypoints(
      const std::string& path, std::string* error) override;
  std::optional<std::string> unix_file_name(const std::string&) override {
    return std::nullopt;
  }
  std::string own_folder() override { return "C:\\tools"; }
  std::string library_file_version() override { return "1.1.0.0"; }
  // Latin-1 stands in for the ANSI code page: U+0000 to U+00FF, a byte each.
  unsigned code_page() override { return 28591; }
  std::optional<std::string> to_code_page(const std::string& utf8) override;
  std::string to_code_page_lossy(const std::string& utf8) override;
  std::string from_code_page(const std::string& bytes) override;
  bool defines(unsigned, const std::string&) override { return true; }
  std::unique_ptr<cli::StartedProgram> start_program(
      const std::string& exe, const std::string& folder) override;
  std::uint64_t now_ms() override { return clock_ms; }
  void sleep_ms(std::uint32_t ms) override { clock_ms += ms; }
  bool under_wine() override { return true; }
  bool display_set() override { return false; }
  std::string graphics_driver() override { return "null"; }

 private:
  std::map<std::string, std::uint64_t> written_;
  std::uint64_t writes_ = 0;
};

class FakeLibrary final : public cli::Library {
 public:
  explicit FakeLibrary(FakeSystem& system) : system_(system) {}

  struct Waypoint {
    std::string id, description;
    double longitude = 0, latitude = 0, altitude = 0;
    std::string icon;
  };
  struct Mobile {
    std::string name, description;
    double longitude = 0, latitude = 0, altitude = 0;
  };
  std::vector<Waypoint> waypoints;
  std::vector<Mobile> mobiles;
  // Query requests and the host's whole reply to each ("G|12").
  std::map<std::string, std::string> query_replies;
  // Every call in order, spelt "New_Waypoint(WP1|Gate|2|41|0|flag)".
  std::vector<std::string> calls;

  // The next call of export `name` (as calls spells it) returns `status`,
  // the host having written `reply` when it did.
  void fail_next(const std::string& name, std::uint32_t status,
                 std::optional<std::string> reply = std::nullopt);
  // The calls of export `name`.
  std::vector<std::string> calls_of(const std::string& name) const;

  std::uint32_t Version() override { return 3; }
  std::uint32_t Init() override;
  std::uint32_t GetString(const char* request, std::uint32_t capacity,
                          char* result) override;
  std::uint32_t StringProtocolW(const char16_t* request, std::int32_t capacity,
                                char16_t* result) override;
  std::uint32_t NewPoint(double longitude, double latitude, double altitude,
                         const char* name, const char* description,
                         double extra_real, std::int32_t extra_integer) override;
  std::uint32_t MovingMapInit() override;
  std::uint32_t OpenFile(const char* file_name) override;
  std::uint32_t DeleteMobile(const char* mobile_name) override;
  std::uint32_t ExecCommand(std::int32_t command_number) override;
  std::uint32_t SetViewportLen(std::int32_t width, std::int32_t height) override;
  std::uint32_t CenterWaypoint(const char* waypoint_id, double scale) override;
  std::uint32_t CenterCoordinate(double longitude, double latitude,
                                 double scale) override;
  std::uint32_t ExportViewFile(const char* file_name) override;
  std::uint32_t New_Waypoint(const char* id, const char* description,
                             double longitude, double latitude, double altitude,
                             const char* icon) override;
  std::uint32_t Delete_Waypoint(const char* id) override;
  std::uint32_t Get_WaypointCount(std::int32_t* count) override;
  std::uint32_t Get_Waypoint(std::int32_t index, char* id, char* description,
                             double* longitude, double* latitude,
                             double* altitude, char* icon) override;
  std::int32_t GetMovingMapCount() override;
  std::uint32_t GetMovingMapPosition(std::int32_t index, char* name,
                                     double* longitude, double* latitude,
                                     double* altitude, std::uint32_t text_size,
                                     char* description) override;
  std::uint32_t GetPocketIDItvCe(std::uint32_t* length,
                                 const void** result) override;
  std::uint32_t GetDiskFreeSpaceItvCe(const char16_t* path,
                                      std::uint32_t* length,
                                      const void** result) override;

 private:
  // Records the call, writes its request line, and gives the scripted
  // failure of `name` if there is one (writing its reply), else nothing.
  std::optional<std::uint32_t> begin(const std::string& name,
                                     const std::string& arguments);
  // A command answered: the reply file says so.
  std::uint32_t acknowledged();

  struct Failure {
    std::uint32_t status;
    std::optional<std::string> reply;
  };
  FakeSystem& system_;
  std::map<std::string, std::vector<Failure>> failures_;
  unsigned char disk_record_[12] = {};
};

}  // namespace orvek::clitest
