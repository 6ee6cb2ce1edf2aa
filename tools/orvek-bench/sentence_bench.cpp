// How fast position sentences are formatted: BuildPositionSentence alone,
// without the exchange, and the "%f" writer that dominates it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "api/number_format.h"
#include "api/position_sentence.h"
#include "api/record_fields.h"
#include "tests/support/coordinate_cases.h"

namespace {

using orvek::api::BuildPositionSentence;
using orvek::api::FixedText;
using orvek::api::kMaxSentence;

// A drive along a coastline: every call gets a different fix.
void BM_BuildPositionSentence(benchmark::State& state) {
  char sentence[kMaxSentence + 1];
  double step = 0;
  for (auto _ : state) {
    step += 1e-5;
    auto status = BuildPositionSentence(-3.5 - step, 40.25 + step, 650.7,
                                        "Boat 1", "moored", 12.5 + step, 42,
                                        sentence);
    benchmark::DoNotOptimize(status);
    benchmark::DoNotOptimize(sentence);
  }
  state.counters["sentences/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BuildPositionSentence);

void BM_FixedText(benchmark::State& state) {
  double value = 41.5;
  for (auto _ : state) {
    value += 1e-7;
    benchmark::DoNotOptimize(FixedText(value));
  }
}
BENCHMARK(BM_FixedText);

// For scale: the C library's "%f" into a buffer.
void BM_SnprintfFixed(benchmark::State& state) {
  char text[400];
  double value = 41.5;
  for (auto _ : state) {
    value += 1e-7;
    benchmark::DoNotOptimize(std::snprintf(text, sizeof(text), "%f", value));
  }
}
BENCHMARK(BM_SnprintfFixed);

// The coordinate digits of one sentence field, in whole numbers as the
// library does them, and for scale the double steps they replace.
template <typename Steps>
void coordinate_steps(benchmark::State& state, Steps steps) {
  double value = 40.25;
  for (auto _ : state) {
    value += 1e-7;
    benchmark::DoNotOptimize(steps(value));
  }
}
void BM_SplitCoordinate(benchmark::State& state) {
  coordinate_steps(state, orvek::api::SplitCoordinate);
}
BENCHMARK(BM_SplitCoordinate);
void BM_DoubleStepsCoordinate(benchmark::State& state) {
  coordinate_steps(state, orvek::testing::DoubleSteps);
}
BENCHMARK(BM_DoubleStepsCoordinate);

// The record reader's exact decimal conversion of a typical field, and the
// C library's strtod for scale.
void BM_ParseNumber(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(orvek::api::ParseNumber("41.500000"));
}
BENCHMARK(BM_ParseNumber);

void BM_Strtod(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(std::strtod("41.500000", nullptr));
}
BENCHMARK(BM_Strtod);

}  // namespace
