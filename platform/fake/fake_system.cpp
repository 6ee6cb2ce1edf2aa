// The registry, windows and the shell, the device record, free disk space
// and the code page.
#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <cstring>

namespace orvek::platform::fake {

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

bool FakePlatform::reg_open_key(const char16_t* subkey, Handle* key) {
  Call& call = record<Op::RegOpenKey>(subkey);
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
  Call& call = record<Op::RegQueryValue>(name, key, ByteCount{*size_bytes});
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
  Call& call = record<Op::RegCloseKey>({}, key);
  auto object = objects_.find(key);
  call.ok = object != objects_.end() && object->second.kind == Kind::Key;
  if (call.ok) objects_.erase(object);
}

Handle FakePlatform::add_window(const std::u16string& class_name,
                                std::uint64_t appears_at_ms) {
  // Odd windows get bit 31, sign-extended where handles have 64 bits.
  std::uint32_t number =
      0x10000u + 0x10u * static_cast<std::uint32_t>(windows_made_);
  if (windows_made_++ % 2 == 1) number |= 0x80000000u;
  Handle window = static_cast<Handle>(
      static_cast<std::intptr_t>(static_cast<std::int32_t>(number)));
  windows_[window] = Window{class_name, appears_at_ms,
                            WindowOwner{next_process_id_, now_ms_}};
  next_process_id_ += 4;
  return window;
}

void FakePlatform::remove_window(Handle window) { windows_.erase(window); }

void FakePlatform::give_window_new_owner(Handle window) {
  windows_.at(window).owner = WindowOwner{next_process_id_, now_ms_ + 1};
  next_process_id_ += 4;
}

// A scripted failure is the system unable to say, not a window gone.
Platform::WindowCheck FakePlatform::window_owner(Handle window,
                                                 WindowOwner* owner) {
  Call& call = record<Op::WindowOwner>({}, window);
  call.ok = false;
  if (should_fail(Op::WindowOwner)) return WindowCheck::kUnknown;
  auto found = windows_.find(window);
  if (found == windows_.end() || found->second.appears_at_ms > now_ms_)
    return WindowCheck::kGone;
  call.ok = true;
  *owner = found->second.owner;
  return WindowCheck::kOwned;
}

// The window's thread takes the message when it next looks at its
// messages, if that comes within the time-out; the clock moves on to then.
Platform::WindowReply FakePlatform::send_null_message(Handle window,
                                                      std::uint32_t timeout_ms) {
  Call& call = record<Op::SendNullMessage>({}, window, Duration{timeout_ms});
  auto found = windows_.find(window);
  if (found == windows_.end() || found->second.appears_at_ms > now_ms_) {
    call.ok = false;
    return WindowReply::kGone;
  }
  std::uint64_t deadline = now_ms_ + timeout_ms;
  for (;;) {
    std::uint64_t free_at = window_free_at ? window_free_at(window) : now_ms_;
    if (free_at <= now_ms_) break;
    if (free_at > deadline) {
      advance_ms(deadline - now_ms_);
      call.ok = false;
      return WindowReply::kBusy;
    }
    // What happens meanwhile may keep the thread busy longer, or end it.
    advance_ms(free_at - now_ms_);
    if (!windows_.count(window)) {
      call.ok = false;
      return WindowReply::kGone;
    }
  }
  call.ok = !should_fail(Op::SendNullMessage);
  return call.ok ? WindowReply::kAnswered : WindowReply::kBusy;
}

Handle FakePlatform::find_window(const char16_t* class_name) {
  Call& call = record<Op::FindWindow>(class_name);
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
  record<Op::ShellOpen>(path);
  // The reaction may script more of the world; it must not hold `call`.
  bool ok = !should_fail(Op::ShellOpen) && on_shell_open && on_shell_open(path);
  calls_[index].ok = ok;
  return ok;
}

bool FakePlatform::post_message(Handle window, std::uint32_t message,
                                std::uintptr_t wparam, std::intptr_t lparam) {
  Call& call =
      record<Op::PostMessage>({}, window, Message{message, wparam, lparam});
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
  record<Op::Sleep>({}, kNullHandle, Duration{ms});
  advance_ms(ms);
}

bool FakePlatform::device_id(void* buffer, std::uint32_t size,
                             std::uint32_t* returned) {
  Call& call = record<Op::DeviceId>({}, kNullHandle, ByteCount{size});
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
  Call& call = record<Op::DiskFreeSpace>(path ? path : u"");
  auto found = path ? free_space.find(path) : free_space.end();
  call.ok = !should_fail(Op::DiskFreeSpace) && found != free_space.end();
  if (call.ok) *free_bytes_available = found->second;
  return call.ok;
}

int FakePlatform::wide_to_ansi(const char16_t* text, char* out, int out_bytes) {
  Call& call = record<Op::WideToAnsi>(text);
  std::size_t units = std::char_traits<char16_t>::length(text) + 1;
  call.ok = !should_fail(Op::WideToAnsi) &&
            units <= static_cast<std::size_t>(std::max(out_bytes, 0));
  if (!call.ok) return 0;
  for (std::size_t i = 0; i < units; ++i)
    out[i] = text[i] <= 0xFF ? static_cast<char>(text[i]) : '?';
  return static_cast<int>(units);
}

int FakePlatform::ansi_to_wide(const char* text, char16_t* out, int out_units) {
  Call& call = record<Op::AnsiToWide>();
  std::u16string wide;
  for (const char* c = text;; ++c) {
    auto sequence = std::find_if(
        multibyte_characters.begin(), multibyte_characters.end(),
        [c](const auto& entry) {
          return std::strncmp(c, entry.first.c_str(), entry.first.size()) == 0;
        });
    if (*c != '\0' && sequence != multibyte_characters.end()) {
      wide += sequence->second;
      c += sequence->first.size() - 1;
      continue;
    }
    wide += static_cast<char16_t>(static_cast<unsigned char>(*c));
    if (*c == '\0') break;
  }
  call.ok = !should_fail(Op::AnsiToWide) &&
            wide.size() <= static_cast<std::size_t>(std::max(out_units, 0));
  if (!call.ok) return 0;
  std::copy(wide.begin(), wide.end(), out);
  return static_cast<int>(wide.size());
}

void* FakePlatform::allocate(std::size_t bytes) {
  Call& call = record<Op::Allocate>({}, kNullHandle, {bytes});
  call.ok = !should_fail(Op::Allocate);
  if (!call.ok) return nullptr;
  auto block = std::make_unique<char[]>(bytes);
  void* address = block.get();
  blocks_.emplace(address, std::move(block));
  return address;
}

void FakePlatform::release(void* block) {
  Call& call = record<Op::Release>({}, reinterpret_cast<Handle>(block));
  // Releasing what was never given out is the core's mistake: recorded as
  // a failed call.
  call.ok = blocks_.erase(block) == 1;
}

}  // namespace orvek::platform::fake
