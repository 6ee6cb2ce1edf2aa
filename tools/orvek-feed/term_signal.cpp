#include "term_signal.h"

#include <cstdint>

#include "tools/common/wine_unix.h"

#ifdef ORVEK_LINUX_CALLS
// The kernel returns from a handler through the restorer the handler was
// installed with: rt_sigreturn, 15 on x86_64 and 173 on i386.
#if defined(__x86_64__)
asm(".text\n"
    ".globl orvek_linux_sigreturn\n"
    "orvek_linux_sigreturn:\n"
    "  movq $15, %rax\n"
    "  syscall\n");
#define ORVEK_HANDLER_ABI __attribute__((sysv_abi))
#else
asm(".text\n"
    ".globl _orvek_linux_sigreturn\n"
    "_orvek_linux_sigreturn:\n"
    "  movl $173, %eax\n"
    "  int $0x80\n");
#define ORVEK_HANDLER_ABI __attribute__((cdecl))
#endif
extern "C" void orvek_linux_sigreturn();

namespace orvek::feed {
namespace {

constexpr std::intptr_t kSigInt = 2;
constexpr std::intptr_t kSigTerm = 15;
// SA_SIGINFO asks for the frame rt_sigreturn undoes on i386 too, where a
// handler without it gets the older frame of sigreturn.
constexpr std::uint32_t kSaSigInfo = 0x00000004;
constexpr std::uint32_t kSaRestart = 0x10000000;
constexpr std::uint32_t kSaRestorer = 0x04000000;

// The kernel's struct sigaction, field by field at its own offsets.
struct KernelSigaction {
  void (*handler)(int);
  std::uintptr_t flags;
  void (*restorer)();
  std::uint32_t mask[2];
};

// Runs on the Unix side, in a signal's context: only system calls.
extern "C" ORVEK_HANDLER_ABI void orvek_sigterm_handler(int) {
  using namespace tools::linux_number;
  tools::linux_call(kKill, tools::linux_call(kGetPid, 0, 0, 0), kSigInt, 0);
}

}  // namespace

bool treat_sigterm_as_interrupt() {
  if (!tools::wine_on_linux()) return false;
  KernelSigaction action{};
  action.handler = reinterpret_cast<void (*)(int)>(
      reinterpret_cast<void*>(orvek_sigterm_handler));
  action.flags = kSaSigInfo | kSaRestart | kSaRestorer;
  action.restorer = orvek_linux_sigreturn;
  constexpr std::intptr_t kSigsetBytes = 8;
  return tools::linux_call(tools::linux_number::kSigaction, kSigTerm,
                           reinterpret_cast<std::intptr_t>(&action), 0,
                           kSigsetBytes) == 0;
}

}  // namespace orvek::feed
#else
namespace orvek::feed {
bool treat_sigterm_as_interrupt() { return false; }
}  // namespace orvek::feed
#endif
