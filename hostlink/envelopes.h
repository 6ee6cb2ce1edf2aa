// The three envelopes through which every host operation goes: commands
// acknowledged by "A", queries answered by "G...|result", raw requests.
#pragma once

#include <cstdint>

#include "hostlink/status.h"
#include "platform/platform.h"

namespace orvek::hostlink {

// Sends "letter|body\n" and judges the reply: 0 when it has at least 2 bytes
// and begins with "A"; 8 shorter, 9 another letter; else the exchange's
// status. Does not start discovery.
StatusCode SendCommand(platform::Platform& os, const char* letter,
                       const char* body);

// Sends "F|request\n", reads at most `capacity` reply bytes and copies the
// text after the first "|" of a reply that begins with "G" into `result`
// (which `capacity` bytes always hold). Does not start discovery (GetString
// in discovery.h does). 8 empty reply, 9 not "G", 10 no "|"; 12 null
// argument; 13 no memory for a reply buffer too large for the stack.
StatusCode SendQuery(platform::Platform& os, const char* request,
                     std::uint32_t capacity, char* result);

// Sends the UTF-16 `request`, converted to the ANSI code page, as the whole
// line and converts the reply back into `result` (`capacity` units with the
// terminator), cut when it does not fit. The reply is not judged.
// 11 request over 198 converted bytes; 12 null argument.
StatusCode StringProtocolW(platform::Platform& os, const char16_t* request,
                           std::int32_t capacity, char16_t* result);

}  // namespace orvek::hostlink
