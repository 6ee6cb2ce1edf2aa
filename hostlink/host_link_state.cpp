#include "hostlink/host_link_state.h"

#include "protocol/host_protocol.h"

namespace orvek::hostlink {

constinit platform::Handle HostWindow = platform::kNullHandle;
constinit platform::Platform::WindowOwner HostOwner = {};
constinit char16_t HostExecutablePath[kHostPathUnits] = {};
constinit char16_t HostDirectory[kHostPathUnits] = {};
constinit platform::Handle ReplyEvent = platform::kNullHandle;
constinit std::atomic<platform::Handle> ExchangeLock{platform::kNullHandle};
constinit OwedPostRecord OwnOwedPost = {};

void OpenReplyEvent(platform::Platform& os) {
  if (ReplyEvent == platform::kNullHandle)
    ReplyEvent = os.create_event(protocol::kReplyEventName);
}

void ResetHostLinkState() {
  HostWindow = platform::kNullHandle;
  HostOwner = {};
  HostExecutablePath[0] = u'\0';
  HostDirectory[0] = u'\0';
  ReplyEvent = platform::kNullHandle;
  ExchangeLock = platform::kNullHandle;
  OwnOwedPost = {};
}

}  // namespace orvek::hostlink
