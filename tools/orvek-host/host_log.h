// The emulator's log, orvek-host.log beside it: what crossed the link, one
// event a line (host_log_format.h), written through at once so a test can
// read it while the emulator runs.
#pragma once

#include <string>
#include <string_view>

#include "tools/common/host_log_format.h"
#include "tools/common/win_handle.h"

namespace orvek::host {

class HostLog {
 public:
  // Appends to `path`; a log that can't be opened is silently skipped,
  // since the emulator must never show anything.
  explicit HostLog(const std::wstring& path);

  void write(std::string_view event, std::string_view detail = {});
  // The detail escaped first: for request and reply bytes. The space after
  // the event is always written, so an empty reply logs as "send ".
  void write_bytes(std::string_view event, std::string_view bytes);

 private:
  void write_line(std::string_view event, std::string_view detail,
                  bool blank_always);

  tools::FileHandle file_;
};

}  // namespace orvek::host
