#include "hostlink/packet_exchange.h"

#include <cstring>

#include "hostlink/host_link_state.h"
#include "hostlink/link_record.h"
#include "hostlink/packet_path.h"
#include "protocol/host_protocol.h"
#include "platform/unique_handle.h"

namespace orvek::hostlink {

using namespace protocol;
namespace {

using platform::Disposition;
using platform::UniqueFile;

constexpr std::uint32_t kReadWrite =
    platform::kGenericRead | platform::kGenericWrite;

// The exchange from the lock on; `*nobody_heard` when no host can have
// heard the request (no window known, or the post failed), and the caller
// still owes its caller the wait for an answer that cannot come.
StatusCode ExchangeUnderLock(platform::Platform& os, const char* line,
                             std::size_t line_length, char* reply,
                             std::uint32_t capacity, std::uint32_t* bytesRead,
                             bool* nobody_heard) {
  LinkLock lock(os);
  if (StatusCode status = lock.take(); status != ORVEKPORT_OK) return status;
  LinkRecord record(os);
  if (StatusCode status = record.settle(); status != ORVEKPORT_OK)
    return status;

  {
    // CREATE_ALWAYS empties the file: no tail of a longer, older line stays.
    UniqueFile request(os, os.create_file(PacketPath(kRequestFileName).text,
                                          kReadWrite, platform::kFileShareRead,
                                          Disposition::CreateAlways));
    if (!request) return ORVEKPORT_E_CREATE_REQUEST;
    std::uint32_t written = 0;
    if (!os.write_file(request.get(), line,
                       static_cast<std::uint32_t>(line_length), &written))
      return ORVEKPORT_E_WRITE_REQUEST;
    // Closed here, before the post: the request is complete before the host
    // hears of it.
  }

  // A null window posts to this thread's own queue: no host hears it.
  if (HostWindow == platform::kNullHandle) {
    os.post_message(HostWindow, WM_PORT_REQUEST, PORT_WPARAM_PACKET, 0);
    *nobody_heard = true;
    return ORVEKPORT_E_TIMEOUT;
  }
  OpenReplyEvent(os);
  // The reset comes before the post so that a signal left over from an
  // earlier exchange can't end this wait.
  os.reset_event(ReplyEvent);
  // A post that failed (a window that has gone) reached nobody.
  if (!os.post_message(HostWindow, WM_PORT_REQUEST, PORT_WPARAM_PACKET, 0)) {
    *nobody_heard = true;
    return ORVEKPORT_E_TIMEOUT;
  }
  // Owed until answered, also when this caller dies waiting.
  record.owe();
  if (os.wait(ReplyEvent, kReplyWaitMs) == platform::kWaitTimeout) {
    record.keep_owed();
    return ORVEKPORT_E_TIMEOUT;
  }
  // Answered; a wait that failed can't tell, and owing for ever would shut
  // the link for good.
  record.answered();

  UniqueFile answer(os, os.create_file(PacketPath(kReplyFileName).text,
                                       kReadWrite, platform::kFileShareRead,
                                       Disposition::OpenExisting));
  if (!answer) return ORVEKPORT_E_OPEN_REPLY;
  *bytesRead = 0;
  bool read_ok = os.read_file(answer.get(), reply, capacity, bytesRead);
  answer.reset();
  if (!read_ok) return ORVEKPORT_E_READ_REPLY;
  reply[*bytesRead] = '\0';
  return ORVEKPORT_OK;
}

}  // namespace

LinkLock::~LinkLock() {
  if (held_) os_.release_mutex(ExchangeLock.load());
}

StatusCode LinkLock::take() {
  platform::Handle lock = ExchangeLock.load();
  if (lock == platform::kNullHandle) {
    platform::Handle opened = os_.create_mutex(kExchangeLockName);
    if (opened == platform::kNullHandle) return ORVEKPORT_E_BUSY;
    // Two threads may open it at once: the one that comes second closes
    // its own handle and uses the first.
    if (ExchangeLock.compare_exchange_strong(lock, opened))
      lock = opened;
    else
      os_.close_handle(opened);
  }
  std::uint32_t outcome = os_.wait(lock, kLockWaitMs);
  held_ = outcome == platform::kWaitObject0 ||
          outcome == platform::kWaitAbandoned;
  return held_ ? ORVEKPORT_OK : ORVEKPORT_E_BUSY;
}

StatusCode ExchangePacket(platform::Platform& os, const char* prefix,
                          const char* body, char* reply, std::uint32_t capacity,
                          std::uint32_t* bytesRead) {
  if (body == nullptr || reply == nullptr || bytesRead == nullptr)
    return ORVEKPORT_E_INVALID_ARGUMENT;

  // The line, e.g. "F|0\n". Its length is checked before any file is touched
  // so that no cut or half-written request ever reaches the host.
  std::size_t prefix_length = prefix ? std::strlen(prefix) : 0;
  std::size_t body_length = std::strlen(body);
  std::size_t separator_length = prefix ? 1 : 0;
  std::size_t line_length = prefix_length + separator_length + body_length + 1;
  if (line_length > kMaxRequestLine) return ORVEKPORT_E_TOO_LONG;
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

  bool nobody_heard = false;
  StatusCode status = ExchangeUnderLock(os, line, line_length, reply, capacity,
                                        bytesRead, &nobody_heard);
  // Nobody owes an answer that no host heard, so other callers go on at
  // once: the wait is made without the lock, and as a sleep, so that no
  // signal meant for one of them is taken.
  if (nobody_heard) os.sleep_ms(kReplyWaitMs);
  return status;
}

void PostMovingMapInit(platform::Platform& os) {
  os.post_message(HostWindow, WM_PORT_REQUEST, PORT_WPARAM_MOVINGMAP_INIT, 0);
}

}  // namespace orvek::hostlink
