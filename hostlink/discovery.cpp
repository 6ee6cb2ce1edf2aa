#include "hostlink/discovery.h"

#include <cstring>

#include "hostlink/envelopes.h"
#include "hostlink/host_link_state.h"
#include "protocol/host_protocol.h"
#include "hostlink/packet_exchange.h"
#include "platform/unique_handle.h"

namespace orvek::hostlink {

using namespace protocol;
namespace {

constexpr int kMaxPolls = kHostStartPollMs / kHostStartPollIntervalMs;

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
  // Callers that start together find one host: the second one waits here
  // while the first starts it.
  LinkLock lock(os);
  if (StatusCode status = lock.take(); status != ORVEKPORT_OK) return status;
  if (!ReadHostPath(os)) return ORVEKPORT_E_REGISTRY;
  DeriveHostDirectory();

  HostWindow = os.find_window(kHostWindowClass);
  if (HostWindow == platform::kNullHandle &&
      IsProgramFile(os, HostExecutablePath) &&
      os.shell_open(HostExecutablePath)) {
    for (int poll = 0; poll < kMaxPolls && HostWindow == platform::kNullHandle;
         ++poll) {
      os.sleep_ms(kHostStartPollIntervalMs);
      HostWindow = os.find_window(kHostWindowClass);
    }
  }
  if (HostWindow == platform::kNullHandle) return ORVEKPORT_E_NO_HOST;
  if (os.window_owner(HostWindow, &HostOwner) !=
      platform::Platform::WindowCheck::kOwned)
    HostOwner = {};

  // A post still owed to this window is settled first, as by any exchange;
  // one owed to a window that has gone is given up at once.
  // Its result text is not read.
  char handshake_result[kHandshakeCapacity];
  return SendQuery(os, kHandshakeQuery, kHandshakeCapacity, handshake_result);
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
