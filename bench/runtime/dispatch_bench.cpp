// Request dispatch through Remoting on the item-set resource: a GET that only matches the path
// and binds summonerId, against one std::regex_match of the same path and the route template's
// own match; a PUT with a 100-set JSON body, end to end and split into its parse, its conversion
// into the native document and its handler. Each benchmark first checks that its work succeeds.
// The counter "allocs" is allocation calls per iteration.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "bench/runtime/item_sets_body.h"
#include "binding/binding_type_registry.h"
#include "binding/native_conversion.h"
#include "codecs/json_reader.h"
#include "foundation/allocation_counters.h"
#include "plugin/item_sets_api.h"
#include "runtime/remoting.h"
#include "tests/plugin/item_sets_test_plugin.h"

namespace dul::bench {
namespace {

using Zorv::Client::ItemSets::Api::ItemSets;

constexpr std::string_view kTemplate = "/dul-item-sets/v1/item-sets/{summonerId}/sets";
constexpr const char* kRegex = "/dul-item-sets/v1/item-sets/([^/]*)/sets";
constexpr const char* kPath = "/dul-item-sets/v1/item-sets/2743119/sets";
constexpr std::uint64_t kSummonerId = 2743119;
constexpr int kSetCount = 100;

// The registry, the two routes (GET endpoint 0, PUT endpoint 1) and the requests, built once.
struct Fixture {
  Fixture() {
    remoting.AddRoute(
        kTemplate, RequestMethod::kGet,
        MakeFunction("GetItemSets",
                     [this](std::uint64_t summonerId) { lastSummonerId = summonerId; },
                     {PathArg("summonerId")}));
    remoting.AddRoute(kTemplate, RequestMethod::kPut,
                      MakeFunction("PutItemSets",
                                   [this](std::uint64_t summonerId, ItemSets itemSets) {
                                     lastSummonerId = summonerId;
                                     lastSummary = SummariseItemSets(itemSets);
                                   },
                                   {PathArg("summonerId"), BodyArg("itemSets")}));
    getRequest.method = MethodCode(RequestMethod::kGet);
    getRequest.url = kPath;
    getRequest.endpointIndex = 0;
    bodyArgument.value.kind = 5;
    bodyArgument.value.payload.span.data = body.data();
    bodyArgument.value.payload.span.length = static_cast<std::uint32_t>(body.size());
    putRequest.method = MethodCode(RequestMethod::kPut);
    putRequest.url = kPath;
    putRequest.endpointIndex = 1;
    putRequest.arguments = &bodyArgument;
    putRequest.argumentCount = 1;
    putRequest.contentType = kContentType;
    putRequest.contentTypeLength =
        static_cast<std::uint32_t>(std::string_view(kContentType).size());
    (void)remoting.PublishEndpointTable(nullptr, nullptr);
  }

  static constexpr const char* kContentType = "application/json; charset=utf-8";
  testing::ItemSetTypesPlugin plugin;
  Zorv::BindingTypeRegistry& registry = plugin.typeRegistry();
  std::vector<std::string> tags{"Plugins"};
  Remoting remoting{registry, tags};
  std::string body = ItemSetsBody(kSetCount);
  DulRequestArgument bodyArgument{};
  DulHostRequestRecord getRequest{};
  DulHostRequestRecord putRequest{};
  std::uint64_t lastSummonerId = 0;
  std::uint64_t lastSummary = 0;
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// Delivers the request as the host does and releases the answer; returns its status, or 0 when
// the answer carries an error text.
std::uint32_t Deliver(const Fixture& fixture, const DulHostRequestRecord& request) {
  DulHostResponseRecord response{};
  fixture.remoting.DispatchEndpoint(&response, &request);
  const std::uint32_t status = response.errorText == nullptr ? response.status : 0;
  if (response.release != nullptr)
    response.release(&response);
  return status;
}

// Runs `body` once per iteration and reports allocation calls per iteration.
template <class Body>
void TimeLoop(benchmark::State& state, Body body) {
  const std::uint64_t before = ReadAllocationStats().allocations;
  for (auto _ : state)
    body();
  const std::uint64_t calls = ReadAllocationStats().allocations - before;
  state.counters["allocs"] =
      benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kAvgIterations);
}

void GetThroughRemoting(benchmark::State& state) {
  Fixture& fixture = TheFixture();
  fixture.lastSummonerId = 0;
  if (Deliver(fixture, fixture.getRequest) != kStatusOk || fixture.lastSummonerId != kSummonerId)
    return state.SkipWithError("GET was not answered with 200 and the summoner id");
  TimeLoop(state, [&] { benchmark::DoNotOptimize(Deliver(fixture, fixture.getRequest)); });
}

void GetRegexMatch(benchmark::State& state) {
  const std::regex pattern(kRegex, std::regex::ECMAScript | std::regex::optimize);
  const std::string_view path = kPath;
  std::cmatch match;
  if (!std::regex_match(path.data(), path.data() + path.size(), match, pattern) ||
      match[1].str() != std::to_string(kSummonerId))
    return state.SkipWithError("the expression does not match the path");
  TimeLoop(state, [&] {
    benchmark::DoNotOptimize(
        std::regex_match(path.data(), path.data() + path.size(), match, pattern));
  });
}

void GetRouteMatch(benchmark::State& state) {
  const RouteTemplate& route = TheFixture().remoting.routeTable()[0].path;
  const std::string_view path = kPath;
  std::vector<std::string_view> captures;
  if (!route.Match(path, captures) || captures.size() != 1 ||
      captures[0] != std::to_string(kSummonerId))
    return state.SkipWithError("the template does not match the path");
  TimeLoop(state, [&] { benchmark::DoNotOptimize(route.Match(path, captures)); });
}

void PutThroughRemoting(benchmark::State& state) {
  Fixture& fixture = TheFixture();
  fixture.lastSummary = 0;
  const std::uint32_t status = Deliver(fixture, fixture.putRequest);
  if (status != kStatusOk || fixture.lastSummary == 0)
    return state.SkipWithError("PUT was not answered with 200 after the handler ran");
  TimeLoop(state, [&] { benchmark::DoNotOptimize(Deliver(fixture, fixture.putRequest)); });
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fixture.body.size()));
}

// As the binding does it: the body copied into a string, parsed, and the tree freed.
void PutParseJson(benchmark::State& state) {
  const Fixture& fixture = TheFixture();
  if (!Zorv::ParseJson(fixture.body).ok())
    return state.SkipWithError("the body does not parse");
  TimeLoop(state, [&] {
    Zorv::BindingResult parsed = Zorv::ParseJson(fixture.body);
    benchmark::DoNotOptimize(parsed.ok());
  });
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fixture.body.size()));
}

// The parsed tree into a fresh native document, which is freed again.
void PutFromBinding(benchmark::State& state) {
  const Fixture& fixture = TheFixture();
  Zorv::BindingResult parsed = Zorv::ParseJson(fixture.body);
  const Zorv::BindingProperty& tree = parsed.value();
  Zorv::BindingResult check;
  ItemSets checked;
  Zorv::FromBinding(check, checked, tree, "itemSets", fixture.registry);
  if (!check.ok() || checked.itemSets.size() != kSetCount)
    return state.SkipWithError("the tree does not convert to 100 sets");
  TimeLoop(state, [&] {
    Zorv::BindingResult result;
    ItemSets sets;
    Zorv::FromBinding(result, sets, tree, "itemSets", fixture.registry);
    benchmark::DoNotOptimize(sets.itemSets.data());
  });
}

// The handler's own work on a converted document.
void PutHandler(benchmark::State& state) {
  const Fixture& fixture = TheFixture();
  Zorv::BindingResult result;
  ItemSets sets;
  Zorv::FromBinding(result, sets, Zorv::ParseJson(fixture.body).value(), "itemSets",
                    fixture.registry);
  if (!result.ok())
    return state.SkipWithError("the tree does not convert");
  TimeLoop(state, [&] { benchmark::DoNotOptimize(SummariseItemSets(sets)); });
}

[[maybe_unused]] const bool kRegistered = [] {
  const auto add = [](const char* name, void (*function)(benchmark::State&)) {
    benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kNanosecond);
  };
  add("Dispatch/Get/Remoting", GetThroughRemoting);
  add("Dispatch/Get/RegexMatch", GetRegexMatch);
  add("Dispatch/Get/RouteMatch", GetRouteMatch);
  add("Dispatch/Put/Remoting", PutThroughRemoting);
  add("Dispatch/Put/ParseJson", PutParseJson);
  add("Dispatch/Put/FromBinding", PutFromBinding);
  add("Dispatch/Put/Handler", PutHandler);
  return true;
}();

}  // namespace
}  // namespace dul::bench
