// What the client knows of the host application beside the DLL: where
// Path_EXE points, its window, and its two packet files, which it reads
// after a call (calls are serialised, so the files still hold that call's
// request and reply). Also the text conversions between the terminal's
// UTF-8 and the host's ANSI code page.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/host_protocol.h"
#include "tools/orvekport/report.h"

namespace orvek::cli {

// A name of the link as text, for messages: "ORVEKPOCKETMAINW"; a packet
// file's name without its leading backslash, "PACKETTX.DAT".
std::string protocol_name(const char16_t* name);
// Where the library looks for the host application, for messages:
// "HKEY_LOCAL_MACHINE\SOFTWARE\...".
std::string host_key_text();

// Path_EXE, or nothing when it can't be read.
std::optional<std::wstring> registered_host_path();
// Sets Path_EXE; false with the system's error in *error.
bool register_host_path(const std::wstring& exe_path, std::string* error);
// UTF-16 as UTF-8, for what the client prints.
std::string utf8(const std::wstring& wide);
// The length of `value` as "%f" writes it.
std::size_t fixed_length(double value);
// The folder of a host path, without the trailing backslash.
std::wstring folder_of(const std::wstring& path);
// Under Wine, the Unix file name of a Windows path; else nothing.
std::optional<std::string> unix_file_name(const std::wstring& path);
// The host application's main window, or null.
HWND find_host_window();

// `utf8` in the ANSI code page for the host. A character that the code
// page can't hold refuses the text (nothing is returned, *problem says
// which) unless --lossy, which sends it as the code page's default.
std::optional<std::string> to_host(const std::string& utf8, const char* what,
                                   std::string* problem);
// Host bytes (ANSI code page) as UTF-8.
std::string from_host(const std::string& bytes);
// Why bytes read back from the host may not be in `code_page` (bytes it
// does not define, or a text that reads as UTF-8), or "" when they look
// right. from_host warns with it.
std::string read_back_doubt(const std::string& bytes, unsigned code_page);
// UTF-8 with CR, LF and other controls spelt out: "A|x\r\n" -> A|x\r\n.
std::string visible(const std::string& utf8);

// With --no-start and no host window: finishes `report` and returns its
// exit code (3); else 0. Every call that could start the host checks it.
int refuse_to_start(Report& report);

// Runs OrvekGPSPort_Init, since each run is a new process and commands need
// a host link found in it; with --no-start, only when the host's window is
// there. Returns 0, or the exit code after finishing `report`.
int ensure_host_link(Report& report);

// A limit a request must fit, for the message of E_TOO_LONG.
struct Limit {
  std::string what;                   // "the body of command D"
  std::optional<std::size_t> length;  // how long it is, when the client knows
  std::size_t max = 0;                // how long it may be
};

// One call to the host through the DLL: taken before the call, finished
// with its status. finish() adds what the host answered when it wrote a
// reply during the call, the request read back (--show), and what to do.
// A packet file counts as the call's when it changed since the start: file
// times tick too coarsely to tell a handshake just before from the call.
class HostCall {
 public:
  explicit HostCall(Report& report);

  void set_limit(Limit limit) { limit_ = std::move(limit); }
  // The record's fields in reply order, for the parse statuses (5 and up,
  // "no comma after field n") of a query that splits its result.
  void set_record(std::vector<const char*> field_names) {
    record_ = std::move(field_names);
  }
  // The reply the host wrote during this call, if it did.
  std::optional<std::string> fresh_reply() const;

  // Finishes the report with `status`; returns the exit code.
  int finish(std::uint32_t status);

 private:
  struct FileState {
    std::wstring path;
    FILETIME written{};
    std::optional<std::string> bytes;
  };
  static FileState file_state(const std::wstring& path);
  static std::optional<std::string> changed_since(const FileState& before);
  bool explain_parse_status(std::uint32_t status,
                            const std::optional<std::string>& reply);

  Report& report_;
  FileState request_before_;
  FileState reply_before_;
  std::optional<Limit> limit_;
  std::vector<const char*> record_;
};

// What may explain a host that started but showed no window: the emulator's
// log beside it, Wine, the display and the prefix's graphics driver.
struct NoWindowFacts {
  std::string log;                       // where the emulator would log
  std::optional<std::string> log_error;  // its last error line since start
  bool wine = false;
  bool display = false;         // DISPLAY is set
  std::string graphics_driver;  // HKCU\Software\Wine\Drivers Graphics
  std::string wine_command = "wine";  // how a shell here starts Wine
};
NoWindowFacts no_window_facts(const std::wstring& exe);
// Notes for the user: the log's error, and the likely cause.
std::vector<std::string> no_window_advice(const NoWindowFacts& facts);

// The advice for a status that says nothing of a reply: the registry key
// and how to set it, the path tried, what to check.
void explain_link_status(std::uint32_t status, Report& report);

}  // namespace orvek::cli
