// Named events and mutexes, waits on the virtual clock, and started
// processes.
#include "platform/fake/fake_platform.h"

namespace orvek::platform::fake {

FakePlatform::EventNode& FakePlatform::event_node(const std::u16string& name) {
  return events_[normalise(name)];
}

void FakePlatform::signal_event(const std::u16string& name,
                                std::optional<std::uint64_t> at_ms) {
  if (!at_ms || *at_ms <= now_ms_)
    event_node(name).signaled = true;
  else
    at(*at_ms, [this, name] { event_node(name).signaled = true; });
}

void FakePlatform::hold_mutex(const std::u16string& name,
                              std::uint64_t until_ms) {
  mutexes_[normalise(name)].held_until = until_ms;
}

void FakePlatform::abandon_mutex(const std::u16string& name) {
  MutexNode& node = mutexes_[normalise(name)];
  node.held_until = 0;
  node.abandoned = true;
}

int FakePlatform::mutex_owned(const std::u16string& name) {
  return mutexes_[normalise(name)].owned;
}

Handle FakePlatform::create_event(const char16_t* name) {
  Call& call = record<Op::CreateEvent>(name);
  if (should_fail(Op::CreateEvent)) {
    call.ok = false;
    return kNullHandle;
  }
  event_node(name);
  call.handle = new_handle(Object{Kind::Event, {}, normalise(name)});
  return call.handle;
}

bool FakePlatform::reset_event(Handle event) {
  Call& call = record<Op::ResetEvent>({}, event);
  settle_events();
  auto object = objects_.find(event);
  call.ok = !should_fail(Op::ResetEvent) && object != objects_.end() &&
            object->second.kind == Kind::Event;
  if (call.ok) events_[object->second.name].signaled = false;
  return call.ok;
}

std::uint32_t FakePlatform::wait(Handle object_handle, std::uint32_t timeout_ms) {
  Call& call = record<Op::Wait>({}, object_handle, WaitDetail{timeout_ms, 0});
  auto object = objects_.find(object_handle);
  if (should_fail(Op::Wait) || object == objects_.end() ||
      object->second.kind == Kind::File || object->second.kind == Kind::Key) {
    call.ok = false;
    std::get<WaitDetail>(call.detail).outcome = kWaitFailed;
    return kWaitFailed;
  }
  if (object->second.kind == Kind::Mutex) {
    std::uint32_t taken = wait_mutex(mutexes_[object->second.name], timeout_ms);
    call.ok = taken != kWaitTimeout;
    std::get<WaitDetail>(call.detail).outcome = taken;
    return taken;
  }
  // Processes started here have always ended by the time anyone waits.
  if (object->second.kind != Kind::Event) return kWaitObject0;

  // The waiter wakes at the first signal, before any later action runs.
  EventNode& node = events_[object->second.name];
  std::uint64_t deadline =
      timeout_ms == kInfinite ? UINT64_MAX : now_ms_ + timeout_ms;
  std::uint32_t outcome = kWaitTimeout;
  for (;;) {
    if (node.signaled) {
      node.signaled = false;  // auto-reset: the wait consumes the signal
      outcome = kWaitObject0;
      break;
    }
    if (!run_next_timer(deadline)) {
      // Nothing more will happen: blocking for ever is a test's mistake.
      if (timeout_ms == kInfinite) outcome = kWaitFailed;
      else now_ms_ = deadline;
      break;
    }
  }
  call.ok = outcome == kWaitObject0;
  std::get<WaitDetail>(call.detail).outcome = outcome;
  return outcome;
}

// Another process's hold ends at its time, if that comes within the wait.
std::uint32_t FakePlatform::wait_mutex(MutexNode& node,
                                       std::uint32_t timeout_ms) {
  if (node.held_until > now_ms_) {
    if (timeout_ms != kInfinite && node.held_until > now_ms_ + timeout_ms) {
      advance_ms(timeout_ms);
      return kWaitTimeout;
    }
    if (node.held_until == UINT64_MAX) return kWaitFailed;  // a test's mistake
    advance_ms(node.held_until - now_ms_);
  }
  ++node.owned;
  if (!node.abandoned) return kWaitObject0;
  node.abandoned = false;
  return kWaitAbandoned;
}

Handle FakePlatform::create_mutex(const char16_t* name) {
  Call& call = record<Op::CreateMutex>(name);
  if (should_fail(Op::CreateMutex)) {
    call.ok = false;
    return kNullHandle;
  }
  mutexes_[normalise(name)];
  call.handle = new_handle(Object{Kind::Mutex, {}, normalise(name)});
  return call.handle;
}

bool FakePlatform::release_mutex(Handle mutex) {
  Call& call = record<Op::ReleaseMutex>({}, mutex);
  auto object = objects_.find(mutex);
  call.ok = !should_fail(Op::ReleaseMutex) && object != objects_.end() &&
            object->second.kind == Kind::Mutex &&
            mutexes_[object->second.name].owned > 0;
  if (call.ok) --mutexes_[object->second.name].owned;
  return call.ok;
}

bool FakePlatform::create_process(const char16_t* path, Handle* process,
                                  Handle* thread) {
  std::size_t index = calls_.size();
  record<Op::CreateProcess>(path);
  *process = *thread = kNullHandle;
  bool ok = !should_fail(Op::CreateProcess) && on_create_process &&
            on_create_process(path);
  calls_[index].ok = ok;
  if (!ok) return false;
  *process = new_handle(Object{Kind::Process, {}, normalise(path)});
  *thread = new_handle(Object{Kind::Thread, {}, normalise(path)});
  calls_[index].handle = *process;
  return true;
}

}  // namespace orvek::platform::fake
