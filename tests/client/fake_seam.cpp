#include "fake_seam.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/text.h"

namespace orvek::clitest {
namespace {

std::string number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// A text into a caller's buffer of `size` bytes; false when it does not fit.
bool copy_text(const std::string& text, char* buffer, std::size_t size) {
  if (text.size() + 1 > size) return false;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

class FakeProgram final : public cli::StartedProgram {
 public:
  std::uint32_t id() const override { return 7; }
  bool ended() override { return false; }
};

}  // namespace

// ---- FakeSystem ---------------------------------------------------------------

std::string FakeSystem::packet_path(const char* name) const {
  std::string folder = path_exe->substr(0, path_exe->find_last_of('\\'));
  return folder + "\\" + name;
}

void FakeSystem::write(const std::string& path, const std::string& bytes) {
  files[path] = bytes;
  written_[path] = ++writes_;
}

std::optional<std::string> FakeSystem::read_file(const std::string& path) {
  auto found = files.find(path);
  if (found == files.end()) return std::nullopt;
  return found->second;
}

std::optional<std::uint64_t> FakeSystem::written_at(const std::string& path) {
  if (!files.count(path)) return std::nullopt;
  return written_[path];
}

bool FakeSystem::exists(const std::string& path) {
  return files.count(path) != 0 || is_directory(path) ||
         (path_exe && path == *path_exe);
}

bool FakeSystem::is_directory(const std::string& path) {
  return files.count(path + "\\") != 0;
}

bool FakeSystem::create_directory(const std::string& path) {
  write(path + "\\", "");
  return true;
}

bool FakeSystem::copy_file(const std::string& from, const std::string& to) {
  if (!exists(from)) return false;
  write(to, files[from]);
  return true;
}

bool FakeSystem::write_file_whole(const std::string& path,
                                  const std::string& bytes, std::string* error) {
  if (path.starts_with("Q:")) {
    *error = "can't create " + path + ".tmp7: no such drive";
    return false;
  }
  write(path, bytes);
  return true;
}

std::optional<std::vector<cli::GpxWaypoint>> FakeSystem::read_gpx_waypoints(
    const std::string& path, std::string* error) {
  auto found = gpx_files.find(path);
  if (found != gpx_files.end()) return found->second;
  *error = "can't open it: no such file";
  return std::nullopt;
}

std::optional<std::string> FakeSystem::to_code_page(const std::string& utf8) {
  std::string bytes;
  for (std::size_t at = 0; at < utf8.size();) {
    std::optional<char32_t> c = tools::next_code_point(utf8, &at);
    if (!c || *c > 0xFF) return std::nullopt;
    bytes += static_cast<char>(*c);
  }
  return bytes;
}

std::string FakeSystem::to_code_page_lossy(const std::string& utf8) {
  std::string bytes;
  for (std::size_t at = 0; at < utf8.size();) {
    std::optional<char32_t> c = tools::next_code_point(utf8, &at);
    bytes += c && *c <= 0xFF ? static_cast<char>(*c) : '?';
  }
  return bytes;
}

std::string FakeSystem::from_code_page(const std::string& bytes) {
  std::string utf8;
  for (char c : bytes) tools::append_utf8(&utf8, static_cast<unsigned char>(c));
  return utf8;
}

std::unique_ptr<cli::StartedProgram> FakeSystem::start_program(
    const std::string& exe, const std::string&) {
  if (!exists(exe)) return nullptr;
  window = started_program_shows_window;
  return std::make_unique<FakeProgram>();
}

// ---- FakeLibrary ----------------------------------------------------------------

void FakeLibrary::fail_next(const std::string& name, std::uint32_t status,
                            std::optional<std::string> reply) {
  failures_[name].push_back({status, std::move(reply)});
}

std::vector<std::string> FakeLibrary::calls_of(const std::string& name) const {
  std::vector<std::string> of;
  for (const std::string& call : calls)
    if (call.starts_with(name + "(")) of.push_back(call);
  return of;
}

std::optional<std::uint32_t> FakeLibrary::begin(const std::string& name,
                                                const std::string& arguments) {
  calls.push_back(name + "(" + arguments + ")");
  system_.write(system_.packet_path("PACKETTX.DAT"), calls.back() + "\n");
  auto found = failures_.find(name);
  if (found == failures_.end() || found->second.empty()) return std::nullopt;
  Failure failure = found->second.front();
  found->second.erase(found->second.begin());
  if (failure.reply)
    system_.write(system_.packet_path("PACKETRX.DAT"), *failure.reply);
  return failure.status;
}

std::uint32_t FakeLibrary::acknowledged() {
  system_.write(system_.packet_path("PACKETRX.DAT"), "A|ok");
  return ORVEKPORT_OK;
}

std::uint32_t FakeLibrary::Init() {
  if (auto failed = begin("Init", "")) return *failed;
  system_.window = true;
  return ORVEKPORT_OK;
}

std::uint32_t FakeLibrary::GetString(const char* request,
                                     std::uint32_t capacity, char* result) {
  if (auto failed = begin("GetString", request)) return *failed;
  auto found = query_replies.find(request);
  std::string reply = found != query_replies.end() ? found->second : "G|";
  system_.write(system_.packet_path("PACKETRX.DAT"), reply);
  // As the library reads it: at most `capacity` bytes, the result after
  // the first "|".
  std::string read = reply.substr(0, capacity);
  if (read.empty()) return ORVEKPORT_E_OPEN_REPLY;
  if (read[0] != 'G') return ORVEKPORT_E_READ_REPLY;
  std::size_t bar = read.find('|');
  if (bar == std::string::npos) return ORVEKPORT_E_NO_RESULT;
  std::strcpy(result, read.c_str() + bar + 1);
  return ORVEKPORT_OK;
}

std::uint32_t FakeLibrary::StringProtocolW(const char16_t* request,
                                           std::int32_t capacity,
                                           char16_t* result) {
  std::string text = tools::utf8_of(request);
  if (auto failed = begin("StringProtocolW", text)) return *failed;
  std::string reply = "R|" + system_.to_code_page_lossy(text);
  system_.write(system_.packet_path("PACKETRX.DAT"), reply);
  if (capacity <= 0) return ORVEKPORT_OK;
  std::u16string wide = tools::utf16_of(system_.from_code_page(reply));
  wide.resize(std::min(wide.size(), static_cast<std::size_t>(capacity) - 1));
  std::copy(wide.begin(), wide.end(), result);
  result[wide.size()] = u'\0';
  return ORVEKPORT_OK;
}

std::uint32_t FakeLibrary::NewPoint(double longitude, double latitude,
                                    double altitude, const char* name,
                                    const char* description, double extra_real,
                                    std::int32_t extra_integer) {
  if (auto failed = begin("NewPoint", number(longitude) + "|" + number(latitude) +
                                          "|" + number(altitude) + "|" + name +
                                          "|" + description + "|" +
                                          number(extra_real) + "|" +
                                          std::to_string(extra_integer)))
    return *failed;
  return acknowledged();
}

std::uint32_t FakeLibrary::MovingMapInit() {
  if (auto failed = begin("MovingMapInit", "")) return *failed;
  return ORVEKPORT_OK;
}

std::uint32_t FakeLibrary::OpenFile(const char* file_name) {
  if (auto failed = begin("OpenFile", file_name)) return *failed;
  return acknowledged();
}

std::uint32_t FakeLibrary::DeleteMobile(const char* mobile_name) {
  if (auto failed = begin("DeleteMobile", mobile_name)) return *failed;
  return acknowledged();
}

std::uint32_t FakeLibrary::ExecCommand(std::int32_t command_number) {
  if (auto failed = begin("ExecCommand", std::to_string(command_number)))
    return *failed;
  return acknowledged();
}

std::uint32_t FakeLibrary::SetViewportLen(std::int32_t width,
                                          std::int32_t height) {
  if (auto failed = begin("SetViewportLen", std::to_string(width) + "|" +
                                                std::to_string(height)))
    return *failed;
  return acknowledged();
}

std::uint32_t FakeLibrary::CenterWaypoint(const char* waypoint_id,
                                          double scale) {
  if (auto failed = begin("CenterWaypoint",
                          std::string(waypoint_id) + "|" + number(scale)))
    return *failed;
  return acknowledged();
}

std::uint32_t FakeLibrary::CenterCoordinate(double longitude, double latitude,
                                            double scale) {
  if (auto failed = begin("CenterCoordinate", number(longitude) + "|" +
                                                  number(latitude) + "|" +
                                                  number(scale)))
    return *failed;
  return acknowledged();
}

std::uint32_t FakeLibrary::ExportViewFile(const char* file_name) {
  if (auto failed = begin("ExportViewFile", file_name)) return *failed;
  // The host writes the picture beside itself.
  system_.write(system_.packet_path(file_name), "picture");
  return acknowledged();
}

std::uint32_t FakeLibrary::New_Waypoint(const char* id,
                                        const char* description,
                                        double longitude, double latitude,
                                        double altitude, const char* icon) {
  if (auto failed = begin("New_Waypoint",
                          std::string(id) + "|" + description + "|" +
                              number(longitude) + "|" + number(latitude) + "|" +
                              number(altitude) + "|" + icon))
    return *failed;
  Waypoint waypoint{id, description, longitude, latitude, altitude, icon};
  auto same = std::find_if(waypoints.begin(), waypoints.end(),
                           [&](const Waypoint& w) { return w.id == id; });
  if (same != waypoints.end())
    *same = waypoint;
  else
    waypoints.push_back(waypoint);
  return acknowledged();
}

std::uint32_t FakeLibrary::Delete_Waypoint(const char* id) {
  if (auto failed = begin("Delete_Waypoint", id)) return *failed;
  auto same = std::find_if(waypoints.begin(), waypoints.end(),
                           [&](const Waypoint& w) { return w.id == id; });
  if (same == waypoints.end()) {
    system_.write(system_.packet_path("PACKETRX.DAT"),
                  std::string("E|no waypoint ") + id);
    return ORVEKPORT_E_READ_REPLY;
  }
  waypoints.erase(same);
  return acknowledged();
}

std::uint32_t FakeLibrary::Get_WaypointCount(std::int32_t* count) {
  if (auto failed = begin("Get_WaypointCount", "")) return *failed;
  *count = static_cast<std::int32_t>(waypoints.size());
  system_.write(system_.packet_path("PACKETRX.DAT"),
                "G|" + std::to_string(waypoints.size()));
  return ORVEKPORT_OK;
}

std::uint32_t FakeLibrary::Get_Waypoint(std::int32_t index, char* id,
                                        char* description, double* longitude,
                                        double* latitude, double* altitude,
                                        char* icon) {
  if (auto failed = begin("Get_Waypoint", std::to_string(index)))
    return *failed;
  if (index < 0 || static_cast<std::size_t>(index) >= waypoints.size()) {
    system_.write(system_.packet_path("PACKETRX.DAT"),
                  "E|no waypoint " + std::to_string(index));
    return ORVEKPORT_E_READ_REPLY;
  }
  const Waypoint& w = waypoints[static_cast<std::size_t>(index)];
  *longitude = w.longitude;
  *latitude = w.latitude;
  *altitude = w.altitude;
  if (!copy_text(w.id, id, ORVEKPORT_WAYPOINT_TEXT_SIZE) ||
      !copy_text(w.description, description, ORVEKPORT_WAYPOINT_TEXT_SIZE) ||
      !copy_text(w.icon, icon, ORVEKPORT_WAYPOINT_TEXT_SIZE))
    return ORVEKPORT_E_TOO_LONG;
  return ORVEKPORT_OK;
}

std::int32_t FakeLibrary::GetMovingMapCount() {
  if (auto failed = begin("GetMovingMapCount", "")) return -1;
  return static_cast<std::int32_t>(mobiles.size());
}

std::uint32_t FakeLibrary::GetMovingMapPosition(
    std::int32_t index, char* name, double* longitude, double* latitude,
    double* altitude, std::uint32_t text_size, char* description) {
  if (auto failed = begin("GetMovingMapPosition", std::to_string(index)))
    return *failed;
  if (index < 0 || static_cast<std::size_t>(index) >= mobiles.size())
    return ORVEKPORT_E_READ_REPLY;
  const Mobile& m = mobiles[static_cast<std::size_t>(index)];
  *longitude = m.longitude;
  *latitude = m.latitude;
  *altitude = m.altitude;
  if (!copy_text(m.name, name, text_size) ||
      !copy_text(m.description, description, text_size))
    return ORVEKPORT_E_TOO_LONG;
  return ORVEKPORT_OK;
}

std::uint32_t FakeLibrary::GetPocketIDItvCe(std::uint32_t* length,
                                            const void** result) {
  calls.push_back("GetPocketIDItvCe()");
  static const char kIdentifier[] = "FAKE-ID";
  *length = sizeof kIdentifier;
  *result = kIdentifier;
  return ORVEKPORT_OK;
}

std::uint32_t FakeLibrary::GetDiskFreeSpaceItvCe(const char16_t* path,
                                                 std::uint32_t* length,
                                                 const void** result) {
  calls.push_back("GetDiskFreeSpaceItvCe(" + tools::utf8_of(path) + ")");
  // C: has 5 GiB free; any other path can't be queried.
  const bool known = tools::utf8_of(path).starts_with("C:");
  const std::uint64_t free_bytes = known ? 5ULL << 30 : 0;
  const std::uint32_t words[] = {known ? 1u : 0u,
                                 static_cast<std::uint32_t>(free_bytes),
                                 static_cast<std::uint32_t>(free_bytes >> 32)};
  for (std::size_t i = 0; i < 12; ++i)
    disk_record_[i] = static_cast<unsigned char>(words[i / 4] >> (i % 4 * 8));
  *length = sizeof disk_record_;
  *result = disk_record_;
  return ORVEKPORT_OK;
}

}  // namespace orvek::clitest
