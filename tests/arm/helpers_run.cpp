// Runs on ARM under qemu-user, without Windows or a C runtime: compiled for
// Windows on ARM and only then put into a Linux ELF file (run-helpers.sh),
// so every / and % here calls the helpers with Windows' register
// convention, as the DLL's code does, and the "%f" writer is the DLL's own
// code. Checks, through the compiler's own division of every width and
// sign, that quotient and remainder obey n == q * d + r with |r| < |d| and
// r of n's sign; that the writer gives the unit tests' texts; and, run with
// an argument, that a helper traps on a zero divisor. Prints one line and
// exits 0 when all hold.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <type_traits>

#include "api/number_format.h"
#include "tests/support/fixed_text_cases.h"

// What the compiler and the writer call of a C runtime, for this program.
extern "C" {
void* memcpy(void* to, const void* from, std::size_t count) {
  auto* out = static_cast<unsigned char*>(to);
  for (auto* in = static_cast<const unsigned char*>(from); count-- > 0;) *out++ = *in++;
  return to;
}
void* memset(void* to, int byte, std::size_t count) {
  for (auto* out = static_cast<unsigned char*>(to); count-- > 0;) *out++ = static_cast<unsigned char>(byte);
  return to;
}
int memcmp(const void* a, const void* b, std::size_t count) {
  auto *x = static_cast<const unsigned char*>(a), *y = static_cast<const unsigned char*>(b);
  for (; count-- > 0; ++x, ++y)
    if (*x != *y) return *x - *y;
  return 0;
}
std::size_t strlen(const char* text) {
  std::size_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}
}

namespace {

// Linux system calls: the number in x8 or r7, arguments from x0 or r0. long
// is 32 bits on Windows, so intptr_t.
using Word = std::intptr_t;
#if defined(__aarch64__)
constexpr Word kWrite = 64, kExit = 93;
#define ORVEK_REGISTER(arm64, armv7) arm64
#else
constexpr Word kWrite = 4, kExit = 1;
#define ORVEK_REGISTER(arm64, armv7) armv7
#endif
Word Syscall(Word number, Word a, Word b, Word c) {
  register Word n asm(ORVEK_REGISTER("x8", "r7")) = number;
  register Word r0 asm(ORVEK_REGISTER("x0", "r0")) = a;
  register Word r1 asm(ORVEK_REGISTER("x1", "r1")) = b;
  register Word r2 asm(ORVEK_REGISTER("x2", "r2")) = c;
  asm volatile("svc #0" : "+r"(r0) : "r"(n), "r"(r1), "r"(r2) : "memory");
  return r0;
}

void Print(std::initializer_list<const char*> texts) {
  for (const char* text : texts)
    Syscall(kWrite, 1, reinterpret_cast<Word>(text), static_cast<Word>(strlen(text)));
}
[[noreturn]] void Exit(int code) {
  Syscall(kExit, code, 0, 0);
  __builtin_unreachable();
}
void PrintNumber(std::uint32_t value) {
  char digits[12] = {};
  int at = 10;
  do digits[at--] = static_cast<char>('0' + value % 10); while ((value /= 10) != 0);
  Print({digits + at + 1});
}

// Kept out of the compiler's sight, so each division is a helper call.
volatile std::uint64_t kValues[] = {
    1, 2, 3, 7, 10, 60, 1000, 1000000, 1000000000, 0x7FFFFFFF, 0x80000000,
    0xFFFFFFFF, 0x100000000, 0x1FFFFFFFF, 0x123456789ABCDEF, 0xDEADBEEFCAFEF00D,
    10000000000000000000u, 0x7FFFFFFFFFFFFFFE, 0x7FFFFFFFFFFFFFFF,
    0x8000000000000000, 0xFFFFFFFFFFFFFFFE, 0xFFFFFFFFFFFFFFFF, 0xFFFFFFFF80000000};

#if !defined(__aarch64__)
extern "C" std::uint64_t __rt_udiv64(std::uint64_t divisor, std::uint64_t dividend);
#endif

struct Tally {
  std::uint32_t divisions = 0, failures = 0;
};

// Truncated division: n == q * d + r, |r| < |d|, r zero or of n's sign.
// Skips the zero divisor, which traps, and -1, whose one overflow (the most
// negative number) is the one case the rules leave open.
template <typename T>
void Check(T n, T d, Tally& tally) {
  if (d == 0 || (std::is_signed_v<T> && d == static_cast<T>(-1))) return;
  using U = std::make_unsigned_t<T>;
  // Through memory the compiler can't see into, or it would prove the
  // rules from its own definition of / and % and drop the calls.
  volatile T quotient = n / d, remainder = n % d;
  const T q = quotient, r = remainder;
  const bool sum = static_cast<U>(n) == static_cast<U>(static_cast<U>(q) * static_cast<U>(d) + static_cast<U>(r));
  const U r_size = r < 0 ? 0 - static_cast<U>(r) : static_cast<U>(r);
  const U d_size = d < 0 ? 0 - static_cast<U>(d) : static_cast<U>(d);
  ++tally.divisions;
  if (!sum || r_size >= d_size || (r != 0 && (r < 0) != (n < 0))) ++tally.failures;
}

}  // namespace

extern "C" [[noreturn]] void Main(long* stack) {
  if (stack[0] > 1) {  // any argument: divide by zero, which must trap
#if defined(__aarch64__)
    Exit(3);  // ARM64 divides in hardware: no helper to try
#else
    __rt_udiv64(kValues[0] - 1, 1);
    Print({"a zero divisor did not trap\n"});
    Exit(1);
#endif
  }
  Tally tally;
  for (std::uint64_t n : kValues) {
    for (std::uint64_t d : kValues) {
      for (std::uint64_t n2 : {n, ~n}) {
        Check<std::uint64_t>(n2, d, tally);
        Check<std::int64_t>(static_cast<std::int64_t>(n2), static_cast<std::int64_t>(d), tally);
        Check<std::uint32_t>(static_cast<std::uint32_t>(n2), static_cast<std::uint32_t>(d), tally);
        Check<std::int32_t>(static_cast<std::int32_t>(n2), static_cast<std::int32_t>(d), tally);
      }
    }
  }
  for (const auto& c : orvek::testing::kFixedCases) {
    const orvek::api::NumberText number = orvek::api::FixedText(c.value);
    if (number.view() == c.text) continue;
    Print({"\"%f\" wrote ", number.text, " for ", c.text, "\n"});
    ++tally.failures;
  }
  Print({tally.failures == 0 ? "ok: " : "FAIL: "});
  PrintNumber(tally.divisions);
  Print({" divisions of every width and sign, "});
  PrintNumber(sizeof orvek::testing::kFixedCases / sizeof orvek::testing::kFixedCases[0]);
  Print({" \"%f\" texts as on x86_64; failures: "});
  PrintNumber(tally.failures);
  Print({"\n"});
  Exit(tally.failures == 0 ? 0 : 1);
}

#if defined(__aarch64__)
asm(".def _start; .scl 2; .type 32; .endef\n.globl _start\n_start:\n  mov x0, sp\n  b Main\n");
#else
asm(".def _start; .scl 2; .type 32; .endef\n.globl _start\n.thumb_func\n_start:\n  mov r0, sp\n  b.w Main\n");
#endif
