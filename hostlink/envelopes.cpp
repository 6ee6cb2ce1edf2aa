#include "hostlink/envelopes.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "hostlink/discovery.h"
#include "hostlink/host_link_state.h"
#include "hostlink/host_protocol.h"
#include "hostlink/packet_exchange.h"

namespace orvek::hostlink {

StatusCode SendCommand(platform::Platform& os, const char* letter,
                       const char* body) {
  char reply[kCommandReplyCapacity + 1];
  std::uint32_t bytes_read = 0;
  StatusCode status = ExchangePacket(os, letter, body, reply,
                                     kCommandReplyCapacity, &bytes_read);
  if (status != kOk) return status;
  // "A\n" acknowledges; a lone "A" is too short to count.
  if (bytes_read < 2) return kOpenReply;
  if (reply[0] != 'A') return kReadReply;
  return kOk;
}

StatusCode GetString(platform::Platform& os, const char* request,
                     std::uint32_t capacity, char* result) {
  if (request == nullptr || result == nullptr) return kInvalidArgument;
  if (StatusCode status = EnsureHostWindow(os); status != kOk) return status;
  // Ten spare bytes: the exchange's NUL goes right after the last byte read.
  // On 32-bit builds a capacity near 4 GiB would wrap the size around to a
  // tiny buffer; no such buffer can exist there anyway.
  std::uint64_t reply_room = std::uint64_t{capacity} + 10;
  if (reply_room > SIZE_MAX) return kNoMemory;
  std::unique_ptr<char[]> reply(
      new (std::nothrow) char[static_cast<std::size_t>(reply_room)]);
  if (!reply) return kNoMemory;
  std::uint32_t bytes_read = 0;
  StatusCode status =
      ExchangePacket(os, "F", request, reply.get(), capacity, &bytes_read);
  if (status != kOk) return status;
  // Reply form: "G", any text, "|", the result, e.g. "G|12\n".
  if (bytes_read == 0) return kOpenReply;
  if (reply[0] != 'G') return kReadReply;
  const char* bar = std::strchr(reply.get(), '|');
  if (bar == nullptr) return kNoResult;
  std::strcpy(result, bar + 1);
  return kOk;
}

StatusCode StringProtocolW(platform::Platform& os, const char16_t* request,
                           std::int32_t capacity, char16_t* result) {
  if (request == nullptr || (capacity > 0 && result == nullptr))
    return kInvalidArgument;
  // Two bytes a unit is the most any ANSI code page needs; ten to spare.
  std::size_t units = std::char_traits<char16_t>::length(request);
  std::size_t converted_room = 2 * units + 10;
  if (converted_room > 0x7FFFFFFF) return kTooLong;
  std::unique_ptr<char[]> converted(new (std::nothrow) char[converted_room]);
  if (!converted) return kNoMemory;
  if (os.wide_to_ansi(request, converted.get(),
                      static_cast<int>(converted_room)) == 0)
    return kTooLong;

  char reply[kCommandReplyCapacity + 1];
  std::uint32_t bytes_read = 0;
  StatusCode status = ExchangePacket(os, nullptr, converted.get(), reply,
                                     kCommandReplyCapacity, &bytes_read);
  if (status != kOk) return status;
  if (capacity <= 0) return kOk;

  // A byte never becomes more than one UTF-16 unit, so the whole reply fits
  // here; what `result` can't hold is cut, never half a surrogate pair.
  char16_t wide_reply[kCommandReplyCapacity + 1];
  int written = os.ansi_to_wide(reply, wide_reply, kCommandReplyCapacity + 1);
  std::size_t length = written > 0 ? static_cast<std::size_t>(written) - 1 : 0;
  std::size_t room = static_cast<std::size_t>(capacity) - 1;
  if (length > room) {
    length = room;
    if (length > 0 && wide_reply[length - 1] >= 0xD800 &&
        wide_reply[length - 1] <= 0xDBFF)
      --length;
  }
  std::memcpy(result, wide_reply, length * sizeof(char16_t));
  result[length] = u'\0';
  return kOk;
}

}  // namespace orvek::hostlink
