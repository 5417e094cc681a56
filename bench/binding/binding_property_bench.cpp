// BindingProperty against the obvious alternative, a std::variant value held in std::map and
// std::vector: building, deep-copying, walking and clearing a 10,000-member structure and a
// 100,000-integer collection. The counter "allocs" is allocation calls per iteration (pool pages
// come from the operating system in 64 KiB chunks and are not among them).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "binding/binding_property.h"
#include "foundation/allocation_counters.h"

namespace {

constexpr int kMembers = 10000;
constexpr int kElements = 100000;

struct VariantValue;
using VariantMap = std::map<std::string, VariantValue>;
using VariantList = std::vector<VariantValue>;
struct VariantValue {
  std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string,
               std::vector<std::uint8_t>, VariantList, VariantMap>
      data;
};

const std::vector<std::string>& Names(bool shuffled) {
  static const auto make = [](bool shuffle) {
    std::vector<std::string> names;
    for (int i = 0; i < kMembers; ++i)
      names.push_back("member" + std::to_string(100000 + i));
    if (shuffle)
      std::shuffle(names.begin(), names.end(), std::mt19937(11));
    return names;
  };
  static const std::vector<std::string> ordered = make(false);
  static const std::vector<std::string> random = make(true);
  return shuffled ? random : ordered;
}

struct Ours {
  using Value = Zorv::BindingProperty;
  static void BuildStructure(Value& value, const std::vector<std::string>& names) {
    for (int i = 0; i < kMembers; ++i)
      value.Member(names[i]) = i;
  }
  static void BuildCollection(Value& value) {
    for (int i = 0; i < kElements; ++i)
      value.PushBack() = i;
  }
  static std::int64_t WalkStructure(const Value& value) {
    std::int64_t sum = 0;
    for (const auto& [name, member] : value.Members())
      sum += static_cast<std::int64_t>(name.size()) + member.GetSigned(0);
    return sum;
  }
  static std::int64_t WalkCollection(const Value& value) {
    std::int64_t sum = 0;
    for (const Value& element : value.Elements())
      sum += element.GetSigned(0);
    return sum;
  }
  static void Copy(Value& target, const Value& source) { target = source; }
  static void Clear(Value& value) { value.Clear(); }
};

struct Reference {
  using Value = VariantValue;
  static void BuildStructure(Value& value, const std::vector<std::string>& names) {
    auto& map = value.data.emplace<VariantMap>();
    for (int i = 0; i < kMembers; ++i)
      map[names[i]].data = std::int64_t{i};
  }
  static void BuildCollection(Value& value) {
    auto& list = value.data.emplace<VariantList>();
    for (int i = 0; i < kElements; ++i)
      list.emplace_back().data = std::int64_t{i};
  }
  static std::int64_t Signed(const Value& value) {
    const auto* number = std::get_if<std::int64_t>(&value.data);
    return number != nullptr ? *number : 0;
  }
  static std::int64_t WalkStructure(const Value& value) {
    std::int64_t sum = 0;
    for (const auto& [name, member] : std::get<VariantMap>(value.data))
      sum += static_cast<std::int64_t>(name.size()) + Signed(member);
    return sum;
  }
  static std::int64_t WalkCollection(const Value& value) {
    std::int64_t sum = 0;
    for (const Value& element : std::get<VariantList>(value.data))
      sum += Signed(element);
    return sum;
  }
  static void Copy(Value& target, const Value& source) { target = source; }
  static void Clear(Value& value) { value.data = std::monostate{}; }
};

enum class Shape { kStructure, kShuffledStructure, kCollection };

template <typename Impl>
void Build(typename Impl::Value& value, Shape shape) {
  if (shape == Shape::kCollection)
    Impl::BuildCollection(value);
  else
    Impl::BuildStructure(value, Names(shape == Shape::kShuffledStructure));
}

// Runs `timed` once per iteration between untimed `before` and `after`, counting allocations.
template <typename Before, typename Timed, typename After>
void Measure(benchmark::State& state, Before before, Timed timed, After after) {
  std::uint64_t allocations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    before();
    const std::uint64_t start = dul::ReadAllocationStats().allocations;
    state.ResumeTiming();
    timed();
    state.PauseTiming();
    allocations += dul::ReadAllocationStats().allocations - start;
    after();
    state.ResumeTiming();
  }
  state.counters["allocs"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

template <typename Impl, Shape kShape>
void BM_Build(benchmark::State& state) {
  typename Impl::Value value;
  Measure(
      state, [] {}, [&] { Build<Impl>(value, kShape); }, [&] { Impl::Clear(value); });
}

template <typename Impl, Shape kShape>
void BM_Copy(benchmark::State& state) {
  typename Impl::Value source;
  Build<Impl>(source, kShape);
  typename Impl::Value copy;
  Measure(
      state, [] {}, [&] { Impl::Copy(copy, source); }, [&] { Impl::Clear(copy); });
}

template <typename Impl, Shape kShape>
void BM_Walk(benchmark::State& state) {
  typename Impl::Value value;
  Build<Impl>(value, kShape);
  for (auto _ : state) {
    benchmark::DoNotOptimize(kShape == Shape::kCollection ? Impl::WalkCollection(value)
                                                          : Impl::WalkStructure(value));
  }
}

template <typename Impl, Shape kShape>
void BM_Clear(benchmark::State& state) {
  typename Impl::Value value;
  Measure(
      state, [&] { Build<Impl>(value, kShape); }, [&] { Impl::Clear(value); }, [] {});
}

#define DUL_BENCH_BOTH(function, shape)                                     \
  BENCHMARK_TEMPLATE(function, Ours, shape)->Unit(benchmark::kMicrosecond); \
  BENCHMARK_TEMPLATE(function, Reference, shape)->Unit(benchmark::kMicrosecond)

DUL_BENCH_BOTH(BM_Build, Shape::kStructure);
DUL_BENCH_BOTH(BM_Build, Shape::kShuffledStructure);
DUL_BENCH_BOTH(BM_Build, Shape::kCollection);
DUL_BENCH_BOTH(BM_Copy, Shape::kStructure);
DUL_BENCH_BOTH(BM_Copy, Shape::kCollection);
DUL_BENCH_BOTH(BM_Walk, Shape::kStructure);
DUL_BENCH_BOTH(BM_Walk, Shape::kCollection);
// A clear is timed alone, after an untimed build that costs far more: a fixed count keeps the run
// short.
#define DUL_BENCH_CLEAR(shape)                                                               \
  BENCHMARK_TEMPLATE(BM_Clear, Ours, shape)->Unit(benchmark::kMicrosecond)->Iterations(300); \
  BENCHMARK_TEMPLATE(BM_Clear, Reference, shape)->Unit(benchmark::kMicrosecond)->Iterations(300)

DUL_BENCH_CLEAR(Shape::kStructure);
DUL_BENCH_CLEAR(Shape::kCollection);

}  // namespace
