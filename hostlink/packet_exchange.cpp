#include "hostlink/packet_exchange.h"

#include <cstring>
#include <string>

#include "hostlink/host_link_state.h"
#include "hostlink/host_protocol.h"
#include "platform/unique_handle.h"

namespace orvek::hostlink {
namespace {

using platform::Disposition;
using platform::UniqueFile;

constexpr std::uint32_t kReadWrite =
    platform::kGenericRead | platform::kGenericWrite;

// HostDirectory followed by a file name, e.g. "C:\Orvek\PACKETTX.DAT". The
// directory holds at most 100 units (see HostDirectory), so it always fits.
struct PacketPath {
  char16_t text[kHostPathUnits];

  explicit PacketPath(const char16_t* file_name) {
    std::size_t length = 0;
    while (HostDirectory[length] != u'\0') ++length;
    std::memcpy(text, HostDirectory, length * sizeof(char16_t));
    std::size_t name_length = std::char_traits<char16_t>::length(file_name);
    std::memcpy(text + length, file_name, (name_length + 1) * sizeof(char16_t));
  }
};
static_assert(kHostPathUnits > 100 + sizeof(kRequestFileName) / 2);

}  // namespace

StatusCode ExchangePacket(platform::Platform& os, const char* prefix,
                          const char* body, char* reply, std::uint32_t capacity,
                          std::uint32_t* bytesRead) {
  if (body == nullptr || reply == nullptr || bytesRead == nullptr)
    return kInvalidArgument;

  // The line, e.g. "F|0\n". Its length is checked before any file is touched
  // so that no cut or half-written request ever reaches the host.
  std::size_t prefix_length = prefix ? std::strlen(prefix) : 0;
  std::size_t body_length = std::strlen(body);
  std::size_t separator_length = prefix ? 1 : 0;
  std::size_t line_length = prefix_length + separator_length + body_length + 1;
  if (line_length > kMaxRequestLine) return kTooLong;
  char line[kRequestLineBuffer];
  char* end = line;
  if (prefix) {
    std::memcpy(end, prefix, prefix_length);
    end += prefix_length;
    *end++ = '|';
  }
  std::memcpy(end, body, body_length);
  end += body_length;
  *end++ = '\n';

  {
    // CREATE_ALWAYS empties the file: no tail of a longer, older line stays.
    UniqueFile request(os, os.create_file(PacketPath(kRequestFileName).text,
                                          kReadWrite, platform::kFileShareRead,
                                          Disposition::CreateAlways));
    if (!request) return kCreateRequest;
    std::uint32_t written = 0;
    if (!os.write_file(request.get(), line,
                       static_cast<std::uint32_t>(line_length), &written))
      return kWriteRequest;
    // Closed here, before the post: the request is complete before the host
    // hears of it.
  }

  // A failed creation leaves ReplyEvent null and is tried again next time.
  if (ReplyEvent == platform::kNullHandle)
    ReplyEvent = os.create_event(kReplyEventName);
  // The reset comes before the post so that a late signal of an earlier,
  // timed-out exchange can't end this wait.
  os.reset_event(ReplyEvent);
  os.post_message(HostWindow, WM_PORT_REQUEST, PORT_WPARAM_PACKET, 0);
  if (os.wait(ReplyEvent, kReplyWaitMs) == platform::kWaitTimeout)
    return kTimeout;

  UniqueFile answer(os, os.create_file(PacketPath(kReplyFileName).text,
                                       kReadWrite, platform::kFileShareRead,
                                       Disposition::OpenExisting));
  if (!answer) return kOpenReply;
  *bytesRead = 0;
  bool read_ok = os.read_file(answer.get(), reply, capacity, bytesRead);
  answer.reset();
  if (!read_ok) return kReadReply;
  reply[*bytesRead] = '\0';
  return kOk;
}

}  // namespace orvek::hostlink
