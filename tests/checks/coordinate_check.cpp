// The coordinate digits of the position sentence, worked out in whole
// numbers by the library, against the double arithmetic of this machine
// (SSE2 on x86_64) over many millions of values; prints how many differ and
// what each way costs. Exits 1 when any value differs.
//   orvek-coordinate-check [count]   (default 20 000 000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/support/coordinate_cases.h"

// Where the timed loops' results go, so that neither is optimised away.
volatile std::int64_t g_kept;

int main(int argc, char** argv) {
  using orvek::api::SplitCoordinate;
  using orvek::testing::DoubleSteps;
  using orvek::testing::SameParts;
  const long count = argc > 1 ? std::atol(argv[1]) : 20'000'000;
  orvek::testing::CoordinateValues values(2026);
  std::vector<double> batch(1'000'000);
  long differ = 0;
  double integer_ns = 0, double_ns = 0;
  std::int64_t sink = 0;
  using Clock = std::chrono::steady_clock;
  for (long done = 0; done < count;) {
    std::size_t n = static_cast<std::size_t>(
        std::min<long>(count - done, static_cast<long>(batch.size())));
    for (std::size_t i = 0; i < n; ++i) batch[i] = values.next();
    auto start = Clock::now();
    for (std::size_t i = 0; i < n; ++i) {
      auto parts = SplitCoordinate(batch[i]);
      sink += parts.degrees + parts.minutes + parts.thousandths;
    }
    auto middle = Clock::now();
    for (std::size_t i = 0; i < n; ++i) {
      auto parts = DoubleSteps(batch[i]);
      sink += parts.degrees + parts.minutes + parts.thousandths;
    }
    auto end = Clock::now();
    integer_ns +=
        std::chrono::duration<double, std::nano>(middle - start).count();
    double_ns += std::chrono::duration<double, std::nano>(end - middle).count();
    for (std::size_t i = 0; i < n; ++i) {
      if (SameParts(SplitCoordinate(batch[i]), DoubleSteps(batch[i]))) continue;
      if (differ++ < 10) {
        auto a = SplitCoordinate(batch[i]);
        auto b = DoubleSteps(batch[i]);
        std::printf("differs: %a: integer %d %d %d, double %d %d %d\n",
                    batch[i], a.degrees, a.minutes, a.thousandths, b.degrees,
                    b.minutes, b.thousandths);
      }
    }
    done += static_cast<long>(n);
  }
  g_kept = sink;
  std::printf(
      "coordinate digits: %ld values, %ld differ from the double steps; "
      "integer steps %.1f ns, double steps %.1f ns per value\n",
      count, differ, integer_ns / count, double_ns / count);
  return differ == 0 ? 0 : 1;
}
