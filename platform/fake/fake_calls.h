// What the fake records of each platform call. One table names every
// operation and the detail its record carries; the operation enum, the
// names in failure messages and the typed record all come from it, so a
// new platform operation is one row here.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>

#include "platform/platform.h"

namespace orvek::platform::fake {

// Details beyond the call's text (path, name or window class) and handle.
struct NoDetail {};
// Bytes asked for: the room given for a registry value or device record,
// the size of a read, write or heap block.
struct ByteCount {
  std::uint64_t bytes = 0;
};
struct FileOpen {
  std::uint32_t access = 0;
  std::uint32_t share = 0;
  Disposition disposition = Disposition::OpenExisting;
};
struct FileSeek {
  std::uint32_t offset = 0;
};
struct Message {
  std::uint32_t message = 0;
  std::uintptr_t wparam = 0;
  std::intptr_t lparam = 0;
};
struct Duration {
  std::uint32_t ms = 0;
};
struct WaitDetail {
  std::uint32_t timeout_ms = 0;
  std::uint32_t outcome = 0;  // kWaitObject0, kWaitAbandoned, ...
};

#define ORVEK_FAKE_OPERATIONS(X) \
  X(RegOpenKey, NoDetail)        \
  X(RegQueryValue, ByteCount)    \
  X(RegCloseKey, NoDetail)       \
  X(FindWindow, NoDetail)        \
  X(ShellOpen, NoDetail)         \
  X(PostMessage, Message)        \
  X(Sleep, Duration)             \
  X(CreateFile, FileOpen)        \
  X(WriteFile, ByteCount)        \
  X(ReadFile, ByteCount)         \
  X(SeekFile, FileSeek)          \
  X(FileAttributes, NoDetail)    \
  X(CloseHandle, NoDetail)       \
  X(CreateEvent, NoDetail)       \
  X(ResetEvent, NoDetail)        \
  X(Wait, WaitDetail)            \
  X(CreateMutex, NoDetail)       \
  X(ReleaseMutex, NoDetail)      \
  X(FileWriteTime, NoDetail)     \
  X(WindowOwner, NoDetail)       \
  X(SendNullMessage, Duration)   \
  X(CreateProcess, NoDetail)     \
  X(DeviceId, ByteCount)         \
  X(DiskFreeSpace, NoDetail)     \
  X(WideToAnsi, NoDetail)        \
  X(AnsiToWide, NoDetail)        \
  X(Allocate, ByteCount)         \
  X(Release, NoDetail)

enum class Op {
#define ORVEK_FAKE_OP_ENUM(name, detail) name,
  ORVEK_FAKE_OPERATIONS(ORVEK_FAKE_OP_ENUM)
#undef ORVEK_FAKE_OP_ENUM
};
const char* op_name(Op op);

using CallDetail = std::variant<NoDetail, ByteCount, FileOpen, FileSeek,
                                Message, Duration, WaitDetail>;

// The detail type of each operation, from the table.
template <Op kOp>
struct DetailOf;
#define ORVEK_FAKE_OP_DETAIL(name, detail_type) \
  template <>                                   \
  struct DetailOf<Op::name> {                   \
    using type = detail_type;                   \
  };
ORVEK_FAKE_OPERATIONS(ORVEK_FAKE_OP_DETAIL)
#undef ORVEK_FAKE_OP_DETAIL
template <Op kOp>
using DetailOf_t = typename DetailOf<kOp>::type;

// One platform call as the core made it. `text` is the path, name or class
// the call was about (empty where there is none); `handle` the handle it was
// given or returned.
struct Call {
  Op op;
  std::u16string text;
  Handle handle = kNullHandle;
  std::uint64_t time_ms = 0;
  bool ok = true;
  CallDetail detail;

  // The detail as its operation's type; asking a call of another operation
  // is a test's mistake and ends the test binary.
  template <Op kOp>
  const DetailOf_t<kOp>& detail_of() const {
    if (op != kOp) std::abort();
    return std::get<DetailOf_t<kOp>>(detail);
  }
};

}  // namespace orvek::platform::fake
