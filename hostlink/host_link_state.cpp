#include "hostlink/host_link_state.h"

namespace orvek::hostlink {

platform::Handle HostWindow = platform::kNullHandle;
char16_t HostExecutablePath[kHostPathUnits] = {};
char16_t HostDirectory[kHostPathUnits] = {};
platform::Handle ReplyEvent = platform::kNullHandle;
std::atomic<platform::Handle> ExchangeLock{platform::kNullHandle};
volatile std::uint32_t* AnswerOwed = nullptr;

void ResetHostLinkState() {
  HostWindow = platform::kNullHandle;
  HostExecutablePath[0] = u'\0';
  HostDirectory[0] = u'\0';
  ReplyEvent = platform::kNullHandle;
  ExchangeLock = platform::kNullHandle;
  AnswerOwed = nullptr;
}

}  // namespace orvek::hostlink
