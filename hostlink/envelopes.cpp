#include "hostlink/envelopes.h"

#include <cstdint>
#include <cstring>

#include "protocol/host_protocol.h"
#include "hostlink/packet_exchange.h"
#include "platform/scratch_buffer.h"

namespace orvek::hostlink {

using namespace protocol;
namespace {

// A query's reply buffer lies on the stack up to this size, enough for every
// query the library makes itself; a caller's larger capacity uses the heap.
constexpr std::size_t kReplyStackBytes = kReplyCapacity + kQueryReplySpare;

}  // namespace

StatusCode SendCommand(platform::Platform& os, const char* letter,
                       const char* body) {
  char reply[kCommandReplyCapacity + 1];
  std::uint32_t bytes_read = 0;
  StatusCode status = ExchangePacket(os, letter, body, reply,
                                     kCommandReplyCapacity, &bytes_read);
  if (status != ORVEKPORT_OK) return status;
  // "A\n" acknowledges; a lone "A" is too short to count.
  if (bytes_read < 2) return ORVEKPORT_E_OPEN_REPLY;
  if (reply[0] != kCommandAcknowledged) return ORVEKPORT_E_READ_REPLY;
  return ORVEKPORT_OK;
}

StatusCode SendQuery(platform::Platform& os, const char* request,
                     std::uint32_t capacity, char* result) {
  if (request == nullptr || result == nullptr)
    return ORVEKPORT_E_INVALID_ARGUMENT;
  // On 32-bit builds a capacity near 4 GiB would wrap the size around to a
  // tiny buffer; no such buffer can exist there anyway.
  std::uint64_t reply_room = std::uint64_t{capacity} + kQueryReplySpare;
  if (reply_room > SIZE_MAX) return ORVEKPORT_E_NO_MEMORY;
  platform::ScratchBuffer<kReplyStackBytes> reply(
      os, static_cast<std::size_t>(reply_room));
  if (!reply) return ORVEKPORT_E_NO_MEMORY;
  std::uint32_t bytes_read = 0;
  StatusCode status = ExchangePacket(os, kQueryLetter, request, reply.get(),
                                     capacity, &bytes_read);
  if (status != ORVEKPORT_OK) return status;
  // Reply form: "G", any text, "|", the result, e.g. "G|12\n".
  if (bytes_read == 0) return ORVEKPORT_E_OPEN_REPLY;
  if (reply.get()[0] != kQueryAnswered) return ORVEKPORT_E_READ_REPLY;
  const char* bar = std::strchr(reply.get(), kResultSeparator);
  if (bar == nullptr) return ORVEKPORT_E_NO_RESULT;
  std::strcpy(result, bar + 1);
  return ORVEKPORT_OK;
}

StatusCode StringProtocolW(platform::Platform& os, const char16_t* request,
                           std::int32_t capacity, char16_t* result) {
  if (request == nullptr || (capacity > 0 && result == nullptr))
    return ORVEKPORT_E_INVALID_ARGUMENT;
  // Converted straight into the room of a request line: a request that
  // does not fit there fails the conversion and is refused.
  char converted[kRequestLineBuffer];
  if (os.wide_to_ansi(request, converted, kMaxRequestLine) == 0)
    return ORVEKPORT_E_TOO_LONG;

  char reply[kCommandReplyCapacity + 1];
  std::uint32_t bytes_read = 0;
  StatusCode status = ExchangePacket(os, nullptr, converted, reply,
                                     kCommandReplyCapacity, &bytes_read);
  if (status != ORVEKPORT_OK) return status;
  if (capacity <= 0) return ORVEKPORT_OK;

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
  return ORVEKPORT_OK;
}

}  // namespace orvek::hostlink
