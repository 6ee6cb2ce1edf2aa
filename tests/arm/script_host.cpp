// A host application reduced to what the call table needs, with no C
// runtime so that it builds for ARM64 too: it owns the host window class,
// answers each request with the next line of replies.txt beside it, and
// appends every request to requests.log there, byte for byte. A script
// line is "now REPLY" (answered at once) or "late REPLY" (answered once
// the library's wait has run out); \r, \n and \\ stand for their bytes.
// WM_CLOSE ends it.
#include "bare_windows.h"
#include "protocol/host_protocol.h"

namespace {

namespace protocol = orvek::protocol;

const wchar_t* wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}

// Past the library's 3000 ms wait, early in the next call's wait for an
// owed answer.
constexpr UINT kLateReplyMs = protocol::kReplyWaitMs + 500;
constexpr UINT_PTR kLateTimer = 1;

// The host's state: process-wide, as a window procedure has no other way
// to it.
constinit char script[16384];
constinit std::size_t script_length = 0;
constinit std::size_t script_at = 0;
constinit bare::Wide folder;
constinit bare::Narrow late_reply;

bare::Wide PathOf(std::wstring_view name) {
  bare::Wide path;
  return path.add(folder.view()).add(name);
}

void Log(std::string_view bytes) {
  bare::WriteWholeFile(PathOf(L"\\requests.log").c_str(), bytes, OPEN_ALWAYS);
}

void Answer(std::string_view reply) {
  bare::WriteWholeFile(PathOf(wide(protocol::kReplyFileName)).c_str(), reply);
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, wide(protocol::kReplyEventName));
  SetEvent(event);
  CloseHandle(event);
}

// The next script line, unescaped into `reply`; false when none is left.
bool NextLine(bare::Narrow* how, bare::Narrow* reply) {
  if (script_at >= script_length) return false;
  bare::Narrow* into = how;
  while (script_at < script_length && script[script_at] != '\n') {
    char c = script[script_at++];
    if (c == ' ' && into == how) {
      into = reply;
    } else if (c == '\\' && script_at < script_length) {
      c = script[script_at++];
      into->add(c == 'r' ? '\r' : c == 'n' ? '\n' : c);
    } else {
      into->add(c);
    }
  }
  ++script_at;
  return true;
}

void OnRequest(HWND window) {
  char request[4096];
  long length = bare::ReadWholeFile(PathOf(wide(protocol::kRequestFileName)).c_str(),
                                    request, sizeof request);
  Log(length < 0 ? std::string_view("(request file unreadable)\n")
                 : std::string_view(request, static_cast<std::size_t>(length)));
  bare::Narrow how, reply;
  if (!NextLine(&how, &reply)) {
    Log("(no script line left: not answered)\n");
  } else if (how.view() == "late") {
    late_reply = reply;
    SetTimer(window, kLateTimer, kLateReplyMs, nullptr);
  } else {
    Answer(reply.view());
  }
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                 LPARAM lparam) {
  if (message == protocol::WM_PORT_REQUEST &&
      wparam == protocol::PORT_WPARAM_PACKET) {
    OnRequest(window);
  } else if (message == protocol::WM_PORT_REQUEST &&
             wparam == protocol::PORT_WPARAM_MOVINGMAP_INIT) {
    Log("(moving map init)\n");
  } else if (message == WM_TIMER && wparam == kLateTimer) {
    KillTimer(window, kLateTimer);
    Answer(late_reply.view());
  } else if (message == WM_DESTROY) {
    PostQuitMessage(0);
  } else {
    return DefWindowProcW(window, message, wparam, lparam);
  }
  return 0;
}

}  // namespace

extern "C" void start() {
  folder = bare::ProgramFolder();
  long length = bare::ReadWholeFile(PathOf(L"\\replies.txt").c_str(), script,
                                    sizeof script);
  script_length = length < 0 ? 0 : static_cast<std::size_t>(length);

  WNDCLASSW window_class{};
  window_class.lpfnWndProc = WindowProcedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = wide(protocol::kHostWindowClass);
  RegisterClassW(&window_class);
  // Top-level, never shown: the library finds it by its class.
  if (CreateWindowExW(0, window_class.lpszClassName, L"script host", 0, 0, 0,
                      0, 0, nullptr, nullptr, window_class.hInstance,
                      nullptr) == nullptr) {
    Log("(no window)\n");
    ExitProcess(1);
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  ExitProcess(0);
}
