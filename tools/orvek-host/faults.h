// Fault injection: what the emulator does wrong on purpose, read from the
// fault file before each request so that a test can change it while the
// emulator runs.
//
// One fault a line:  [once] [when=<prefix>] <action> [argument]
//   delay <ms>          answer <ms> later (over 3000: after the library gave up)
//   no-reply            delete the reply file instead of writing it, then signal
//   no-signal           write the reply but never set the event
//   hold-reply <ms>     keep the reply file open <ms> after signalling
//   hold-request <ms>   keep the request file open <ms> after reading it
//   stall <ms>          block <ms> after reading, like a busy host whose
//                       messages queue meanwhile
//   reply <text>        answer exactly these bytes (escaped: \n \r \t \\ \xNN \0)
//   reply-hex <hex>     answer exactly these bytes, given in hex
// "once" lines apply to the next matching request only and are then removed
// from the file; "when=" limits a line to requests beginning with <prefix>
// (escaped like reply text). Blank lines and lines starting "#" are skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvek::host {

struct FaultPlan {
  std::uint32_t delay_ms = 0;
  bool no_reply = false;
  bool no_signal = false;
  std::uint32_t hold_reply_ms = 0;
  std::uint32_t hold_request_ms = 0;
  std::uint32_t stall_ms = 0;
  // Exact reply bytes; the request then leaves the model untouched.
  std::optional<std::string> reply;
};

struct FaultReading {
  FaultPlan plan;
  // The lines that matched this request, and lines that could not be read.
  std::vector<std::string> applied;
  std::vector<std::string> errors;
  // The file without the "once" lines that were used; meaningful only when
  // `consumed_once` is set.
  std::string remaining;
  bool consumed_once = false;
};

// The faults of `file_text` that apply to `request_line` (the request file's
// content as read, line feed included).
FaultReading read_faults(std::string_view file_text,
                         std::string_view request_line);

}  // namespace orvek::host
