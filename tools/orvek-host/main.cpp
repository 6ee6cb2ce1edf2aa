// orvek-host.exe: a stand-in for the moving-map host application, for
// integration tests and demonstrations. It owns the window class the
// library looks for, answers packet requests from its model and logs every
// byte that crosses. It never shows a message box.
#include <windows.h>

#include <optional>

#include "host_files.h"
#include "host_log.h"
#include "host_model.h"
#include "protocol/host_protocol.h"
#include "packet_server.h"
#include "standard_streams.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_text.h"

namespace {

using orvek::host::HostLog;
using orvek::host::HostModel;
using orvek::host::PacketServer;
namespace log_event = orvek::host::log_event;
namespace protocol = orvek::protocol;

const wchar_t* wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}

// Held for the emulator's life: a second copy started in the same instant,
// before the first one's window exists, still sees it.
constexpr wchar_t kInstanceMutexName[] = L"OrvekHostEmulator.SingleInstance";

struct Emulator {
  std::wstring directory;
  HostLog& log;
  HostModel model;
  std::optional<PacketServer> server;
};

void paint(HWND window, const Emulator& emulator) {
  PAINTSTRUCT paint_info;
  HDC dc = BeginPaint(window, &paint_info);
  RECT area;
  GetClientRect(window, &area);
  InflateRect(&area, -8, -8);
  std::wstring text = orvek::host::from_ansi(emulator.model.summary());
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
            DT_LEFT | DT_TOP | DT_NOPREFIX | DT_WORDBREAK);
  EndPaint(window, &paint_info);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam,
                                  LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* emulator =
      reinterpret_cast<Emulator*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (emulator == nullptr)
    return DefWindowProcW(window, message, wparam, lparam);

  switch (message) {
    case WM_CREATE:
      emulator->server.emplace(window, emulator->directory, emulator->model,
                               emulator->log);
      return 0;
    case protocol::WM_PORT_REQUEST:
      if (wparam == protocol::PORT_WPARAM_PACKET) {
        emulator->server->on_packet_request();
      } else if (wparam == protocol::PORT_WPARAM_MOVINGMAP_INIT) {
        emulator->log.write(log_event::kMovingMapInit,
                            std::to_string(emulator->model.moving_map_init()));
        InvalidateRect(window, nullptr, TRUE);
      } else {
        emulator->log.write(log_event::kIgnored,
                            "wParam " + std::to_string(wparam));
      }
      return 0;
    case WM_TIMER:
      if (wparam == PacketServer::kTimerId) emulator->server->on_timer();
      return 0;
    case WM_PAINT:
      paint(window, *emulator);
      return 0;
    case WM_DESTROY:
      emulator->server.reset();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// An exported picture: a relative name lands beside the executable, like
// every other file of the host.
std::string write_export(const std::wstring& directory, const std::string& name,
                         const std::string& bytes) {
  std::wstring path = orvek::host::from_ansi(name);
  bool absolute = (path.size() > 1 && path[1] == L':') ||
                  (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
  if (!absolute) path = directory + L"\\" + path;
  if (bytes.empty()) return "picture could not be encoded";
  if (!orvek::host::write_whole_file(path, bytes))
    return "cannot write " + name + ": " +
           orvek::tools::error_text(GetLastError(), orvek::tools::ErrorForm::kNumber);
  return {};
}

void seed_mobiles(Emulator& emulator) {
  auto seeds =
      orvek::host::read_whole_file(emulator.directory + L"\\" +
          orvek::tools::widen(CP_UTF8, orvek::host::kMobileSeedFileName));
  if (!seeds) return;
  for (const std::string& problem : emulator.model.seed_mobiles(*seeds))
    emulator.log.write(log_event::kSeedError, problem);
  emulator.log.write(log_event::kSeed,
                     std::to_string(emulator.model.mobiles().size()) +
                         " mobiles");
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  // No error boxes from the system either: a crash just ends the process.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX |
               SEM_NOOPENFILEERRORBOX);
  std::wstring directory = orvek::host::executable_directory();
  HostLog log(directory + L"\\" +
              orvek::tools::widen(CP_UTF8, orvek::host::kLogFileName));
  const DWORD pid = GetCurrentProcessId();
  // First of all, before a refused second copy returns too.
  if (!orvek::host::release_standard_streams())
    log.write(log_event::kError,
              orvek::host::pid_detail(pid) + ": standard streams kept");

  orvek::tools::ObjectHandle instance_mutex(
      CreateMutexW(nullptr, FALSE, kInstanceMutexName));
  bool already_running =
      instance_mutex && GetLastError() == ERROR_ALREADY_EXISTS;
  if (already_running ||
      FindWindowW(wide(protocol::kHostWindowClass), nullptr) != nullptr) {
    log.write(log_event::kRefused,
              orvek::host::pid_detail(pid) + ": another instance is running");
    return 0;
  }
  log.write(log_event::kStart,
            orvek::host::start_detail(pid, orvek::host::to_utf8(directory)));

  Emulator emulator{directory, log, {}, {}};
  seed_mobiles(emulator);
  emulator.model.set_file_writer(
      [&directory](const std::string& name, const std::string& bytes) {
        return write_export(directory, name, bytes);
      });

  WNDCLASSW window_class{};
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = wide(protocol::kHostWindowClass);
  if (RegisterClassW(&window_class) == 0) {
    log.write(log_event::kError, "window class can't be registered");
    return 1;
  }
  HWND window = CreateWindowExW(
      0, wide(protocol::kHostWindowClass), L"Orvek host emulator",
      WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480, 320, nullptr,
      nullptr, instance, &emulator);
  if (window == nullptr) {
    log.write(log_event::kError, "window can't be created");
    return 1;
  }
  ShowWindow(window, show);
  UpdateWindow(window);
  log.write(log_event::kReady);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  log.write(log_event::kStop, orvek::host::pid_detail(pid));
  return 0;
}
