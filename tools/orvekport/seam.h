// What the client calls outside itself, behind two small interfaces, so
// that its commands, argument rules and output are tested natively against
// fakes: the library's exports (Library) and the machine it runs on
// (System: the registry, the host's window, files, the code page, the
// console, processes and time). win32_seam.cpp is the real pair. Paths and
// texts are UTF-8 here; the host's bytes are in its code page.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/orvekport/gpx_waypoint.h"

namespace orvek::cli {

// OrvekPORT.dll's exports, one for one (OrvekPORT.h says what each does);
// UTF-16 as char16_t.
class Library {
 public:
  virtual ~Library() = default;
  virtual std::uint32_t Version() = 0;
  virtual std::uint32_t Init() = 0;
  virtual std::uint32_t GetString(const char* request, std::uint32_t capacity,
                                  char* result) = 0;
  virtual std::uint32_t StringProtocolW(const char16_t* request,
                                        std::int32_t capacity,
                                        char16_t* result) = 0;
  virtual std::uint32_t NewPoint(double longitude, double latitude,
                                 double altitude, const char* name,
                                 const char* description, double extra_real,
                                 std::int32_t extra_integer) = 0;
  virtual std::uint32_t MovingMapInit() = 0;
  virtual std::uint32_t OpenFile(const char* file_name) = 0;
  virtual std::uint32_t DeleteMobile(const char* mobile_name) = 0;
  virtual std::uint32_t ExecCommand(std::int32_t command_number) = 0;
  virtual std::uint32_t SetViewportLen(std::int32_t width,
                                       std::int32_t height) = 0;
  virtual std::uint32_t CenterWaypoint(const char* waypoint_id,
                                       double scale) = 0;
  virtual std::uint32_t CenterCoordinate(double longitude, double latitude,
                                         double scale) = 0;
  virtual std::uint32_t ExportViewFile(const char* file_name) = 0;
  virtual std::uint32_t New_Waypoint(const char* id, const char* description,
                                     double longitude, double latitude,
                                     double altitude, const char* icon) = 0;
  virtual std::uint32_t Delete_Waypoint(const char* id) = 0;
  virtual std::uint32_t Get_WaypointCount(std::int32_t* count) = 0;
  virtual std::uint32_t Get_Waypoint(std::int32_t index, char* id,
                                     char* description, double* longitude,
                                     double* latitude, double* altitude,
                                     char* icon) = 0;
  virtual std::int32_t GetMovingMapCount() = 0;
  virtual std::uint32_t GetMovingMapPosition(std::int32_t index, char* name,
                                             double* longitude,
                                             double* latitude, double* altitude,
                                             std::uint32_t text_size,
                                             char* description) = 0;
  virtual std::uint32_t GetPocketIDItvCe(std::uint32_t* length,
                                    const void** result) = 0;
  virtual std::uint32_t GetDiskFreeSpaceItvCe(const char16_t* path,
                                         std::uint32_t* length,
                                         const void** result) = 0;
};

// A program the client started and does not wait for.
class StartedProgram {
 public:
  virtual ~StartedProgram() = default;
  virtual std::uint32_t id() const = 0;
  virtual bool ended() = 0;
};

class System {
 public:
  virtual ~System() = default;

  // The console: UTF-8 text to stdout and stderr.
  virtual void write_out(const std::string& utf8) = 0;
  virtual void write_err(const std::string& utf8) = 0;

  // Path_EXE in the registry view this build's library reads, or nothing
  // when it can't be read; setting it gives the system's error on failure.
  virtual std::optional<std::string> host_path() = 0;
  virtual bool set_host_path(const std::string& exe, std::string* error) = 0;
  // The host application's main window: whether it is there, its
  // process (0: none), and asking it to close.
  virtual bool host_window_open() = 0;
  virtual std::uint32_t host_window_process() = 0;
  virtual void close_host_window() = 0;

  // Files. A file's last write time, in the system's ticks, tells a file
  // rewritten with the same bytes.
  virtual std::optional<std::string> read_file(const std::string& path) = 0;
  virtual std::optional<std::uint64_t> written_at(const std::string& path) = 0;
  virtual bool exists(const std::string& path) = 0;
  virtual bool is_directory(const std::string& path) = 0;
  virtual bool create_directory(const std::string& path) = 0;
  virtual bool copy_file(const std::string& from, const std::string& to) = 0;
  // Writes `bytes` to a temporary file beside `path` and renames it over
  // `path`, so that a failure leaves the old file or none, never half of
  // one; false with what failed in *error.
  virtual bool write_file_whole(const std::string& path,
                                const std::string& bytes,
                                std::string* error) = 0;
  // The waypoints of a GPX file (gpx_waypoint.h), or nothing with *error.
  virtual std::optional<std::vector<GpxWaypoint>> read_gpx_waypoints(
      const std::string& path, std::string* error) = 0;
  // Under Wine, the Unix file name of a Windows path; else nothing.
  virtual std::optional<std::string> unix_file_name(const std::string& path) = 0;
  // The folder this program runs from.
  virtual std::string own_folder() = 0;
  // "1.1.0.0" from the library's version resource, or "unknown".
  virtual std::string library_file_version() = 0;

  // The host's ANSI code page: its number, UTF-8 in it exactly (nothing
  // when a character has no exact form there) or with its default
  // character for what it lacks, and its bytes as UTF-8. defines() says
  // whether `bytes` are all defined in `code_page`.
  virtual unsigned code_page() = 0;
  virtual std::optional<std::string> to_code_page(const std::string& utf8) = 0;
  virtual std::string to_code_page_lossy(const std::string& utf8) = 0;
  virtual std::string from_code_page(const std::string& bytes) = 0;
  virtual bool defines(unsigned code_page, const std::string& bytes) = 0;

  // Starts `exe` in `folder` with no standard streams of ours, or nothing.
  virtual std::unique_ptr<StartedProgram> start_program(
      const std::string& exe, const std::string& folder) = 0;
  // A monotonic clock in milliseconds, and waiting on it.
  virtual std::uint64_t now_ms() = 0;
  virtual void sleep_ms(std::uint32_t ms) = 0;

  // What may explain a host that showed no window: Wine (and its graphics
  // driver setting, HKCU\Software\Wine\Drivers Graphics) and a display.
  // wine_command() is how a shell here starts a Wine program, for the
  // commands the client suggests.
  virtual bool under_wine() = 0;
  virtual std::string wine_command() = 0;
  virtual bool display_set() = 0;
  virtual std::string graphics_driver() = 0;
};

}  // namespace orvek::cli
