#include "hostlink/packet_exchange.h"

#include <cstring>
#include <string>

#include "hostlink/host_link_state.h"
#include "protocol/host_protocol.h"
#include "platform/unique_handle.h"

namespace orvek::hostlink {

using namespace protocol;
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

void OpenReplyEvent(platform::Platform& os) {
  // A failed creation leaves ReplyEvent null and is tried again next time.
  if (ReplyEvent == platform::kNullHandle)
    ReplyEvent = os.create_event(kReplyEventName);
}

// Maps the link record beside the packet files once per host directory.
OwedPost* MappedLinkRecord(platform::Platform& os) {
  if (LinkRecord == nullptr)
    LinkRecord = static_cast<OwedPost*>(
        os.map_file(PacketPath(kLinkFileName).text, sizeof(OwedPost)));
  return LinkRecord;
}

// A window serves its queue only while it lives; its number may come round
// again for another process's window, which owes nothing. Only a clear
// answer gives a post up: when the system can't say, or the owner was not
// known when the post was made, the post stays owed.
bool OwedWindowGone(platform::Platform& os, const OwedPost& record) {
  // Window handles carry 32 significant bits, sign-extended on 64-bit.
  platform::Handle window = static_cast<platform::Handle>(
      static_cast<std::intptr_t>(static_cast<std::int32_t>(record.window)));
  platform::Platform::WindowOwner owner;
  switch (os.window_owner(window, &owner)) {
    case platform::Platform::WindowCheck::kGone:
      return true;
    case platform::Platform::WindowCheck::kUnknown:
      return false;
    case platform::Platform::WindowCheck::kOwned:
      break;
  }
  if (record.process_id == 0) return false;
  if (owner.process_id != record.process_id) return true;
  return owner.process_started != 0 && record.process_started != 0 &&
         owner.process_started != record.process_started;
}

// Under the lock, before anything is written: a post still owed is
// awaited and its answer discarded, so that the answer can neither end this
// exchange's wait nor have the host read this request in its place.
// 0 when nothing is owed any more; 14 when it still is.
StatusCode SettleOwedPost(platform::Platform& os) {
  OwedPost* record = MappedLinkRecord(os);
  if (record == nullptr) return ORVEKPORT_E_BUSY;
  if (record->owed == 0) return ORVEKPORT_OK;
  if (!OwedWindowGone(os, *record)) {
    OpenReplyEvent(os);
    if (os.wait(ReplyEvent, kOwedAnswerWaitMs) != platform::kWaitObject0 &&
        !OwedWindowGone(os, *record))
      return ORVEKPORT_E_BUSY;
  }
  record->owed = 0;
  return ORVEKPORT_OK;
}

void RecordOwedPost(OwedPost& record) {
  record.window = static_cast<std::uint32_t>(HostWindow);
  record.process_id = HostOwner.process_id;
  record.process_started = HostOwner.process_started;
  record.owed = 1;
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

void ForgetLinkRecord(platform::Platform& os) {
  if (LinkRecord != nullptr) os.unmap_file(LinkRecord);
  LinkRecord = nullptr;
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
  if (StatusCode status = SettleOwedPost(os); status != ORVEKPORT_OK)
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
  // Owed from before the post, so that a caller that dies while it waits
  // leaves the answer owed. Only a host that heard the request can answer
  // it; a null window posts to this thread's own queue.
  bool to_host = HostWindow != platform::kNullHandle;
  if (to_host) RecordOwedPost(*LinkRecord);
  bool posted =
      os.post_message(HostWindow, WM_PORT_REQUEST, PORT_WPARAM_PACKET, 0);
  if (!posted) LinkRecord->owed = 0;
  // A post that failed reached nobody: whatever sets the event meanwhile
  // is not this request's answer.
  if (os.wait(ReplyEvent, kReplyWaitMs) == platform::kWaitTimeout || !posted)
    return ORVEKPORT_E_TIMEOUT;
  // Answered; a wait that failed can't tell, and owing for ever would shut
  // the link for good.
  LinkRecord->owed = 0;

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
