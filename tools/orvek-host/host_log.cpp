#include "host_log.h"

#include <windows.h>

#include <cstdio>

#include "byte_text.h"

namespace orvek::host {

// Every sharing mode: tests read, truncate or delete the log meanwhile.
HostLog::HostLog(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}

void HostLog::write(std::string_view event, std::string_view detail) {
  write_line(event, detail, false);
}

void HostLog::write_line(std::string_view event, std::string_view detail,
                         bool blank_always) {
  if (!file_) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%02u:%02u:%02u.%03u", now.wHour,
                now.wMinute, now.wSecond, now.wMilliseconds);
  std::string line = log_line(stamp, event, detail, blank_always);
  // One unbuffered write per line: a reader never sees half a line, and
  // nothing waits in a buffer when the emulator is killed.
  DWORD written = 0;
  WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written,
            nullptr);
}

void HostLog::write_bytes(std::string_view event, std::string_view bytes) {
  write_line(event, escape_bytes(bytes), true);
}

}  // namespace orvek::host
