// The client's seam (tools/orvekport/seam.h) for its native tests, over the
// library's own core on the fake platform: CoreLibrary calls the core as
// the DLL's exports do, FakeSystem shows the client the fake platform's
// registry, windows, files and clock, and a World puts them together with a
// scripted host (tests/support) that answers as the emulator's model does.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/map_commands.h"
#include "api/moving_map.h"
#include "api/position_sentence.h"
#include "api/waypoints.h"
#include "device/device_identifier.h"
#include "device/disk_free_space.h"
#include "host_model.h"
#include "hostlink/discovery.h"
#include "hostlink/envelopes.h"
#include "platform/fake/fake_platform.h"
#include "tests/support/fake_host.h"
#include "tools/orvekport/seam.h"

namespace orvek::clitest {

class CoreLibrary final : public cli::Library {
 public:
  explicit CoreLibrary(platform::fake::FakePlatform& os) : os_(os) {}
  std::uint32_t Version() override { return hostlink::kInterfaceVersion; }
  std::uint32_t Init() override { return hostlink::Init(os_); }
  std::uint32_t GetString(const char* r, std::uint32_t c, char* out) override {
    return hostlink::GetString(os_, r, c, out);
  }
  std::uint32_t StringProtocolW(const char16_t* r, std::int32_t c, char16_t* out) override {
    return hostlink::StringProtocolW(os_, r, c, out);
  }
  std::uint32_t NewPoint(double lon, double lat, double alt, const char* t1, const char* t2,
                         double real, std::int32_t integer) override {
    return api::NewPoint(os_, lon, lat, alt, t1, t2, real, integer);
  }
  std::uint32_t MovingMapInit() override { return api::MovingMapInit(os_); }
  std::uint32_t OpenFile(const char* name) override { return api::OpenFile(os_, name); }
  std::uint32_t DeleteMobile(const char* name) override { return api::DeleteMobile(os_, name); }
  std::uint32_t ExecCommand(std::int32_t n) override { return api::ExecCommand(os_, n); }
  std::uint32_t SetViewportLen(std::int32_t w, std::int32_t h) override {
    return api::SetViewportLen(os_, w, h);
  }
  std::uint32_t CenterWaypoint(const char* id, double scale) override {
    return api::CenterWaypoint(os_, id, scale);
  }
  std::uint32_t CenterCoordinate(double lon, double lat, double scale) override {
    return api::CenterCoordinate(os_, lon, lat, scale);
  }
  std::uint32_t ExportViewFile(const char* name) override { return api::ExportViewFile(os_, name); }
  std::uint32_t New_Waypoint(const char* id, const char* text, double lon, double lat,
                             double alt, const char* icon) override {
    return api::NewWaypoint(os_, id, text, lon, lat, alt, icon);
  }
  std::uint32_t Delete_Waypoint(const char* id) override { return api::DeleteWaypoint(os_, id); }
  std::uint32_t Get_WaypointCount(std::int32_t* n) override { return api::GetWaypointCount(os_, n); }
  std::uint32_t Get_Waypoint(std::int32_t i, char* id, char* text, double* lon, double* lat,
                             double* alt, char* icon) override {
    return api::GetWaypoint(os_, i, id, text, lon, lat, alt, icon);
  }
  std::int32_t GetMovingMapCount() override { return api::GetMovingMapCount(os_); }
  std::uint32_t GetMovingMapPosition(std::int32_t i, char* name, double* lon, double* lat,
                                     double* alt, std::uint32_t size, char* text) override {
    return api::GetMovingMapPosition(os_, i, name, lon, lat, alt, size, text);
  }
  std::uint32_t GetPocketIDItvCe(std::uint32_t* n, const void** out) override {
    return device::PocketIdItvCe(os_, n, out);
  }
  std::uint32_t GetDiskFreeSpaceItvCe(const char16_t* path, std::uint32_t* n,
                                      const void** out) override {
    return device::DiskFreeSpaceItvCe(os_, path, n, out);
  }

 private:
  platform::fake::FakePlatform& os_;
};

class FakeSystem final : public cli::System {
 public:
  FakeSystem(platform::fake::FakePlatform& os, testing::FakeHost& host)
      : os_(os), host_(host) {}

  std::string out, err;
  // A started program shows the host's window unless this is false.
  bool started_program_shows_window = true;
  std::map<std::string, std::vector<cli::GpxWaypoint>> gpx_files;
  // Bytes that no code page defines here (0x81 in code page 1252).
  std::string undefined_bytes;
  // How many replies the host has written: the reply file's write time.
  std::uint64_t replies_written = 0;

  // Writes a file as a program would, its write time moved on.
  void write(const std::string& path, const std::string& bytes);

  void write_out(const std::string& utf8) override { out += utf8; }
  void write_err(const std::string& utf8) override { err += utf8; }
  std::optional<std::string> host_path() override;
  bool set_host_path(const std::string& exe, std::string* error) override;
  bool host_window_open() override { return host_.window != platform::kNullHandle; }
  std::uint32_t host_window_process() override { return host_window_open() ? 42 : 0; }
  void close_host_window() override { host_.exit(); }
  std::optional<std::string> read_file(const std::string& path) override;
  std::optional<std::uint64_t> written_at(const std::string& path) override;
  bool exists(const std::string& path) override;
  bool is_directory(const std::string& path) override;
  bool create_directory(const std::string& path) override;
  bool copy_file(const std::string& from, const std::string& to) override;
  // Drive Q: is not there.
  bool write_file_whole(const std::string& path, const std::string& bytes,
                        std::string* error) override;
  std::optional<std::vector<cli::GpxWaypoint>> read_gpx_waypoints(
      const std::string& path, std::string* error) override;
  std::optional<std::string> unix_file_name(const std::string&) override {
    return std::nullopt;
  }
  std::string own_folder() override { return "C:\\tools"; }
  std::string library_file_version() override { return "1.1.0.0"; }
  // ISO-8859-1, the fake platform's code page: U+0000 to U+00FF, a byte each.
  unsigned code_page() override { return 28591; }
  std::optional<std::string> to_code_page(const std::string& utf8) override {
    std::string bytes = to_code_page_lossy(utf8);
    return from_code_page(bytes) == utf8 ? std::optional(bytes) : std::nullopt;
  }
  std::string to_code_page_lossy(const std::string& utf8) override;
  std::string from_code_page(const std::string& bytes) override;
  bool defines(unsigned, const std::string& bytes) override {
    return bytes.find_first_of(undefined_bytes) == std::string::npos;
  }
  std::unique_ptr<cli::StartedProgram> start_program(
      const std::string& exe, const std::string& folder) override;
  std::uint64_t now_ms() override { return os_.now_ms(); }
  void sleep_ms(std::uint32_t ms) override { os_.sleep_ms(ms); }
  bool under_wine() override { return true; }
  std::string wine_command() override { return "wine"; }
  bool display_set() override { return false; }
  std::string graphics_driver() override { return "null"; }

 private:
  platform::fake::FakePlatform& os_;
  testing::FakeHost& host_;
  std::map<std::string, std::uint64_t> written_;
  std::uint64_t writes_ = 0;
};

// The library on the fake platform with a started host whose answers are
// the emulator's model's, unless a test answers a request itself; the
// host link state of the process starts afresh.
struct World {
  World();
  ~World();
  // The client's run of `argv`: its exit code; its output in system.
  int run(std::vector<std::string> argv);
  // Requests that begin with `prefix` get `reply` instead of the model's.
  void answer(std::string prefix, std::string reply);
  // The request lines the host read since the last run began.
  const std::vector<std::string>& requests() const { return host.requests; }

  platform::fake::FakePlatform os;
  testing::FakeHost host{os};
  host::HostModel model;
  FakeSystem system{os, host};
  CoreLibrary library{os};
  std::map<std::string, std::string> answers;
};

}  // namespace orvek::clitest
