#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <cstring>

namespace orvek::platform::fake {

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
    case Op::RegOpenKey: return "RegOpenKey";
    case Op::RegQueryValue: return "RegQueryValue";
    case Op::RegCloseKey: return "RegCloseKey";
    case Op::FindWindow: return "FindWindow";
    case Op::ShellOpen: return "ShellOpen";
    case Op::PostMessage: return "PostMessage";
    case Op::Sleep: return "Sleep";
    case Op::CreateFile: return "CreateFile";
    case Op::WriteFile: return "WriteFile";
    case Op::ReadFile: return "ReadFile";
    case Op::SeekFile: return "SeekFile";
    case Op::FileAttributes: return "FileAttributes";
    case Op::CloseHandle: return "CloseHandle";
    case Op::CreateEvent: return "CreateEvent";
    case Op::ResetEvent: return "ResetEvent";
    case Op::Wait: return "Wait";
    case Op::SetEvent: return "SetEvent";
    case Op::CreateMutex: return "CreateMutex";
    case Op::ReleaseMutex: return "ReleaseMutex";
    case Op::CreateProcess: return "CreateProcess";
    case Op::DeviceId: return "DeviceId";
    case Op::DiskFreeSpace: return "DiskFreeSpace";
    case Op::WideToAnsi: return "WideToAnsi";
    case Op::AnsiToWide: return "AnsiToWide";
  }
  return "?";
}

namespace {
std::u16string parent_of(const std::u16string& path) {
  std::size_t cut = path.rfind(u'\\');
  return cut == std::u16string::npos ? std::u16string{} : path.substr(0, cut);
}
}  // namespace

FakePlatform::FakePlatform() = default;

// ---- Scripting -----------------------------------------------------------

void FakePlatform::add_registry_key(const std::u16string& key) {
  registry_[normalise(key)];
}

void FakePlatform::set_registry_value(const std::u16string& key,
                                      const std::u16string& name,
                                      std::vector<std::uint8_t> data) {
  registry_[normalise(key)][normalise(name)] = std::move(data);
}

void FakePlatform::set_registry_string(const std::u16string& key,
                                       const std::u16string& name,
                                       const std::u16string& text) {
  std::vector<std::uint8_t> data((text.size() + 1) * 2, 0);
  std::memcpy(data.data(), text.data(), text.size() * 2);
  set_registry_value(key, name, std::move(data));
}

void FakePlatform::remove_registry_value(const std::u16string& key,
                                         const std::u16string& name) {
  auto found = registry_.find(normalise(key));
  if (found != registry_.end()) found->second.erase(normalise(name));
}

Handle FakePlatform::add_window(const std::u16string& class_name,
                                std::uint64_t appears_at_ms) {
  Handle window = next_window_;
  next_window_ += 0x10;
  windows_[window] = Window{class_name, appears_at_ms};
  return window;
}

void FakePlatform::remove_window(Handle window) { windows_.erase(window); }

void FakePlatform::add_directory(const std::u16string& path) {
  directories_.insert(normalise(path));
}

void FakePlatform::set_file(const std::u16string& path, std::string contents) {
  files_[normalise(path)].data = std::move(contents);
}

void FakePlatform::remove_file(const std::u16string& path) {
  files_.erase(normalise(path));
}

std::optional<std::string> FakePlatform::file(const std::u16string& path) const {
  auto found = files_.find(normalise(path));
  if (found == files_.end()) return std::nullopt;
  return found->second.data;
}

void FakePlatform::hold_file(const std::u16string& path) {
  files_[normalise(path)].held = true;
}

void FakePlatform::release_file(const std::u16string& path) {
  auto found = files_.find(normalise(path));
  if (found != files_.end()) found->second.held = false;
}

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

bool FakePlatform::event_signaled(const std::u16string& name) {
  settle_events();
  return event_node(name).signaled;
}

void FakePlatform::at(std::uint64_t at_ms, std::function<void()> action) {
  timers_.emplace(at_ms, std::move(action));
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

void FakePlatform::fail(Op op, int skip, int times) {
  fail_rules_[op] = FailRule{skip, times};
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

std::string FakePlatform::describe_calls() const {
  std::string out;
  for (const Call& call : calls_) {
    out += std::to_string(call.time_ms) + "ms " + op_name(call.op);
    if (!call.text.empty()) out += " " + utf8(call.text);
    out += " h=" + std::to_string(call.handle) +
           " arg=" + std::to_string(call.arg) + (call.ok ? "" : " FAILED") + "\n";
  }
  return out;
}

// ---- Internals -------------------------------------------------------------

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

Call& FakePlatform::record(Op op, std::u16string text, Handle handle,
                           std::uint64_t arg, std::uint64_t arg2) {
  calls_.push_back(Call{op, std::move(text), handle, arg, arg2, now_ms_, true});
  return calls_.back();
}

Handle FakePlatform::new_handle(Object object) {
  Handle handle = next_handle_;
  next_handle_ += 4;
  objects_.emplace(handle, std::move(object));
  return handle;
}

bool FakePlatform::parent_exists(const std::u16string& path) const {
  std::u16string parent = parent_of(path);
  return parent.empty() || directories_.count(parent) != 0;
}

bool FakePlatform::sharing_allows(const std::u16string& path,
                                  std::uint32_t access,
                                  std::uint32_t share) const {
  auto node = files_.find(path);
  if (node != files_.end() && node->second.held) return false;
  for (const auto& [handle, object] : objects_) {
    if (object.kind != Kind::File || object.file.path != path) continue;
    const OpenFile& open = object.file;
    bool new_writes = access & kGenericWrite;
    bool new_reads = access & kGenericRead;
    if (new_writes && !(open.share & 2)) return false;
    if (new_reads && !(open.share & kFileShareRead)) return false;
    if ((open.access & kGenericWrite) && !(share & 2)) return false;
    if ((open.access & kGenericRead) && !(share & kFileShareRead)) return false;
  }
  return true;
}

// ---- Platform --------------------------------------------------------------

bool FakePlatform::reg_open_key(const char16_t* subkey, Handle* key) {
  Call& call = record(Op::RegOpenKey, subkey);
  *key = kNullHandle;
  if (should_fail(Op::RegOpenKey) || !registry_.count(normalise(subkey))) {
    call.ok = false;
    return false;
  }
  *key = new_handle(Object{Kind::Key, {}, normalise(subkey)});
  call.handle = *key;
  return true;
}

bool FakePlatform::reg_query_value(Handle key, const char16_t* name, void* data,
                                   std::uint32_t* size_bytes) {
  Call& call = record(Op::RegQueryValue, name, key, *size_bytes);
  auto object = objects_.find(key);
  bool ok = !should_fail(Op::RegQueryValue) && object != objects_.end() &&
            object->second.kind == Kind::Key;
  if (ok) {
    auto& values = registry_[object->second.name];
    auto value = values.find(normalise(name));
    ok = value != values.end() && value->second.size() <= *size_bytes;
    if (ok) {
      if (!value->second.empty())
        std::memcpy(data, value->second.data(), value->second.size());
      *size_bytes = static_cast<std::uint32_t>(value->second.size());
    }
  }
  call.ok = ok;
  return ok;
}

void FakePlatform::reg_close_key(Handle key) {
  Call& call = record(Op::RegCloseKey, {}, key);
  auto object = objects_.find(key);
  call.ok = object != objects_.end() && object->second.kind == Kind::Key;
  if (call.ok) objects_.erase(object);
}

Handle FakePlatform::find_window(const char16_t* class_name) {
  Call& call = record(Op::FindWindow, class_name);
  for (const auto& [window, info] : windows_) {
    if (info.class_name == class_name && info.appears_at_ms <= now_ms_) {
      call.handle = window;
      return window;
    }
  }
  call.ok = false;
  return kNullHandle;
}

bool FakePlatform::shell_open(const char16_t* path) {
  std::size_t index = calls_.size();
  record(Op::ShellOpen, path);
  // The reaction may script more of the world; it must not hold `call`.
  bool ok = !should_fail(Op::ShellOpen) && on_shell_open && on_shell_open(path);
  calls_[index].ok = ok;
  return ok;
}

bool FakePlatform::post_message(Handle window, std::uint32_t message,
                                std::uintptr_t wparam, std::intptr_t lparam) {
  Call& call = record(Op::PostMessage, {}, window, message, wparam);
  // A null window posts to the calling thread's own queue: it succeeds and
  // no host application hears of it.
  if (should_fail(Op::PostMessage) ||
      (window != kNullHandle && !windows_.count(window))) {
    call.ok = false;
    return false;
  }
  PostedMessage posted_message{window, message, wparam, lparam, now_ms_};
  posted.push_back(posted_message);
  // Last: the host's reaction may record calls and move `calls_`.
  if (window != kNullHandle && on_post) on_post(posted_message);
  return true;
}

void FakePlatform::sleep_ms(std::uint32_t ms) {
  record(Op::Sleep, {}, kNullHandle, ms);
  advance_ms(ms);
}

Handle FakePlatform::create_file(const char16_t* path, std::uint32_t access,
                                 std::uint32_t share, Disposition disposition) {
  Call& call = record(Op::CreateFile, path, kInvalidFile, access,
                      static_cast<std::uint64_t>(disposition));
  std::u16string key = normalise(path);
  bool exists = files_.count(key) != 0;
  bool ok = !should_fail(Op::CreateFile) && sharing_allows(key, access, share);
  if (ok && disposition == Disposition::OpenExisting) ok = exists;
  if (ok && !exists) ok = parent_exists(key);
  if (!ok) {
    call.ok = false;
    return kInvalidFile;
  }
  FileNode& node = files_[key];
  if (disposition == Disposition::CreateAlways) node.data.clear();
  Handle handle = new_handle(Object{Kind::File, OpenFile{key, access, share}, {}});
  call.handle = handle;
  return handle;
}

bool FakePlatform::write_file(Handle file, const void* data, std::uint32_t size,
                              std::uint32_t* written) {
  Call& call = record(Op::WriteFile, {}, file, size);
  *written = 0;
  auto object = objects_.find(file);
  call.ok = !should_fail(Op::WriteFile) && object != objects_.end() &&
            object->second.kind == Kind::File &&
            (object->second.file.access & kGenericWrite);
  if (!call.ok) return false;
  OpenFile& open = object->second.file;
  std::string& contents = files_[open.path].data;
  if (contents.size() < open.position + size)
    contents.resize(open.position + size);
  std::memcpy(contents.data() + open.position, data, size);
  open.position += size;
  *written = size;
  return true;
}

bool FakePlatform::read_file(Handle file, void* data, std::uint32_t size,
                             std::uint32_t* read) {
  Call& call = record(Op::ReadFile, {}, file, size);
  *read = 0;
  auto object = objects_.find(file);
  call.ok = !should_fail(Op::ReadFile) && object != objects_.end() &&
            object->second.kind == Kind::File &&
            (object->second.file.access & kGenericRead);
  if (!call.ok) return false;
  OpenFile& open = object->second.file;
  const std::string& contents = files_[open.path].data;
  std::uint32_t available =
      open.position < contents.size()
          ? static_cast<std::uint32_t>(contents.size() - open.position)
          : 0;
  std::uint32_t count = std::min(size, available);
  if (count) std::memcpy(data, contents.data() + open.position, count);
  open.position += count;
  *read = count;
  return true;
}

bool FakePlatform::seek_file(Handle file, std::uint32_t offset) {
  Call& call = record(Op::SeekFile, {}, file, offset);
  auto object = objects_.find(file);
  call.ok = !should_fail(Op::SeekFile) && object != objects_.end() &&
            object->second.kind == Kind::File;
  if (call.ok) object->second.file.position = offset;
  return call.ok;
}

bool FakePlatform::file_attributes(const char16_t* path,
                                   std::uint32_t* attributes) {
  Call& call = record(Op::FileAttributes, path);
  std::u16string key = normalise(path);
  *attributes = directories_.count(key) ? kFileAttributeDirectory
                : files_.count(key)     ? 0x80u  // FILE_ATTRIBUTE_NORMAL
                                        : 0u;
  call.ok = !should_fail(Op::FileAttributes) && *attributes != 0;
  return call.ok;
}

void FakePlatform::close_handle(Handle handle) {
  Call& call = record(Op::CloseHandle, {}, handle);
  auto object = objects_.find(handle);
  call.ok = object != objects_.end() && object->second.kind != Kind::Key;
  if (call.ok) objects_.erase(object);
}

Handle FakePlatform::create_event(const char16_t* name) {
  Call& call = record(Op::CreateEvent, name);
  if (should_fail(Op::CreateEvent)) {
    call.ok = false;
    return kNullHandle;
  }
  event_node(name);
  call.handle = new_handle(Object{Kind::Event, {}, normalise(name)});
  return call.handle;
}

bool FakePlatform::reset_event(Handle event) {
  Call& call = record(Op::ResetEvent, {}, event);
  settle_events();
  auto object = objects_.find(event);
  call.ok = !should_fail(Op::ResetEvent) && object != objects_.end() &&
            object->second.kind == Kind::Event;
  if (call.ok) events_[object->second.name].signaled = false;
  return call.ok;
}

std::uint32_t FakePlatform::wait(Handle object_handle, std::uint32_t timeout_ms) {
  Call& call = record(Op::Wait, {}, object_handle, timeout_ms);
  auto object = objects_.find(object_handle);
  if (should_fail(Op::Wait) || object == objects_.end() ||
      object->second.kind == Kind::File || object->second.kind == Kind::Key) {
    call.ok = false;
    call.arg2 = kWaitFailed;
    return kWaitFailed;
  }
  if (object->second.kind == Kind::Mutex) {
    std::uint32_t taken = wait_mutex(mutexes_[object->second.name], timeout_ms);
    call.ok = taken != kWaitTimeout;
    call.arg2 = taken;
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
  call.arg2 = outcome;
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

bool FakePlatform::set_event(Handle event) {
  Call& call = record(Op::SetEvent, {}, event);
  auto object = objects_.find(event);
  call.ok = !should_fail(Op::SetEvent) && object != objects_.end() &&
            object->second.kind == Kind::Event;
  if (call.ok) events_[object->second.name].signaled = true;
  return call.ok;
}

Handle FakePlatform::create_mutex(const char16_t* name) {
  Call& call = record(Op::CreateMutex, name);
  if (should_fail(Op::CreateMutex)) {
    call.ok = false;
    return kNullHandle;
  }
  mutexes_[normalise(name)];
  call.handle = new_handle(Object{Kind::Mutex, {}, normalise(name)});
  return call.handle;
}

bool FakePlatform::release_mutex(Handle mutex) {
  Call& call = record(Op::ReleaseMutex, {}, mutex);
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
  record(Op::CreateProcess, path);
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

bool FakePlatform::device_id(void* buffer, std::uint32_t size,
                             std::uint32_t* returned) {
  Call& call = record(Op::DeviceId, {}, kNullHandle, size);
  *returned = 0;
  call.ok = !should_fail(Op::DeviceId) && device_id_record &&
            device_id_record->size() <= size;
  if (!call.ok) return false;
  if (!device_id_record->empty())
    std::memcpy(buffer, device_id_record->data(), device_id_record->size());
  *returned = static_cast<std::uint32_t>(device_id_record->size());
  return true;
}

bool FakePlatform::disk_free_space(const char16_t* path,
                                   std::uint64_t* free_bytes_available) {
  Call& call = record(Op::DiskFreeSpace, path ? path : u"");
  auto found = path ? free_space.find(path) : free_space.end();
  call.ok = !should_fail(Op::DiskFreeSpace) && found != free_space.end();
  if (call.ok) *free_bytes_available = found->second;
  return call.ok;
}

int FakePlatform::wide_to_ansi(const char16_t* text, char* out, int out_bytes) {
  Call& call = record(Op::WideToAnsi, text);
  std::size_t units = std::char_traits<char16_t>::length(text) + 1;
  call.ok = !should_fail(Op::WideToAnsi) &&
            units <= static_cast<std::size_t>(std::max(out_bytes, 0));
  if (!call.ok) return 0;
  for (std::size_t i = 0; i < units; ++i)
    out[i] = text[i] <= 0xFF ? static_cast<char>(text[i]) : '?';
  return static_cast<int>(units);
}

int FakePlatform::ansi_to_wide(const char* text, char16_t* out, int out_units) {
  Call& call = record(Op::AnsiToWide);
  std::size_t units = std::strlen(text) + 1;
  call.ok = !should_fail(Op::AnsiToWide) &&
            units <= static_cast<std::size_t>(std::max(out_units, 0));
  if (!call.ok) return 0;
  for (std::size_t i = 0; i < units; ++i)
    out[i] = static_cast<unsigned char>(text[i]);
  return static_cast<int>(units);
}

}  // namespace orvek::platform::fake
