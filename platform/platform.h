// The operating system as the library sees it: the few Win32 operations that
// the host link and the device services use, and nothing else. The DLL runs
// on the Win32 backend (platform/win32); unit tests run on the fake
// (platform/fake), which owns a virtual clock and records every call.
//
// Texts crossing this interface are UTF-16 (char16_t) or 8-bit ANSI bytes;
// handles are opaque numbers. Only the Win32 backend includes <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvek::platform {

using Handle = std::uintptr_t;

// Windows has two "no handle" values: null for windows, events, processes
// and registry keys, INVALID_HANDLE_VALUE for files. They are kept apart.
inline constexpr Handle kNullHandle = 0;
inline constexpr Handle kInvalidFile = ~Handle{0};

// File access, sharing and disposition carry their Win32 values, so that a
// fake records exactly what the core asked for.
inline constexpr std::uint32_t kGenericRead = 0x80000000u;
inline constexpr std::uint32_t kGenericWrite = 0x40000000u;
inline constexpr std::uint32_t kFileShareRead = 1;
inline constexpr std::uint32_t kFileShareWrite = 2;
inline constexpr std::uint32_t kFileShareDelete = 4;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
enum class Disposition : std::uint32_t {
  CreateAlways = 2,  // create, or replace and empty an existing file
  OpenExisting = 3,
  OpenAlways = 4,  // open, or create empty when missing
};

// Outcomes of wait(), as WaitForSingleObject reports them.
inline constexpr std::uint32_t kWaitObject0 = 0;
// A mutex whose owner ended without releasing it: the waiter owns it now.
inline constexpr std::uint32_t kWaitAbandoned = 0x80;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// Backends live as long as the process and are never destroyed through
// this interface; a destructor here would cost the DLL an exit handler.
class Platform {
 public:
  // Registry, always under HKEY_LOCAL_MACHINE with KEY_QUERY_VALUE access.
  // reg_query_value reads the value's data into `data`; `*size_bytes` gives
  // the room on entry and the value's size on success. It fails when the
  // value is missing or does not fit.
  virtual bool reg_open_key(const char16_t* subkey, Handle* key) = 0;
  virtual bool reg_query_value(Handle key, const char16_t* name, void* data,
                               std::uint32_t* size_bytes) = 0;
  virtual void reg_close_key(Handle key) = 0;

  // Windows and the shell. find_window gives the top-level window of a class
  // (no title), or kNullHandle. shell_open starts a program by its full path
  // with the verb "Open" and does not wait for it.
  virtual Handle find_window(const char16_t* class_name) = 0;
  virtual bool shell_open(const char16_t* path) = 0;
  virtual bool post_message(Handle window, std::uint32_t message,
                            std::uintptr_t wparam, std::intptr_t lparam) = 0;
  virtual void sleep_ms(std::uint32_t ms) = 0;

  // Files. create_file gives kInvalidFile on failure; seek_file moves to an
  // absolute byte position from the start.
  virtual Handle create_file(const char16_t* path, std::uint32_t access,
                             std::uint32_t share, Disposition disposition) = 0;
  virtual bool write_file(Handle file, const void* data, std::uint32_t size,
                          std::uint32_t* written) = 0;
  virtual bool read_file(Handle file, void* data, std::uint32_t size,
                         std::uint32_t* read) = 0;
  virtual bool seek_file(Handle file, std::uint32_t offset) = 0;
  // The attributes of a file or directory (kFileAttributeDirectory, ...);
  // false when there is nothing at `path`.
  virtual bool file_attributes(const char16_t* path,
                               std::uint32_t* attributes) = 0;
  virtual void close_handle(Handle handle) = 0;

  // Named auto-reset event, created non-signalled (or opened when it exists);
  // kNullHandle on failure. wait() serves events and processes alike and
  // returns kWaitObject0, kWaitTimeout or kWaitFailed.
  virtual Handle create_event(const char16_t* name) = 0;
  virtual bool reset_event(Handle event) = 0;
  virtual std::uint32_t wait(Handle object, std::uint32_t timeout_ms) = 0;

  // Named mutex shared by every process, created unowned or opened when it
  // exists; kNullHandle on failure. wait() takes it (kWaitObject0, or
  // kWaitAbandoned when the last owner ended while holding it); only the
  // owning thread can release it.
  virtual Handle create_mutex(const char16_t* name) = 0;
  virtual bool release_mutex(Handle mutex) = 0;

  // When the file at `path` was last written, as a FILETIME (100 ns units);
  // false when nothing is there. Only compared with other files' times: a
  // file written after another never reads as written before it.
  virtual bool file_write_time(const char16_t* path, std::uint64_t* time) = 0;

  // The process that owns a window and when it started (0 when that can't
  // be read): together they name one window's owner for good, even when
  // the handle's number comes round again for another window (after a
  // restart of the system, say). kGone when `window` is not a window (any
  // more); kUnknown when the system can't say.
  struct WindowOwner {
    std::uint32_t process_id = 0;
    std::uint64_t process_started = 0;
  };
  enum class WindowCheck { kOwned, kGone, kUnknown };
  virtual WindowCheck window_owner(Handle window, WindowOwner* owner) = 0;

  // Sends a message that does nothing (WM_NULL) to a window and waits up to
  // `timeout_ms` for its thread to take it, which that thread does only
  // where it looks at its messages: between the messages it handles.
  // kBusy: not in time, or its thread looks hung; kGone: not a window.
  enum class WindowReply { kAnswered, kBusy, kGone };
  virtual WindowReply send_null_message(Handle window,
                                        std::uint32_t timeout_ms) = 0;

  // Starts a program by its full path: no command line, no inherited
  // handles, no flags, no environment or directory of its own.
  virtual bool create_process(const char16_t* path, Handle* process,
                              Handle* thread) = 0;

  // The platform's hardware device identifier record (DEVICE_ID); fails
  // where the platform has none. `*returned` is the number of bytes written.
  virtual bool device_id(void* buffer, std::uint32_t size,
                         std::uint32_t* returned) = 0;

  // Free bytes available to the caller on the volume that holds `path`.
  virtual bool disk_free_space(const char16_t* path,
                               std::uint64_t* free_bytes_available) = 0;

  // Conversions between UTF-16 and the ANSI code page, NUL-terminated input
  // taken whole (terminator included). They return the number of units
  // written, terminator included, or 0 when the output does not fit.
  virtual int wide_to_ansi(const char16_t* text, char* out, int out_bytes) = 0;
  virtual int ansi_to_wide(const char* text, char16_t* out, int out_units) = 0;

  // Per-call memory from the process heap, for buffers too large for the
  // stack; allocate gives null on failure. Nothing is kept between calls.
  virtual void* allocate(std::size_t bytes) = 0;
  virtual void release(void* block) = 0;

 protected:
  ~Platform() = default;
};

}  // namespace orvek::platform
