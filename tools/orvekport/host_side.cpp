#include "tools/orvekport/host_side.h"

#include <cstdio>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/win_files.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_text.h"
#include "tools/common/wine_unix.h"
#include "tools/orvekport/arguments.h"

namespace orvek::cli {
namespace {

const wchar_t* const kHostKey = tools::as_wide(protocol::kHostRegistryKey);
const wchar_t* const kHostValue = tools::as_wide(protocol::kHostPathValue);

std::string system_error(DWORD code) {
  std::string message = tools::system_text(code);
  return "error " + std::to_string(code) +
         (message.empty() ? "" : ": " + message);
}

std::optional<std::wstring> environment(const wchar_t* name) {
  wchar_t value[512];
  DWORD length = GetEnvironmentVariableW(name, value, 512);
  if (length == 0 || length >= 512) return std::nullopt;
  return std::wstring(value, length);
}

// How a shell starts a Wine program here: `wine`, unless this process came
// through the 64-bit loader named in WINELOADER. That is how it runs on a
// machine that can't execute 32-bit programs, where Debian's `wine` picks
// the 32-bit loader whenever wine32 is installed, and fails.
std::string wine_command() {
  std::optional<std::wstring> loader = environment(L"WINELOADER");
  const std::wstring suffix = L"wine64";
  if (!loader || loader->size() < suffix.size() ||
      loader->compare(loader->size() - suffix.size(), suffix.size(), suffix) != 0)
    return "wine";
  std::string path = utf8(*loader);
  return path.find_first_of(" '") == std::string::npos ? path
                                                        : "'" + path + "'";
}

// The registry view this build's DLL reads: a 32-bit program's HKLM\SOFTWARE
// is the WOW6432Node view. `wine reg` is the 32-bit reg.exe whenever 32-bit
// Wine is installed, so the hint names the view rather than trusting it.
constexpr const char* kRegistryView = sizeof(void*) == 8 ? "/reg:64" : "/reg:32";

std::string set_path_advice() {
  return "set it with 'orvekport host start FOLDER' (installs the emulator "
         "there), or point it at the host with: " + wine_command() +
         " reg add 'HKLM\\" +
         protocol_name(protocol::kHostRegistryKey) + "' /v " +
         protocol_name(protocol::kHostPathValue) +
         " /d 'C:\\path\\to\\host.exe' " + kRegistryView + " /f";
}

// What the emulator's log beside `exe` last reported as an error, if it has
// a log there.
std::optional<std::string> last_log_error(const std::wstring& exe) {
  std::optional<std::string> log =
      tools::read_whole_file(folder_of(exe) + L"\\orvek-host.log");
  if (!log) return std::nullopt;
  std::optional<std::string> found;
  std::size_t start = 0;
  while (start < log->size()) {
    std::size_t end = log->find('\n', start);
    if (end == std::string::npos) end = log->size();
    std::string line = log->substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find(" error ") != std::string::npos) found = line;
    if (line.find(" start pid ") != std::string::npos) found.reset();
    start = end + 1;
  }
  return found;
}

}  // namespace

std::optional<std::string> unix_file_name(const std::wstring& path) {
  // Wine's kernel32 exports it; the name comes in a block of the process heap.
  using ToUnix = char*(__cdecl*)(const wchar_t*);
  auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(GetProcAddress(
      GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = to_unix != nullptr ? to_unix(path.c_str()) : nullptr;
  if (name == nullptr) return std::nullopt;
  std::string result(name);
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

NoWindowFacts no_window_facts(const std::wstring& exe) {
  NoWindowFacts facts;
  facts.log = utf8(folder_of(exe) + L"\\orvek-host.log");
  facts.log_error = last_log_error(exe);
  facts.wine = tools::wine_version() != nullptr;
  facts.wine_command = wine_command();
  facts.display = environment(L"DISPLAY").has_value();
  wchar_t driver[64];
  DWORD size = sizeof driver;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", L"Graphics",
                   RRF_RT_REG_SZ, nullptr, driver, &size) == ERROR_SUCCESS)
    facts.graphics_driver = utf8(driver);
  return facts;
}

std::vector<std::string> no_window_advice(const NoWindowFacts& facts) {
  std::vector<std::string> lines;
  if (facts.log_error)
    lines.push_back("its log '" + facts.log + "' says: " + *facts.log_error);
  bool null_driver = facts.graphics_driver == "null";
  if (facts.wine && !facts.display && !null_driver)
    lines.push_back(
        "likely cause: no display (DISPLAY is not set) and the prefix's "
        "graphics driver is not the null one; set it with: " +
        facts.wine_command +
        " reg add "
        "'HKCU\\Software\\Wine\\Drivers' /v Graphics /d null /f");
  else if (!facts.log_error)
    lines.push_back(
        "a window needs a display: under Wine without one, the prefix needs "
        "the null graphics driver (HKCU\\Software\\Wine\\Drivers, Graphics = "
        "null); the emulator logs to '" + facts.log + "'");
  return lines;
}

std::optional<std::wstring> registered_host_path() {
  wchar_t path[1024];
  DWORD size = sizeof path;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kHostKey, kHostValue, RRF_RT_REG_SZ,
                   nullptr, path, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(path);
}

bool register_host_path(const std::wstring& exe_path, std::string* error) {
  tools::RegistryKey key;
  LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kHostKey, 0, nullptr, 0,
                                KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (result == ERROR_SUCCESS)
    result = RegSetValueExW(
        key.get(), kHostValue, 0, REG_SZ,
        reinterpret_cast<const BYTE*>(exe_path.c_str()),
        static_cast<DWORD>((exe_path.size() + 1) * sizeof(wchar_t)));
  if (result != ERROR_SUCCESS)
    *error = system_error(static_cast<DWORD>(result));
  return result == ERROR_SUCCESS;
}

std::string utf8(const std::wstring& wide) {
  return tools::narrow(CP_UTF8, wide);
}

std::size_t fixed_length(double value) {
  return static_cast<std::size_t>(std::snprintf(nullptr, 0, "%f", value));
}

std::wstring folder_of(const std::wstring& path) {
  std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

HWND find_host_window() {
  return FindWindowW(tools::as_wide(protocol::kHostWindowClass), nullptr);
}

std::string protocol_name(const char16_t* name) {
  if (*name == u'\\') ++name;
  std::string text;
  for (; *name != u'\0'; ++name) text += static_cast<char>(*name);
  return text;
}

std::string host_key_text() {
  return "HKEY_LOCAL_MACHINE\\" + protocol_name(protocol::kHostRegistryKey);
}

std::optional<std::string> to_host(const std::string& utf8_text,
                                   const char* what, std::string* problem) {
  std::wstring wide = tools::widen(CP_UTF8, utf8_text);
  if (std::optional<std::string> exact = tools::narrow_exact(wide))
    return exact;
  if (global_options().lossy) return tools::narrow(CP_ACP, wide);
  std::string missing;
  for (wchar_t c : wide) {
    std::wstring one(1, c);
    if (!tools::narrow_exact(one))
      missing += (missing.empty() ? "'" : ", '") + utf8(one) + "'";
  }
  *problem = std::string(what) + " '" + utf8_text +
             "' holds characters that the host's code page (" +
             std::to_string(GetACP()) + ") can't hold" +
             (missing.empty() ? "" : ": " + missing) +
             "; --lossy sends them as '?'";
  return std::nullopt;
}

std::string from_host(const std::string& bytes) {
  std::string shown = tools::narrow(CP_UTF8, tools::widen(CP_ACP, bytes));
  if (std::string doubt = read_back_doubt(bytes, GetACP()); !doubt.empty())
    Report::warn("'" + visible(shown) + "' " + doubt);
  return shown;
}

std::string read_back_doubt(const std::string& bytes, unsigned code_page) {
  bool multibyte = false;
  for (unsigned char c : bytes) multibyte = multibyte || c >= 0x80;
  if (!multibyte || code_page == CP_UTF8) return "";
  bool undefined = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS,
                                      bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, 0) == 0;
  if (undefined)
    return "holds bytes that the code page (" + std::to_string(code_page) +
           ") does not define: the host may write another code page";
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                          static_cast<int>(bytes.size()), nullptr, 0) != 0)
    return "reads as UTF-8, not as the code page (" +
           std::to_string(code_page) + "): the host may write UTF-8";
  return "";
}

std::string visible(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if (c == '\r')
      shown += "\\r";
    else if (c == '\n')
      shown += "\\n";
    else if (c == '\\')
      shown += "\\\\";
    else if (c < 0x20 || c == 0x7F) {
      shown += "\\x";
      shown += tools::kHexDigits[c >> 4];
      shown += tools::kHexDigits[c & 0xF];
    } else
      shown += static_cast<char>(c);
  }
  return shown;
}

void explain_link_status(std::uint32_t status, Report& report) {
  std::optional<std::wstring> path = registered_host_path();
  std::string folder = path ? utf8(folder_of(*path)) : "";
  switch (status) {
    case ORVEKPORT_E_REGISTRY:
      if (path && path->size() > ORVEKPORT_HOST_PATH_MAX)
        report.note("Path_EXE under " + host_key_text() + " is " +
                    std::to_string(path->size()) + " characters, " +
                    std::to_string(ORVEKPORT_HOST_PATH_MAX) +
                    " at most: move the host to a shorter path");
      else
        report.note("Path_EXE under " + host_key_text() +
                    " is not set or can't be read; " + set_path_advice());
      break;
    case ORVEKPORT_E_NO_HOST:
      if (!path) break;
      if (GetFileAttributesW(path->c_str()) == INVALID_FILE_ATTRIBUTES)
        report.note("Path_EXE is '" + utf8(*path) +
                    "', which does not exist; " + set_path_advice());
      else {
        report.note("started '" + utf8(*path) +
                    "' (Path_EXE), but no window of class " +
                    protocol_name(protocol::kHostWindowClass) +
                    " appeared within " +
                    std::to_string(protocol::kHostStartPollMs / 1000) + " s");
        for (std::string& line : no_window_advice(no_window_facts(*path)))
          report.note(std::move(line));
      }
      break;
    case ORVEKPORT_E_CREATE_REQUEST:
    case ORVEKPORT_E_WRITE_REQUEST:
      report.note("the request file " +
                  protocol_name(protocol::kRequestFileName) + " in '" + folder +
                  "' can't be written: check that the folder exists and is "
                  "writable");
      break;
    case ORVEKPORT_E_TIMEOUT:
      report.note("the host in '" + folder +
                  "' did not signal its reply; is it busy or hung? "
                  "'orvekport host status' shows whether its window is there");
      break;
    case ORVEKPORT_E_OPEN_REPLY:
      report.note("the reply file " +
                  protocol_name(protocol::kReplyFileName) + " in '" + folder +
                  "' can't be opened, or the reply was too short");
      break;
    case ORVEKPORT_E_BUSY:
      report.note(
          "another program held the host link, or the host still "
          "owed an earlier answer; nothing was sent: try again");
      break;
    case ORVEKPORT_E_INVALID_ARGUMENT:
      report.note(
          "a number can't be sent: coordinates and altitude must be "
          "finite and below 2^31 in magnitude");
      break;
    default: break;
  }
}

int refuse_to_start(Report& report) {
  if (!global_options().no_start || find_host_window() != nullptr) return 0;
  return report.fail(
      "the host is not running and --no-start was given; start it with "
      "'orvekport host start FOLDER', or drop --no-start");
}

int ensure_host_link(Report& report) {
  if (int exit_code = refuse_to_start(report); exit_code != 0) return exit_code;
  // Made before Init, so that a handshake reply Init read counts as fresh.
  HostCall init(report);
  std::uint32_t status = OrvekGPSPort_Init();
  if (status == ORVEKPORT_OK) return 0;
  report.note("OrvekGPSPort_Init failed, so nothing was sent");
  return init.finish(status);
}

HostCall::FileState HostCall::file_state(const std::wstring& path) {
  FileState state{path, {}, std::nullopt};
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!path.empty() &&
      GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    state.written = data.ftLastWriteTime;
    state.bytes = tools::read_whole_file(path);
  }
  return state;
}

std::optional<std::string> HostCall::changed_since(const FileState& before) {
  FileState now = file_state(before.path);
  if (!now.bytes) return std::nullopt;
  bool changed = !before.bytes || *now.bytes != *before.bytes ||
                 CompareFileTime(&now.written, &before.written) != 0;
  return changed ? now.bytes : std::nullopt;
}

HostCall::HostCall(Report& report) : report_(report) {
  std::optional<std::wstring> path = registered_host_path();
  std::wstring folder = path ? folder_of(*path) : L"";
  // The request file matters only to --show; the reply to every call.
  if (global_options().show)
    request_before_ = file_state(
        path ? folder + tools::as_wide(protocol::kRequestFileName) : L"");
  reply_before_ = file_state(
      path ? folder + tools::as_wide(protocol::kReplyFileName) : L"");
}

std::optional<std::string> HostCall::fresh_reply() const {
  return changed_since(reply_before_);
}

bool HostCall::explain_parse_status(std::uint32_t status,
                                    const std::optional<std::string>& reply) {
  // A parse status only follows a query whose reply was "G...|record".
  constexpr std::uint32_t kFirstParseStatus = ORVEKPORT_E_NO_COMMA_AFTER_FIELD1;
  if (record_.empty() || status < kFirstParseStatus ||
      status >= kFirstParseStatus + record_.size() - 1 || !reply ||
      reply->empty() || (*reply)[0] != 'G' ||
      reply->find('|') == std::string::npos)
    return false;
  std::size_t field = status - kFirstParseStatus;  // 0-based, no comma after
  report_.rename_status(
      "E_NO_COMMA_AFTER_FIELD" + std::to_string(field + 1),
      "the record ended before field " + std::to_string(field + 2) + " (" +
          record_[field + 1] + "): no comma after field " +
          std::to_string(field + 1) + " (" + record_[field] + ")");
  return true;
}

int HostCall::finish(std::uint32_t status) {
  std::optional<std::string> reply = fresh_reply();
  if (global_options().show) {
    // A refused call wrote nothing, whatever the file says.
    bool refused = status == ORVEKPORT_E_TOO_LONG && limit_;
    std::optional<std::string> request = changed_since(request_before_);
    report_.sent(request && !refused ? visible(from_host(*request))
                                     : "(nothing)");
  }
  bool parse = explain_parse_status(status, reply);
  // What the host answered, when its answer is why the call failed.
  bool answer_matters = parse || status == ORVEKPORT_E_OPEN_REPLY ||
                        status == ORVEKPORT_E_READ_REPLY ||
                        status == ORVEKPORT_E_NO_RESULT ||
                        (status == ORVEKPORT_E_TOO_LONG && !limit_);
  if (status != ORVEKPORT_OK && answer_matters && reply)
    report_.host_answered(visible(from_host(*reply)));
  if (status == ORVEKPORT_E_TOO_LONG && limit_ && !limit_->length) {
    report_.note(limit_->what + " passes " + std::to_string(limit_->max) +
                 " bytes; nothing was sent");
  } else if (status == ORVEKPORT_E_TOO_LONG && limit_) {
    std::size_t length = *limit_->length;
    std::size_t over = length > limit_->max ? length - limit_->max : 0;
    report_.note(limit_->what + " is " + std::to_string(length) +
                 " bytes, " + std::to_string(limit_->max) + " at most" +
                 (over ? " (" + std::to_string(over) + " too many)" : "") +
                 "; nothing was sent");
  } else if (!parse && status != ORVEKPORT_OK) {
    explain_link_status(status, report_);
  }
  return report_.finish(status);
}

}  // namespace orvek::cli
