// An in-memory operating system for unit tests: registry, files with the
// sharing rules that matter, windows, named events, mutexes (which another
// process may hold or abandon) and processes, a virtual clock that sleeps
// and waits advance at once and that runs timed actions of the outside
// world, scripted failures ("fail the Nth call of X, once or from then
// on"), and an ordered record of calls.
//
// Its ANSI code page is ISO-8859-1: byte b is U+00b, and a UTF-16 unit above
// U+00FF has no form there and becomes '?'. A test may add multi-byte
// characters that only the reading side knows (multibyte_characters).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/fake/fake_calls.h"
#include "platform/platform.h"

namespace orvek::platform::fake {

struct PostedMessage {
  Handle window;
  std::uint32_t message;
  std::uintptr_t wparam;
  std::intptr_t lparam;
  std::uint64_t time_ms;
};

class FakePlatform final : public Platform {
 public:
  FakePlatform();

  // Scripting the world.
  void add_registry_key(const std::u16string& key);
  void set_registry_value(const std::u16string& key, const std::u16string& name,
                          std::vector<std::uint8_t> data);
  // A REG_SZ value: the text and its terminator.
  void set_registry_string(const std::u16string& key,
                           const std::u16string& name,
                           const std::u16string& text);
  void remove_registry_value(const std::u16string& key,
                             const std::u16string& name);

  // A top-level window that FindWindow sees from `appears_at_ms` on. Window
  // numbers alternate below and above 2^31 (sign-extended, as 64-bit
  // Windows gives them), so that code keeping 32 bits of one is tried.
  Handle add_window(const std::u16string& class_name,
                    std::uint64_t appears_at_ms = 0);
  void remove_window(Handle window);
  // The window's number now belongs to a window of another process, as
  // after a restart of the system.
  void give_window_new_owner(Handle window);

  void add_directory(const std::u16string& path);
  // Writes the whole file, as another program would: the content of an
  // existing file is replaced, and handles open on it see the new bytes.
  void set_file(const std::u16string& path, std::string contents);
  // Removed from outside: the path is free at once, and handles still open
  // on the file read and write it unseen, as on a Unix file system.
  void remove_file(const std::u16string& path);
  // Cut to `bytes` from outside.
  void truncate_file(const std::u16string& path, std::size_t bytes);
  std::optional<std::string> file(const std::u16string& path) const;
  // Another program keeps the file open with no sharing at all, so every
  // open here fails until release_file.
  void hold_file(const std::u16string& path);
  void release_file(const std::u16string& path);

  // Sets the named event (creating it if needed) at `at_ms`, or now.
  void signal_event(const std::u16string& name,
                    std::optional<std::uint64_t> at_ms = std::nullopt);
  // Runs `action` when the clock reaches `at_ms`; actions due at the same
  // time run in the order given, and a waiter wakes between them.
  void at(std::uint64_t at_ms, std::function<void()> action);

  // Another process owns the named mutex until `until_ms` (or for ever), or
  // ended while owning it, so the next wait takes it abandoned.
  void hold_mutex(const std::u16string& name,
                  std::uint64_t until_ms = UINT64_MAX);
  void abandon_mutex(const std::u16string& name);
  // How many times this process owns the mutex now (0: not owned).
  int mutex_owned(const std::u16string& name);

  // Reactions of the outside world. Each returns whether the call succeeds.
  std::function<bool(const std::u16string& path)> on_shell_open;
  std::function<bool(const std::u16string& path)> on_create_process;
  std::function<void(const PostedMessage&)> on_post;
  // When the thread of `window` next looks at its messages (now or later;
  // UINT64_MAX: not while the test runs). Without it every window does so
  // at once.
  std::function<std::uint64_t(Handle window)> window_free_at;

  std::optional<std::vector<std::uint8_t>> device_id_record;
  std::map<std::u16string, std::uint64_t> free_space;
  // Byte sequences that ansi_to_wide reads as one character, as a four-byte
  // GB18030 form gives a surrogate pair.
  std::map<std::string, std::u16string> multibyte_characters;

  // Fails the call of `op` that comes after `skip` further calls of it,
  // `times` times in a row (a negative count: from then on).
  void fail(Op op, int skip = 0, int times = 1);

  // Looking at what happened.
  std::uint64_t now_ms() const { return now_ms_; }
  void advance_ms(std::uint64_t ms);
  const std::vector<Call>& calls() const { return calls_; }
  std::vector<Call> calls_of(Op op) const;
  // The details of every call of `kOp`, in order.
  template <Op kOp>
  std::vector<DetailOf_t<kOp>> details_of() const {
    std::vector<DetailOf_t<kOp>> out;
    for (const Call& call : calls_)
      if (call.op == kOp) out.push_back(call.template detail_of<kOp>());
    return out;
  }
  std::size_t count(Op op) const;
  // Index in calls() of the n-th call of `op` (from 0), or -1.
  long index_of(Op op, std::size_t nth = 0) const;
  std::string describe_calls() const;
  void clear_calls() { calls_.clear(); }
  std::vector<PostedMessage> posted;
  // Files, events, processes, threads and keys still open: a leak detector.
  std::size_t open_handle_count() const { return objects_.size(); }
  // Heap blocks given out and not yet released.
  std::size_t live_block_count() const { return blocks_.size(); }

  // The platform, as the core sees it.
  bool reg_open_key(const char16_t* subkey, Handle* key) override;
  bool reg_query_value(Handle key, const char16_t* name, void* data,
                       std::uint32_t* size_bytes) override;
  void reg_close_key(Handle key) override;
  Handle find_window(const char16_t* class_name) override;
  bool shell_open(const char16_t* path) override;
  bool post_message(Handle window, std::uint32_t message, std::uintptr_t wparam,
                    std::intptr_t lparam) override;
  void sleep_ms(std::uint32_t ms) override;
  Handle create_file(const char16_t* path, std::uint32_t access,
                     std::uint32_t share, Disposition disposition) override;
  bool write_file(Handle file, const void* data, std::uint32_t size,
                  std::uint32_t* written) override;
  bool read_file(Handle file, void* data, std::uint32_t size,
                 std::uint32_t* read) override;
  bool seek_file(Handle file, std::uint32_t offset) override;
  bool file_attributes(const char16_t* path,
                       std::uint32_t* attributes) override;
  void close_handle(Handle handle) override;
  Handle create_event(const char16_t* name) override;
  bool reset_event(Handle event) override;
  std::uint32_t wait(Handle object, std::uint32_t timeout_ms) override;
  Handle create_mutex(const char16_t* name) override;
  bool release_mutex(Handle mutex) override;
  bool file_write_time(const char16_t* path, std::uint64_t* time) override;
  WindowCheck window_owner(Handle window, WindowOwner* owner) override;
  WindowReply send_null_message(Handle window,
                                std::uint32_t timeout_ms) override;
  bool create_process(const char16_t* path, Handle* process,
                      Handle* thread) override;
  bool device_id(void* buffer, std::uint32_t size,
                 std::uint32_t* returned) override;
  bool disk_free_space(const char16_t* path,
                       std::uint64_t* free_bytes_available) override;
  int wide_to_ansi(const char16_t* text, char* out, int out_bytes) override;
  int ansi_to_wide(const char* text, char16_t* out, int out_units) override;
  void* allocate(std::size_t bytes) override;
  void release(void* block) override;

 private:
  struct FileNode {
    std::string data;
    bool held = false;
    std::uint64_t written_ms = 0;
  };
  struct OpenFile {
    std::u16string path;  // normalised
    std::uint32_t access;
    std::uint32_t share;
    std::uint32_t position = 0;
    std::shared_ptr<FileNode> node;  // outlives a removal of its path
  };
  struct EventNode {
    bool signaled = false;
  };
  struct MutexNode {
    int owned = 0;                   // recursion count of this process
    std::uint64_t held_until = 0;    // another process owns it until then
    bool abandoned = false;
  };
  enum class Kind { File, Event, Process, Thread, Key, Mutex };
  struct Object {
    Kind kind;
    OpenFile file;            // Kind::File
    std::u16string name;      // event name or key path, normalised
  };
  struct Window {
    std::u16string class_name;
    std::uint64_t appears_at_ms;
    WindowOwner owner;
  };
  struct FailRule {
    int skip;
    int times;
  };

  bool should_fail(Op op);
  // Appends the record of a call of `kOp`; the detail must be of the type
  // that the operation table gives it.
  template <Op kOp>
  Call& record(std::u16string text = {}, Handle handle = kNullHandle,
               DetailOf_t<kOp> detail = {}) {
    calls_.push_back(
        Call{kOp, std::move(text), handle, now_ms_, true, std::move(detail)});
    return calls_.back();
  }
  Handle new_handle(Object object);
  bool parent_exists(const std::u16string& path) const;
  FileNode& node_at(const std::u16string& path);
  bool sharing_allows(const std::u16string& path, std::uint32_t access,
                      std::uint32_t share) const;
  void settle_events();
  bool run_next_timer(std::uint64_t until_ms);
  std::uint32_t wait_mutex(MutexNode& node, std::uint32_t timeout_ms);
  EventNode& event_node(const std::u16string& name);

  std::uint64_t now_ms_ = 0;
  Handle next_handle_ = 0x100;
  int windows_made_ = 0;
  std::map<std::u16string, std::map<std::u16string, std::vector<std::uint8_t>>>
      registry_;
  std::map<Handle, Window> windows_;
  std::set<std::u16string> directories_;
  std::map<std::u16string, std::shared_ptr<FileNode>> files_;
  std::map<std::u16string, EventNode> events_;
  std::map<std::u16string, MutexNode> mutexes_;
  std::multimap<std::uint64_t, std::function<void()>> timers_;
  std::uint32_t next_process_id_ = 0x400;
  std::map<Handle, Object> objects_;
  std::map<Op, FailRule> fail_rules_;
  std::vector<Call> calls_;
  std::map<void*, std::unique_ptr<char[]>> blocks_;
};

// Lower-cases ASCII letters: the file system and registry ignore case.
std::u16string normalise(const std::u16string& text);
// UTF-16 to UTF-8 for failure messages.
std::string utf8(const std::u16string& text);

}  // namespace orvek::platform::fake
