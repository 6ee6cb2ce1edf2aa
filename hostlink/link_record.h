// The record of a post that the host has not answered yet, and what an
// exchange does about one before it writes its own request.
//
// The protocol has no request ids: a post answered late takes the next
// request's place, and a host that finds two posts queued reads the
// request file twice. So until a post's answer comes, nothing else is
// posted, and at most one post is ever owed. The record is the file
// OrvekPORT.link beside the packet files: every process of either
// architecture reads the same 24 bytes, and they outlast the process that
// posted. It is opened by path for each exchange and kept open by none,
// so every caller reads the record that is at the path now, whatever was
// done to an earlier file there.
//
// Where the record says nothing (no file, a file cut short or holding
// values no writer writes, a file that can't be opened), this process's
// own post, if it owes one, is settled as the record would have it, and
// otherwise the packet files and the host are asked. Only the lock holder
// reads or writes it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hostlink/owed_post_record.h"
#include "hostlink/status.h"
#include "platform/platform.h"
#include "platform/unique_handle.h"

namespace orvek::hostlink {

// The record for one exchange, held under the exchange lock. Its file
// handle is closed on every path out.
class LinkRecord {
 public:
  explicit LinkRecord(platform::Platform& os);
  LinkRecord(const LinkRecord&) = delete;
  LinkRecord& operator=(const LinkRecord&) = delete;

  // Before anything is written: settles a post that may still be owed.
  // Its answer is awaited (up to kOwedAnswerWaitMs) and thrown away, or the
  // post is given up without one when its window is gone or the host has
  // answered it and gone back to its messages (its signal lost or taken by
  // another client). 0 when nothing is owed any more; 14 when it still is.
  StatusCode settle();
  // The post to HostWindow went out: it is owed until answered. Only here is
  // a record file made, so that no file appears where nobody heard a post.
  void owe();
  // Its answer came.
  void answered();
  // The wait ended without an answer: the post stays owed. Written once more
  // by path, in case the file was removed or cut short meanwhile.
  void keep_owed();

 private:
  enum class Says { kNothingOwed, kOwed, kUnknown };
  Says read();
  bool write(const OwedPostRecord& record);
  bool window_gone() const;
  enum class ReplyAge { kBefore, kSameTick, kAfter };
  ReplyAge reply_age() const;
  bool host_between_messages(platform::Handle window) const;
  StatusCode settle_owed();
  StatusCode settle_unknown();
  bool late_answer_came();
  void give_up();

  platform::Platform& os_;
  platform::UniqueFile file_;
  OwedPostRecord record_ = {};
};

}  // namespace orvek::hostlink
