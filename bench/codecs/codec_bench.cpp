// The benchmark binary's entry: generates the codec inputs (their sizes, hashes and statistics go
// into the report's context), registers the codec benchmarks and runs everything. The binding
// benchmarks register themselves. Each codec benchmark name is <task>/<input>/<contender>, and
// every contender of one task and input reads or writes the same bytes in the same run.
#include <cinttypes>
#include <cstdio>
#include <memory>

#include "bench/codecs/bench_support.h"

namespace dul::bench {
namespace {

// Set when any check fails, so that the binary's exit status shows it.
bool gCheckFailed = false;

std::vector<GeneratedDocument>& MutableCorpus() {
  static std::vector<GeneratedDocument> corpus;
  return corpus;
}

std::string Hashed(std::string_view label, const void* bytes, std::size_t size) {
  char text[96];
  const std::uint64_t hash =
      HashBytes(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(bytes), size));
  std::snprintf(text, sizeof text, "%s %zu B %016" PRIx64, std::string(label).c_str(), size, hash);
  return text;
}

void Generate() {
  std::vector<GeneratedDocument>& corpus = MutableCorpus();
  corpus.push_back(GenerateItemSets("itemsets_1k", 1000));
  corpus.push_back(GenerateItemSets("itemsets_100k", 100 * 1000));
  corpus.push_back(GenerateItemSets("itemsets_10m", 10 * 1000 * 1000));
  corpus.push_back(GenerateTwitterLike());
  corpus.push_back(GenerateCanadaLike());
  for (const GeneratedDocument& document : corpus) {
    const std::string sizes =
        Hashed("json", document.json.data(), document.json.size()) + ", " +
        Hashed("pretty", document.prettyJson.data(), document.prettyJson.size()) + ", " +
        Hashed("msgpack", document.messagePack.data(), document.messagePack.size()) + ", " +
        Hashed("yaml", document.yaml.data(), document.yaml.size());
    benchmark::AddCustomContext("input " + document.name, sizes);
    benchmark::AddCustomContext("stats " + document.name, document.stats.Describe());
  }
}

}  // namespace

const std::vector<GeneratedDocument>& Corpus() {
  return MutableCorpus();
}

Verdict Compare(const DocumentStats& got, const DocumentStats& expected) {
  Verdict verdict;
  if (!got.Matches(expected))
    verdict.error =
        "statistics differ: got " + got.Describe() + "; expected " + expected.Describe();
  return verdict;
}

std::uint64_t LiveBytes() {
  const dul::AllocationStats stats = dul::ReadAllocationStats();
  return stats.bytesAllocated - stats.bytesFreed;  // the value pages included
}

void RegisterCase(const std::string& name, std::function<Verdict()> check,
                  std::function<void(benchmark::State&)> run) {
  auto verdict = std::make_shared<std::unique_ptr<Verdict>>();
  const auto benchmark = [verdict, check, run](benchmark::State& state) {
    if (*verdict == nullptr) {
      *verdict = std::make_unique<Verdict>(check());
      gCheckFailed = gCheckFailed || !(*verdict)->error.empty();
    }
    if (!(*verdict)->error.empty()) {
      state.SkipWithError((*verdict)->error.c_str());
      return;
    }
    run(state);
    for (const auto& [counter, value] : (*verdict)->counters)
      state.counters[counter] = value;
  };
  benchmark::RegisterBenchmark(name.c_str(), benchmark)->Unit(benchmark::kMicrosecond);
}

bool AnyCheckFailed() {
  return gCheckFailed;
}

}  // namespace dul::bench

// Exits with 1 when any benchmark's check failed (the report shows which).
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  dul::bench::Generate();
  dul::bench::RegisterJsonReadBenchmarks();
  dul::bench::RegisterJsonWriteBenchmarks();
  dul::bench::RegisterMessagePackBenchmarks();
  dul::bench::RegisterYamlBenchmarks();
  dul::bench::RegisterBase64Benchmarks();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return dul::bench::AnyCheckFailed() ? 1 : 0;
}
