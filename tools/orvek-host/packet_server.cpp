#include "packet_server.h"

#include <algorithm>

#include "host_files.h"
#include "tools/common/win_text.h"
#include "protocol/host_protocol.h"

namespace orvek::host {
namespace {

const wchar_t* wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}

// A request line holds at most 199 bytes; reading more lets the log show
// what a faulty client wrote beyond that.
constexpr DWORD kRequestReadLimit = 4096;

// "request file can't be opened (error 2)"
std::string error_text(const char* what) {
  return std::string(what) + " (" +
         tools::error_text(GetLastError(), tools::ErrorForm::kNumber) + ")";
}

}  // namespace

PacketServer::PacketServer(HWND window, const std::wstring& directory,
                           HostModel& model, HostLog& log)
    : window_(window),
      request_path_(directory + wide(protocol::kRequestFileName)),
      reply_path_(directory + wide(protocol::kReplyFileName)),
      fault_path_(directory + L"\\" + tools::widen(CP_UTF8, kFaultFileName)),
      model_(model),
      log_(log),
      // Named, auto-reset, non-signalled; opened if a client made it first.
      reply_event_(CreateEventW(nullptr, FALSE, FALSE,
                                wide(protocol::kReplyEventName))) {
  if (!reply_event_) log_.write(log_event::kError, error_text("no event"));
}

// The request file's content. Read with read sharing only, like the library
// opens it, so a held request file refuses the library's next create.
std::string PacketServer::read_request(tools::FileHandle* still_open) {
  still_open->reset(CreateFileW(request_path_.c_str(), GENERIC_READ,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!*still_open) {
    log_.write(log_event::kError, error_text("request file can't be opened"));
    return {};
  }
  std::string line(kRequestReadLimit, '\0');
  DWORD count = 0;
  if (!ReadFile(still_open->get(), line.data(), kRequestReadLimit, &count,
                nullptr))
    log_.write(log_event::kError, error_text("request file can't be read"));
  line.resize(count);
  return line;
}

FaultReading PacketServer::read_fault_file(const std::string& request_line) {
  std::optional<std::string> text = read_whole_file(fault_path_);
  if (!text) return {};
  FaultReading reading = read_faults(*text, request_line);
  // The used "once" lines go, so the next request runs without them.
  if (reading.consumed_once && !write_whole_file(fault_path_, reading.remaining))
    log_.write(log_event::kError, error_text("fault file can't be rewritten"));
  for (const std::string& line : reading.applied) log_.write(log_event::kFault, line);
  for (const std::string& error : reading.errors)
    log_.write(log_event::kFaultError, error);
  return reading;
}

void PacketServer::on_packet_request() {
  ULONGLONG now = GetTickCount64();
  tools::FileHandle request;
  std::string line = read_request(&request);
  const bool found = static_cast<bool>(request);
  log_.write_bytes(log_event::kRecv, line);
  FaultReading faults = read_fault_file(line);

  if (found && faults.plan.hold_request_ms > 0)
    held_.push_back(
        {std::move(request), now + faults.plan.hold_request_ms, "request"});
  request.reset();

  // A real host answers on its one thread: while it works, later messages
  // wait in the queue and read whatever the request file holds by then.
  if (faults.plan.stall_ms > 0) {
    log_.write(log_event::kStall, duration_detail(faults.plan.stall_ms));
    Sleep(faults.plan.stall_ms);
  }

  std::string reply;
  if (faults.plan.reply)
    reply = *faults.plan.reply;
  else if (found)
    reply = model_.answer(line);
  else
    reply = "E|no request file";
  queue_.push_back({now + faults.plan.delay_ms, std::move(reply), faults.plan});
  if (faults.plan.delay_ms > 0)
    log_.write(log_event::kDelay, duration_detail(faults.plan.delay_ms));

  run_due_work();
  arm_timer();
  InvalidateRect(window_, nullptr, TRUE);
}

void PacketServer::on_timer() {
  run_due_work();
  arm_timer();
}

// Reply file first, closed (unless held), then the signal: the library
// opens the reply as soon as the event is set.
void PacketServer::deliver(const PendingReply& reply) {
  if (reply.plan.no_reply) {
    DeleteFileW(reply_path_.c_str());
    log_.write(log_event::kNoReply, "reply file deleted");
  } else {
    tools::FileHandle file(CreateFileW(reply_path_.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      log_.write(log_event::kError, error_text("reply file can't be created"));
    } else {
      DWORD written = 0;
      if (!WriteFile(file.get(), reply.bytes.data(),
                     static_cast<DWORD>(reply.bytes.size()), &written, nullptr))
        log_.write(log_event::kError, error_text("reply can't be written"));
      log_.write_bytes(log_event::kSend, reply.bytes);
      if (reply.plan.hold_reply_ms > 0)
        held_.push_back({std::move(file),
                         GetTickCount64() + reply.plan.hold_reply_ms, "reply"});
    }
  }
  if (reply.plan.no_signal) {
    log_.write(log_event::kNoSignal);
  } else {
    SetEvent(reply_event_.get());
    log_.write(log_event::kSignal);
  }
}

void PacketServer::run_due_work() {
  ULONGLONG now = GetTickCount64();
  // In arrival order: a due reply behind a delayed one waits for it.
  while (!queue_.empty() && queue_.front().due_ms <= now) {
    PendingReply reply = std::move(queue_.front());
    queue_.pop_front();
    deliver(reply);
  }
  auto due = [&](const HeldFile& held) { return held.release_ms <= now; };
  for (HeldFile& held : held_) {
    if (!due(held)) continue;
    held.file.reset();
    log_.write(log_event::kRelease, std::string(held.name) + " file closed");
  }
  held_.erase(std::remove_if(held_.begin(), held_.end(), due), held_.end());
}

void PacketServer::arm_timer() {
  ULONGLONG next = ~0ULL;
  if (!queue_.empty()) next = queue_.front().due_ms;
  for (const HeldFile& held : held_) next = std::min(next, held.release_ms);
  if (next == ~0ULL) {
    KillTimer(window_, kTimerId);
    return;
  }
  ULONGLONG now = GetTickCount64();
  UINT wait_ms = next > now ? static_cast<UINT>(next - now) : 0;
  SetTimer(window_, kTimerId, std::max<UINT>(wait_ms, USER_TIMER_MINIMUM),
           nullptr);
}

}  // namespace orvek::host
