#include "tools/orvekport/win32_seam.h"

#include <windows.h>

#include <cstdio>

#include "OrvekPORT/OrvekPORT.h"
#include "protocol/host_protocol.h"
#include "tools/common/win_files.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_process.h"
#include "tools/common/win_text.h"
#include "tools/common/wine_unix.h"
#include "tools/orvekport/gpx_read.h"

namespace orvek::cli {
namespace {

// The core spells UTF-16 as char16_t; on Windows it is wchar_t's 16 bits.
const wchar_t* wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
std::wstring wide(const std::string& utf8) {
  return tools::widen(CP_UTF8, utf8);
}
std::string utf8(const std::wstring& text) {
  return tools::narrow(CP_UTF8, text);
}

HWND host_window() {
  return FindWindowW(wide(protocol::kHostWindowClass), nullptr);
}

void write_to(DWORD which, std::FILE* stream, const std::string& text) {
  std::fflush(stream);
  HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    std::wstring shown = wide(text);
    DWORD written = 0;
    WriteConsoleW(handle, shown.data(), static_cast<DWORD>(shown.size()),
                  &written, nullptr);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

class Win32Program final : public StartedProgram {
 public:
  explicit Win32Program(tools::StartedProcess process)
      : process_(std::move(process)) {}
  std::uint32_t id() const override { return process_.id; }
  bool ended() override {
    return WaitForSingleObject(process_.process.get(), 0) == WAIT_OBJECT_0;
  }

 private:
  tools::StartedProcess process_;
};

}  // namespace

// ---- Library ----------------------------------------------------------------

std::uint32_t Win32Library::Version() { return OrvekGPSPort_Version(); }
std::uint32_t Win32Library::Init() { return OrvekGPSPort_Init(); }
std::uint32_t Win32Library::GetString(const char* request,
                                      std::uint32_t capacity, char* result) {
  return OrvekGPSPort_GetString(request, capacity, result);
}
std::uint32_t Win32Library::StringProtocolW(const char16_t* request,
                                            std::int32_t capacity,
                                            char16_t* result) {
  return OrvekGPSPort_StringProtocolW(
      wide(request), capacity, reinterpret_cast<wchar_t*>(result));
}
std::uint32_t Win32Library::NewPoint(double longitude, double latitude,
                                     double altitude, const char* name,
                                     const char* description, double extra_real,
                                     std::int32_t extra_integer) {
  return OrvekGPSPort_NewPoint(longitude, latitude, altitude, name,
                               description, extra_real, extra_integer);
}
std::uint32_t Win32Library::MovingMapInit() {
  return OrvekGPSPort_MovingMapInit();
}
std::uint32_t Win32Library::OpenFile(const char* file_name) {
  return OrvekGPSPort_OpenFile(file_name);
}
std::uint32_t Win32Library::DeleteMobile(const char* mobile_name) {
  return OrvekGPSPort_DeleteMobile(mobile_name);
}
std::uint32_t Win32Library::ExecCommand(std::int32_t command_number) {
  return OrvekGPSPort_ExecCommand(command_number);
}
std::uint32_t Win32Library::SetViewportLen(std::int32_t width,
                                           std::int32_t height) {
  return OrvekGPSPort_SetViewportLen(width, height);
}
std::uint32_t Win32Library::CenterWaypoint(const char* waypoint_id,
                                           double scale) {
  return OrvekGPSPort_CenterWaypoint(waypoint_id, scale);
}
std::uint32_t Win32Library::CenterCoordinate(double longitude, double latitude,
                                             double scale) {
  return OrvekGPSPort_CenterCoordinate(longitude, latitude, scale);
}
std::uint32_t Win32Library::ExportViewFile(const char* file_name) {
  return OrvekGPSPort_ExportViewFile(file_name);
}
std::uint32_t Win32Library::New_Waypoint(const char* id,
                                         const char* description,
                                         double longitude, double latitude,
                                         double altitude, const char* icon) {
  return OrvekGPSPort_New_Waypoint(id, description, longitude, latitude,
                                   altitude, icon);
}
std::uint32_t Win32Library::Delete_Waypoint(const char* id) {
  return OrvekGPSPort_Delete_Waypoint(id);
}
std::uint32_t Win32Library::Get_WaypointCount(std::int32_t* count) {
  return OrvekGPSPort_Get_WaypointCount(count);
}
std::uint32_t Win32Library::Get_Waypoint(std::int32_t index, char* id,
                                         char* description, double* longitude,
                                         double* latitude, double* altitude,
                                         char* icon) {
  return OrvekGPSPort_Get_Waypoint(index, id, description, longitude, latitude,
                                   altitude, icon);
}
std::int32_t Win32Library::GetMovingMapCount() {
  return OrvekGPSPort_GetMovingMapCount();
}
std::uint32_t Win32Library::GetMovingMapPosition(
    std::int32_t index, char* name, double* longitude, double* latitude,
    double* altitude, std::uint32_t text_size, char* description) {
  return OrvekGPSPort_GetMovingMapPosition(index, name, longitude, latitude,
                                           altitude, text_size, description);
}
std::uint32_t Win32Library::GetPocketIDItvCe(std::uint32_t* length,
                                             const void** result) {
  return ::GetPocketIDItvCe(0, nullptr, length, result);
}
std::uint32_t Win32Library::GetDiskFreeSpaceItvCe(const char16_t* path,
                                                  std::uint32_t* length,
                                                  const void** result) {
  return ::GetDiskFreeSpaceItvCe(0, wide(path), length, result);
}

// ---- System -------------------------------------------------------------------

void Win32System::write_out(const std::string& text) {
  write_to(STD_OUTPUT_HANDLE, stdout, text);
}
void Win32System::write_err(const std::string& text) {
  write_to(STD_ERROR_HANDLE, stderr, text);
}

std::optional<std::string> Win32System::host_path() {
  wchar_t path[1024];
  DWORD size = sizeof path;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, wide(protocol::kHostRegistryKey),
                   wide(protocol::kHostPathValue), RRF_RT_REG_SZ, nullptr, path,
                   &size) != ERROR_SUCCESS)
    return std::nullopt;
  return utf8(path);
}

bool Win32System::set_host_path(const std::string& exe, std::string* error) {
  tools::RegistryKey key;
  LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                                wide(protocol::kHostRegistryKey), 0, nullptr, 0,
                                KEY_SET_VALUE, nullptr, key.put(), nullptr);
  std::wstring value = wide(exe);
  if (result == ERROR_SUCCESS)
    result = RegSetValueExW(
        key.get(), wide(protocol::kHostPathValue), 0, REG_SZ,
        reinterpret_cast<const BYTE*>(value.c_str()),
        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  if (result != ERROR_SUCCESS)
    *error = tools::error_text(static_cast<DWORD>(result),
                               tools::ErrorForm::kNumberColon);
  return result == ERROR_SUCCESS;
}

bool Win32System::host_window_open() { return host_window() != nullptr; }

std::uint32_t Win32System::host_window_process() {
  DWORD id = 0;
  if (HWND window = host_window()) GetWindowThreadProcessId(window, &id);
  return id;
}

void Win32System::close_host_window() {
  if (HWND window = host_window()) PostMessageW(window, WM_CLOSE, 0, 0);
}

std::optional<std::string> Win32System::read_file(const std::string& path) {
  return tools::read_whole_file(wide(path));
}

std::optional<std::uint64_t> Win32System::written_at(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() ||
      !GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data))
    return std::nullopt;
  return (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

bool Win32System::exists(const std::string& path) {
  return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32System::is_directory(const std::string& path) {
  DWORD attributes = GetFileAttributesW(wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32System::create_directory(const std::string& path) {
  return CreateDirectoryW(wide(path).c_str(), nullptr) != FALSE ||
         GetLastError() == ERROR_ALREADY_EXISTS;
}

bool Win32System::copy_file(const std::string& from, const std::string& to) {
  return CopyFileW(wide(from).c_str(), wide(to).c_str(), FALSE) != FALSE;
}

bool Win32System::write_file_whole(const std::string& path,
                                   const std::string& bytes,
                                   std::string* error) {
  return tools::write_file_whole(wide(path), bytes, error);
}

std::optional<std::vector<GpxWaypoint>> Win32System::read_gpx_waypoints(
    const std::string& path, std::string* error) {
  return cli::read_gpx_waypoints(wide(path), error);
}

std::optional<std::string> Win32System::unix_file_name(const std::string& path) {
  // Wine's kernel32 exports it; the name comes in a block of the process heap.
  using ToUnix = char*(__cdecl*)(const wchar_t*);
  auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(GetProcAddress(
      GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = to_unix != nullptr ? to_unix(wide(path).c_str()) : nullptr;
  if (name == nullptr) return std::nullopt;
  std::string result(name);
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

std::string Win32System::own_folder() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string own = utf8(std::wstring(path, length));
  std::size_t slash = own.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : own.substr(0, slash);
}

std::string Win32System::library_file_version() {
  wchar_t path[MAX_PATH];
  HMODULE dll = GetModuleHandleW(L"OrvekPORT.dll");
  if (dll == nullptr || GetModuleFileNameW(dll, path, MAX_PATH) == 0)
    return "unknown";
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return "unknown";
  std::vector<unsigned char> block(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT info_size = 0;
  if (!GetFileVersionInfoW(path, 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info),
                      &info_size) ||
      info == nullptr || info_size < sizeof *info)
    return "unknown";
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionLS));
}

unsigned Win32System::code_page() { return GetACP(); }

std::optional<std::string> Win32System::to_code_page(const std::string& text) {
  return tools::narrow_exact(wide(text));
}

std::string Win32System::to_code_page_lossy(const std::string& text) {
  return tools::narrow(CP_ACP, wide(text));
}

std::string Win32System::from_code_page(const std::string& bytes) {
  return utf8(tools::widen(CP_ACP, bytes));
}

bool Win32System::defines(unsigned code_page, const std::string& bytes) {
  return bytes.empty() ||
         MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(),
                             static_cast<int>(bytes.size()), nullptr, 0) != 0;
}

std::unique_ptr<StartedProgram> Win32System::start_program(
    const std::string& exe, const std::string& folder) {
  std::wstring directory = wide(folder);
  tools::StartedProcess started = tools::start_process(
      wide(exe), L"", directory.c_str(), tools::Streams::kDetached);
  if (!started) return nullptr;
  return std::make_unique<Win32Program>(std::move(started));
}

std::uint64_t Win32System::now_ms() { return GetTickCount64(); }
void Win32System::sleep_ms(std::uint32_t ms) { Sleep(ms); }

bool Win32System::under_wine() { return tools::wine_version() != nullptr; }

std::optional<std::wstring> environment(const wchar_t* name) {
  wchar_t value[512];
  DWORD length = GetEnvironmentVariableW(name, value, 512);
  if (length == 0 || length >= 512) return std::nullopt;
  return std::wstring(value, length);
}

bool Win32System::display_set() { return environment(L"DISPLAY").has_value(); }

// `wine`, unless this process came through the 64-bit loader named in
// WINELOADER. That is how it runs on a machine that can't execute 32-bit
// programs, where Debian's `wine` picks the 32-bit loader whenever wine32
// is installed, and fails.
std::string Win32System::wine_command() {
  std::optional<std::wstring> loader = environment(L"WINELOADER");
  const std::wstring suffix = L"wine64";
  if (!loader || loader->size() < suffix.size() ||
      loader->compare(loader->size() - suffix.size(), suffix.size(), suffix) != 0)
    return "wine";
  std::string path = utf8(*loader);
  return path.find_first_of(" '") == std::string::npos ? path : "'" + path + "'";
}

std::string Win32System::graphics_driver() {
  wchar_t driver[64];
  DWORD size = sizeof driver;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Graphics",
                   RRF_RT_REG_SZ, nullptr, driver, &size) != ERROR_SUCCESS)
    return "";
  return utf8(driver);
}

}  // namespace orvek::cli
