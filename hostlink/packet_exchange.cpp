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
// directory holds at most kMaxPathValueUnits units, so it always fits.
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
static_assert(kHostPathUnits >
              kMaxPathValueUnits + sizeof(kRequestFileName) / 2);

// Owns ExchangeLock for one exchange and releases it on every path out.
class LinkLock {
 public:
  explicit LinkLock(platform::Platform& os) : os_(os) {}
  LinkLock(const LinkLock&) = delete;
  LinkLock& operator=(const LinkLock&) = delete;
  ~LinkLock() {
    if (held_) os_.release_mutex(ExchangeLock.load());
  }

  // 0 when held; 14 when another caller kept it past kLockWaitMs or it
  // can't be opened. `abandoned()` tells that its last owner died holding
  // it, perhaps in the middle of an exchange.
  StatusCode take() {
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
    abandoned_ = outcome == platform::kWaitAbandoned;
    return held_ ? ORVEKPORT_OK : ORVEKPORT_E_BUSY;
  }
  bool abandoned() const { return abandoned_; }

 private:
  platform::Platform& os_;
  bool held_ = false;
  bool abandoned_ = false;
};

void OpenReplyEvent(platform::Platform& os) {
  // A failed creation leaves ReplyEvent null and is tried again next time.
  if (ReplyEvent == platform::kNullHandle)
    ReplyEvent = os.create_event(kReplyEventName);
}

// Under the lock, before anything is sent: when a timed-out exchange's
// answer is still owed, waits for its signal and discards it, so that it
// can neither end this exchange's wait nor have the host read this request
// behind it. An owner that died holding the lock may have left one too.
// 0 when nothing is owed any more; 14 when it still is (the mark stays).
StatusCode SettleOwedAnswer(platform::Platform& os, bool lock_abandoned) {
  if (AnswerOwed == nullptr)
    AnswerOwed = static_cast<volatile std::uint32_t*>(
        os.map_shared(kAnswerOwedName, sizeof(std::uint32_t)));
  if (AnswerOwed == nullptr) return ORVEKPORT_E_BUSY;
  bool owed = *AnswerOwed != 0;
  if (!owed && !lock_abandoned) return ORVEKPORT_OK;
  OpenReplyEvent(os);
  if (os.wait(ReplyEvent, kOwedAnswerWaitMs) == platform::kWaitObject0) {
    *AnswerOwed = 0;
    return ORVEKPORT_OK;
  }
  // A dead owner may have died before it posted anything; an answer still
  // owed stays marked.
  return owed ? ORVEKPORT_E_BUSY : ORVEKPORT_OK;
}

}  // namespace

StatusCode ForgetOwedAnswer(platform::Platform& os) {
  LinkLock lock(os);
  if (StatusCode status = lock.take(); status != ORVEKPORT_OK) return status;
  if (SettleOwedAnswer(os, lock.abandoned()) != ORVEKPORT_OK && AnswerOwed != nullptr)
    *AnswerOwed = 0;
  return ORVEKPORT_OK;
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

  LinkLock lock(os);
  if (StatusCode status = lock.take(); status != ORVEKPORT_OK) return status;
  if (StatusCode status = SettleOwedAnswer(os, lock.abandoned());
      status != ORVEKPORT_OK)
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

  OpenReplyEvent(os);
  // The reset comes before the post so that a signal left over from an
  // earlier exchange can't end this wait.
  os.reset_event(ReplyEvent);
  // Only a host that heard the request can answer it late; a null window
  // posts to this thread's own queue.
  bool heard = os.post_message(HostWindow, WM_PORT_REQUEST, PORT_WPARAM_PACKET,
                               0) &&
               HostWindow != platform::kNullHandle;
  if (os.wait(ReplyEvent, kReplyWaitMs) == platform::kWaitTimeout) {
    if (heard) *AnswerOwed = 1;
    return ORVEKPORT_E_TIMEOUT;
  }

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

void PostMovingMapInit(platform::Platform& os) {
  os.post_message(HostWindow, WM_PORT_REQUEST, PORT_WPARAM_MOVINGMAP_INIT, 0);
}

}  // namespace orvek::hostlink
