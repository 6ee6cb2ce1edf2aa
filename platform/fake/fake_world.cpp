// The fake's own bookkeeping: the virtual clock and its timed actions,
// scripted failures and the record of calls.
#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <cstring>

namespace orvek::platform::fake {

FakePlatform::FakePlatform() = default;

std::u16string normalise(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return out;
}

std::string utf8(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

const char* op_name(Op op) {
  switch (op) {
#define ORVEK_FAKE_OP_NAME(name, detail) \
  case Op::name:                          \
    return #name;
    ORVEK_FAKE_OPERATIONS(ORVEK_FAKE_OP_NAME)
#undef ORVEK_FAKE_OP_NAME
  }
  return "?";
}

void FakePlatform::fail(Op op, int skip, int times) {
  fail_rules_[op] = FailRule{skip, times};
}

bool FakePlatform::should_fail(Op op) {
  auto found = fail_rules_.find(op);
  if (found == fail_rules_.end()) return false;
  FailRule& rule = found->second;
  if (rule.skip > 0) {
    --rule.skip;
    return false;
  }
  if (rule.times == 0) return false;
  if (rule.times > 0) --rule.times;
  return true;
}

void FakePlatform::advance_ms(std::uint64_t ms) {
  std::uint64_t target = now_ms_ + ms;
  while (run_next_timer(target)) {
  }
  now_ms_ = target;
}

void FakePlatform::settle_events() { advance_ms(0); }

// Runs the earliest action due by `until_ms`, moving the clock to its time.
bool FakePlatform::run_next_timer(std::uint64_t until_ms) {
  auto next = timers_.begin();
  if (next == timers_.end() || next->first > until_ms) return false;
  now_ms_ = std::max(now_ms_, next->first);
  std::function<void()> action = std::move(next->second);
  timers_.erase(next);
  action();
  return true;
}

void FakePlatform::at(std::uint64_t at_ms, std::function<void()> action) {
  timers_.emplace(at_ms, std::move(action));
}

Handle FakePlatform::new_handle(Object object) {
  Handle handle = next_handle_;
  next_handle_ += 4;
  objects_.emplace(handle, std::move(object));
  return handle;
}

std::vector<Call> FakePlatform::calls_of(Op op) const {
  std::vector<Call> out;
  for (const Call& call : calls_)
    if (call.op == op) out.push_back(call);
  return out;
}

std::size_t FakePlatform::count(Op op) const {
  return static_cast<std::size_t>(std::count_if(
      calls_.begin(), calls_.end(), [op](const Call& c) { return c.op == op; }));
}

long FakePlatform::index_of(Op op, std::size_t nth) const {
  for (std::size_t i = 0; i < calls_.size(); ++i)
    if (calls_[i].op == op && nth-- == 0) return static_cast<long>(i);
  return -1;
}

namespace {

// " access=... disposition=...", as a failure message shows a call.
struct DetailText {
  std::string operator()(const NoDetail&) const { return {}; }
  std::string operator()(const ByteCount& d) const {
    return " bytes=" + std::to_string(d.bytes);
  }
  std::string operator()(const FileOpen& d) const {
    return " access=" + std::to_string(d.access) +
           " share=" + std::to_string(d.share) + " disposition=" +
           std::to_string(static_cast<std::uint32_t>(d.disposition));
  }
  std::string operator()(const FileSeek& d) const {
    return " offset=" + std::to_string(d.offset);
  }
  std::string operator()(const Message& d) const {
    return " message=" + std::to_string(d.message) +
           " wparam=" + std::to_string(d.wparam) +
           " lparam=" + std::to_string(d.lparam);
  }
  std::string operator()(const Duration& d) const {
    return " ms=" + std::to_string(d.ms);
  }
  std::string operator()(const WaitDetail& d) const {
    return " timeout=" + std::to_string(d.timeout_ms) +
           " outcome=" + std::to_string(d.outcome);
  }
};

}  // namespace

std::string FakePlatform::describe_calls() const {
  std::string out;
  for (const Call& call : calls_) {
    out += std::to_string(call.time_ms) + "ms " + op_name(call.op);
    if (!call.text.empty()) out += " " + utf8(call.text);
    out += " h=" + std::to_string(call.handle) +
           std::visit(DetailText{}, call.detail) + (call.ok ? "" : " FAILED") +
           "\n";
  }
  return out;
}

}  // namespace orvek::platform::fake
