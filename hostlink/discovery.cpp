#include "hostlink/discovery.h"

#include <cstring>

#include "hostlink/envelopes.h"
#include "hostlink/host_link_state.h"
#include "hostlink/host_protocol.h"
#include "hostlink/packet_exchange.h"
#include "platform/unique_handle.h"

namespace orvek::hostlink {
namespace {

// After a launch the window is looked for every 100 ms, 100 times (10 s).
constexpr std::uint32_t kPollIntervalMs = 100;
constexpr int kMaxPolls = 100;

// The handshake's reply capacity; its result text is not read.
constexpr std::uint32_t kHandshakeCapacity = 20;

bool ReadHostPath(platform::Platform& os) {
  platform::UniqueRegKey key(os);
  if (!os.reg_open_key(kHostRegistryKey, key.put())) return false;
  // Read aside first, so that a failed read leaves the old path in place.
  char16_t path[kHostPathUnits] = {};
  std::uint32_t size = kPathValueBytes;
  if (!os.reg_query_value(key.get(), kHostPathValue, path, &size)) return false;
  // A value stored without its terminator still ends within the string.
  path[size / sizeof(char16_t)] = u'\0';
  std::memcpy(HostExecutablePath, path, sizeof(path));
  return true;
}

// "C:\Orvek\orvek.exe" gives "C:\Orvek"; a value without a backslash serves
// whole, and one ending in a backslash loses only that.
void DeriveHostDirectory() {
  std::memcpy(HostDirectory, HostExecutablePath, sizeof(HostDirectory));
  char16_t* last_backslash = nullptr;
  for (char16_t* c = HostDirectory; *c != u'\0'; ++c)
    if (*c == u'\\') last_backslash = c;
  if (last_backslash) *last_backslash = u'\0';
}

// Only an existing file is worth starting: the shell opens a folder in a
// file browser and reports success, which would cost 10 s of polling.
bool IsProgramFile(platform::Platform& os, const char16_t* path) {
  std::uint32_t attributes = 0;
  return os.file_attributes(path, &attributes) &&
         !(attributes & platform::kFileAttributeDirectory);
}

}  // namespace

StatusCode Init(platform::Platform& os) {
  if (!ReadHostPath(os)) return ORVEKPORT_E_REGISTRY;
  DeriveHostDirectory();

  HostWindow = os.find_window(kHostWindowClass);
  if (HostWindow == platform::kNullHandle &&
      IsProgramFile(os, HostExecutablePath) &&
      os.shell_open(HostExecutablePath)) {
    for (int poll = 0; poll < kMaxPolls && HostWindow == platform::kNullHandle;
         ++poll) {
      os.sleep_ms(kPollIntervalMs);
      HostWindow = os.find_window(kHostWindowClass);
    }
  }
  if (HostWindow == platform::kNullHandle) return ORVEKPORT_E_NO_HOST;

  // The caller starts over: an answer that an earlier host still owes gets
  // one last wait and is then given up, so the link can't stay refused.
  if (StatusCode status = ForgetOwedAnswer(os); status != ORVEKPORT_OK) return status;
  char handshake_result[kHandshakeCapacity];
  return SendQuery(os, "0", kHandshakeCapacity, handshake_result);
}

StatusCode EnsureHostWindow(platform::Platform& os) {
  if (HostWindow != platform::kNullHandle) return ORVEKPORT_OK;
  return Init(os);
}

StatusCode GetString(platform::Platform& os, const char* request,
                     std::uint32_t capacity, char* result) {
  if (request == nullptr || result == nullptr)
    return ORVEKPORT_E_INVALID_ARGUMENT;
  if (StatusCode status = EnsureHostWindow(os); status != ORVEKPORT_OK)
    return status;
  return SendQuery(os, request, capacity, result);
}

}  // namespace orvek::hostlink
