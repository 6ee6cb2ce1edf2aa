// The client's seam (seam.h) on Windows: the real exports of OrvekPORT.dll
// and the machine through Win32.
#pragma once

#include <string>
#include <vector>

#include "tools/orvekport/seam.h"

namespace orvek::cli {

class Win32Library final : public Library {
 public:
  std::uint32_t Version() override;
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
  std::uint32_t GetPocketIDItvCe(std::uint32_t* length, const void** result) override;
  std::uint32_t GetDiskFreeSpaceItvCe(const char16_t* path, std::uint32_t* length,
                                 const void** result) override;
};

class Win32System final : public System {
 public:
  void write_out(const std::string& utf8) override;
  void write_err(const std::string& utf8) override;
  std::optional<std::string> host_path() override;
  bool set_host_path(const std::string& exe, std::string* error) override;
  bool host_window_open() override;
  std::uint32_t host_window_process() override;
  void close_host_window() override;
  std::optional<std::string> read_file(const std::string& path) override;
  std::optional<std::uint64_t> written_at(const std::string& path) override;
  bool exists(const std::string& path) override;
  bool is_directory(const std::string& path) override;
  bool create_directory(const std::string& path) override;
  bool copy_file(const std::string& from, const std::string& to) override;
  bool write_file_whole(const std::string& path, const std::string& bytes,
                        std::string* error) override;
  std::optional<std::vector<GpxWaypoint>> read_gpx_waypoints(
      const std::string& path, std::string* error) override;
  std::optional<std::string> unix_file_name(const std::string& path) override;
  std::string own_folder() override;
  std::string library_file_version() override;
  unsigned code_page() override;
  std::optional<std::string> to_code_page(const std::string& utf8) override;
  std::string to_code_page_lossy(const std::string& utf8) override;
  std::string from_code_page(const std::string& bytes) override;
  bool defines(unsigned code_page, const std::string& bytes) override;
  std::unique_ptr<StartedProgram> start_program(
      const std::string& exe, const std::string& folder) override;
  std::uint64_t now_ms() override;
  void sleep_ms(std::uint32_t ms) override;
  bool under_wine() override;
  std::string wine_command() override;
  bool display_set() override;
  std::string graphics_driver() override;
};

}  // namespace orvek::cli
