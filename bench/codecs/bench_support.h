// What the codec benchmarks share: the generated inputs, the check that runs once per benchmark
// before anything is timed, and the timing loop with its counters.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/codecs/document_generator.h"
#include "foundation/allocation_counters.h"

namespace dul::bench {

// The inputs, generated once by main before any benchmark runs.
const std::vector<GeneratedDocument>& Corpus();

// The outcome of a benchmark's check: an error (empty when the work was proved equal) and
// counters to report with every run, such as the bytes a parsed tree holds.
struct Verdict {
  std::string error;
  std::map<std::string, double> counters;
};

Verdict Compare(const DocumentStats& got, const DocumentStats& expected);

// Bytes held right now: the counting allocator's live blocks and the binding page pool's pages.
std::uint64_t LiveBytes();

// Registers a benchmark whose `check` runs the first time it is called (results are kept by
// name); when the check fails the benchmark reports the error instead of a time.
void RegisterCase(const std::string& name, std::function<Verdict()> check,
                  std::function<void(benchmark::State&)> run);

// Runs `body` once per iteration; reports throughput over `bytes` and allocation calls per
// iteration ("allocs").
template <typename Body>
void TimeLoop(benchmark::State& state, std::size_t bytes, Body body) {
  const std::uint64_t before = dul::ReadAllocationStats().allocations;
  for (auto _ : state)
    body();
  const std::uint64_t calls = dul::ReadAllocationStats().allocations - before;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
  state.counters["allocs"] =
      benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kAvgIterations);
}

bool AnyCheckFailed();

void RegisterJsonReadBenchmarks();
void RegisterJsonWriteBenchmarks();
void RegisterMessagePackBenchmarks();
void RegisterYamlBenchmarks();
void RegisterBase64Benchmarks();

}  // namespace dul::bench
