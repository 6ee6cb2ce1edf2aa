#include "hostlink/link_record.h"

#include <cstring>

#include "hostlink/host_link_state.h"
#include "hostlink/packet_path.h"
#include "protocol/host_protocol.h"

namespace orvek::hostlink {

using namespace protocol;
using platform::Disposition;
using platform::Platform;
using platform::UniqueFile;

namespace {

constexpr std::uint32_t kReadWrite =
    platform::kGenericRead | platform::kGenericWrite;
// Only the lock holder opens it, so sharing costs nothing; and a record
// removed from outside is lost for every process alike, never kept apart
// in one of them.
constexpr std::uint32_t kShareAll = platform::kFileShareRead |
                                    platform::kFileShareWrite |
                                    platform::kFileShareDelete;

// Window handles carry 32 significant bits, sign-extended on 64-bit.
platform::Handle WindowOf(const OwedPostRecord& record) {
  return static_cast<platform::Handle>(
      static_cast<std::intptr_t>(static_cast<std::int32_t>(record.window)));
}

}  // namespace

LinkRecord::LinkRecord(Platform& os) : os_(os), file_(os) {}

// The record at the path now. One byte more than a record is asked for, so
// that a longer file shows; a file that is not exactly a record as a writer
// writes it says nothing, and is written afresh by the next post.
LinkRecord::Says LinkRecord::read() {
  file_ = UniqueFile(os_,
                     os_.create_file(PacketPath(kLinkFileName).text, kReadWrite,
                                     kShareAll, Disposition::OpenExisting));
  if (!file_) return Says::kUnknown;
  unsigned char bytes[sizeof(OwedPostRecord) + 1];
  std::uint32_t read = 0;
  bool whole = os_.read_file(file_.get(), bytes, sizeof bytes, &read) &&
               read == sizeof(OwedPostRecord);
  if (whole) std::memcpy(&record_, bytes, sizeof record_);
  if (!whole || record_.owed > 1 || record_.reserved != 0) {
    file_.reset();
    record_ = {};
    return Says::kUnknown;
  }
  return record_.owed == 1 ? Says::kOwed : Says::kNothingOwed;
}

// Into the file read, or a new one in its place.
bool LinkRecord::write(const OwedPostRecord& record) {
  if (!file_)
    file_ = UniqueFile(
        os_, os_.create_file(PacketPath(kLinkFileName).text, kReadWrite,
                             kShareAll, Disposition::CreateAlways));
  std::uint32_t written = 0;
  return file_ && os_.seek_file(file_.get(), 0) &&
         os_.write_file(file_.get(), &record, sizeof record, &written) &&
         written == sizeof record;
}

// A window serves its queue only while it lives; its number may come round
// again for another process's window, which owes nothing. Only a clear
// answer counts: when the system can't say, or the owner was not known
// when the post was made, the window is taken to live.
bool LinkRecord::window_gone() const {
  Platform::WindowOwner owner;
  switch (os_.window_owner(WindowOf(record_), &owner)) {
    case Platform::WindowCheck::kGone: return true;
    case Platform::WindowCheck::kUnknown: return false;
    case Platform::WindowCheck::kOwned: break;
  }
  if (record_.process_id == 0) return false;
  if (owner.process_id != record_.process_id) return true;
  return owner.process_started != 0 && record_.process_started != 0 &&
         owner.process_started != record_.process_started;
}

// Whether the reply file was written after the request file: kAfter in a
// later tick of the file system's clock, kSameTick in the one the request
// was written in (a tick lasts milliseconds, so a quick host's reply and
// the request it answers usually share one, as may the reply before it),
// kBefore when the reply is older or either file is missing.
LinkRecord::ReplyAge LinkRecord::reply_age() const {
  std::uint64_t request_time = 0, reply_time = 0;
  if (!os_.file_write_time(PacketPath(kRequestFileName).text, &request_time) ||
      !os_.file_write_time(PacketPath(kReplyFileName).text, &reply_time))
    return ReplyAge::kBefore;
  return reply_time > request_time    ? ReplyAge::kAfter
         : reply_time == request_time ? ReplyAge::kSameTick
                                      : ReplyAge::kBefore;
}

// A window's thread takes a sent message only where it looks at its
// messages, that is between the messages it handles; a message sent to it
// comes before those posted, so a single answer may come just before the
// thread takes a queued post. The second answer comes after that post
// has been handled. A window that is gone owes nothing either.
bool LinkRecord::host_between_messages(platform::Handle window) const {
  for (int round = 0; round < 2; ++round) {
    switch (os_.send_null_message(window, kIdleProbeMs)) {
      case Platform::WindowReply::kGone: return true;
      case Platform::WindowReply::kBusy: return false;
      case Platform::WindowReply::kAnswered: break;
    }
  }
  return true;
}

bool LinkRecord::late_answer_came() {
  OpenReplyEvent(os_);
  return os_.wait(ReplyEvent, kOwedAnswerWaitMs) == platform::kWaitObject0;
}

void LinkRecord::give_up() {
  record_.owed = OwnOwedPost.owed = 0;
  write(record_);
}

// Only the record's word counts where it has one: a post of this process
// that it says nothing of was settled by another.
StatusCode LinkRecord::settle() {
  switch (read()) {
    case Says::kNothingOwed: OwnOwedPost.owed = 0; return ORVEKPORT_OK;
    case Says::kOwed: return settle_owed();
    case Says::kUnknown:
      if (OwnOwedPost.owed == 0) return settle_unknown();
      record_ = OwnOwedPost;
      return settle_owed();
  }
  return ORVEKPORT_OK;
}

// The owed post's answer is awaited and discarded, so that it can neither
// end this exchange's wait nor have the host read this request in its
// place. The host writes its reply while it handles a post, and nobody
// writes a request while one is owed: a reply written after the request
// by a host back at its messages means the post was answered, whoever
// took its signal. Before the wait only a later tick proves that; after
// it, the same tick will do, since a host that pumps its messages while
// its answer is still to come (a timer, say) has had that time to give it.
// A host still inside the post, or not yet at it, owes it still.
StatusCode LinkRecord::settle_owed() {
  platform::Handle window = WindowOf(record_);
  auto answered_from = [&](ReplyAge young_enough) {
    ReplyAge age = reply_age();
    return window_gone() || ((age == ReplyAge::kAfter || age == young_enough) &&
                             host_between_messages(window));
  };
  if (answered_from(ReplyAge::kAfter) || late_answer_came() ||
      answered_from(ReplyAge::kSameTick)) {
    give_up();
    return ORVEKPORT_OK;
  }
  return ORVEKPORT_E_BUSY;
}

// No record to say, nor a post of this process's own: the packet files and
// the host are asked. A request that the reply is older than may still be
// answered, so its answer is awaited as an owed one's; and whatever was
// owed, a host back at its messages after that wait has no more to give. A
// window that has gone, or one this process does not know of, is owed
// nothing that this exchange could meet.
StatusCode LinkRecord::settle_unknown() {
  Platform::WindowOwner owner;
  if (HostWindow == platform::kNullHandle ||
      os_.window_owner(HostWindow, &owner) == Platform::WindowCheck::kGone)
    return ORVEKPORT_OK;
  std::uint64_t unused = 0;
  bool request_unanswered =
      os_.file_write_time(PacketPath(kRequestFileName).text, &unused) &&
      reply_age() == ReplyAge::kBefore;
  if (!request_unanswered && host_between_messages(HostWindow))
    return ORVEKPORT_OK;
  if (late_answer_came() || host_between_messages(HostWindow))
    return ORVEKPORT_OK;
  return ORVEKPORT_E_BUSY;
}

void LinkRecord::owe() {
  record_ = OwnOwedPost =
      OwedPostRecord{1, static_cast<std::uint32_t>(HostWindow),
                     HostOwner.process_id, 0, HostOwner.process_started};
  write(record_);
}

void LinkRecord::answered() {
  record_.owed = OwnOwedPost.owed = 0;
  if (file_) write(record_);
}

void LinkRecord::keep_owed() {
  file_.reset();
  write(record_);
}

}  // namespace orvek::hostlink
