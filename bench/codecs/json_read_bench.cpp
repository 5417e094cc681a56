// ParseJson against RapidJSON's DOM (default and full-precision numbers), RapidJSON's reader with a
// handler that does nothing (the ceiling for anything built on that reader), nlohmann::json and
// simdjson, each reading the compact JSON of every input; ParseJson and RapidJSON's DOM also read
// the pretty form. "tree_bytes" is what a parsed tree holds: for ParseJson the live bytes and
// pool pages it adds, for RapidJSON its pool's Size().
#include <rapidjson/document.h>
#include <rapidjson/reader.h>

#include "bench/codecs/bench_support.h"
#include "bench/codecs/tree_statistics.h"
#include "codecs/json_reader.h"

namespace dul::bench {
namespace {

constexpr unsigned kFullPrecision = rapidjson::kParseFullPrecisionFlag;

std::string Name(std::string_view task, const GeneratedDocument& document,
                 std::string_view contender) {
  return std::string(task) + "/" + document.name + "/" + std::string(contender);
}

void RegisterOurs(std::string_view task, const GeneratedDocument& document,
                  const std::string& text) {
  RegisterCase(
      Name(task, document, "ours"),
      [&document, &text] {
        const std::uint64_t before = LiveBytes();
        const Zorv::BindingResult parsed = Zorv::ParseJson(text);
        const std::uint64_t held = LiveBytes() - before;
        if (!parsed.ok())
          return Verdict{std::string(parsed.ErrorText()), {}};
        Verdict verdict = Compare(StatsOfBinding(parsed.value()), document.stats);
        verdict.counters["tree_bytes"] = static_cast<double>(held);
        return verdict;
      },
      [&text](benchmark::State& state) {
        TimeLoop(state, text.size(), [&] {
          Zorv::BindingResult parsed = Zorv::ParseJson(text);
          benchmark::DoNotOptimize(parsed);
        });
      });
}

template <unsigned kFlags>
void RegisterRapidJsonDom(std::string_view task, const GeneratedDocument& document,
                          const std::string& text, std::string_view contender) {
  RegisterCase(
      Name(task, document, contender),
      [&document, &text] {
        rapidjson::Document parsed;
        parsed.Parse<kFlags>(text.c_str());
        if (parsed.HasParseError())
          return Verdict{"RapidJSON failed", {}};
        Verdict verdict = Compare(StatsOfRapidJson(parsed), document.stats);
        verdict.counters["tree_bytes"] = static_cast<double>(parsed.GetAllocator().Size());
        return verdict;
      },
      [&text](benchmark::State& state) {
        TimeLoop(state, text.size(), [&] {
          rapidjson::Document parsed;
          parsed.Parse<kFlags>(text.c_str());
          benchmark::DoNotOptimize(parsed);
        });
      });
}

template <unsigned kFlags>
void RegisterRapidJsonSax(const GeneratedDocument& document, std::string_view contender) {
  RegisterCase(
      Name("json_read", document, contender),
      [&document] {
        return Compare(StatsOfRapidJsonEvents(document.json.c_str(), kFlags == kFullPrecision),
                       document.stats);
      },
      [&document](benchmark::State& state) {
        TimeLoop(state, document.json.size(), [&] {
          rapidjson::BaseReaderHandler<> handler;
          rapidjson::Reader reader;
          rapidjson::StringStream stream(document.json.c_str());
          benchmark::DoNotOptimize(reader.Parse<kFlags>(stream, handler));
        });
      });
}

#ifdef DUL_BENCH_HAVE_NLOHMANN_JSON
void RegisterNlohmann(const GeneratedDocument& document) {
  RegisterCase(
      Name("json_read", document, "nlohmann"),
      [&document] {
        return Compare(StatsOfNlohmann(nlohmann::json::parse(document.json)), document.stats);
      },
      [&document](benchmark::State& state) {
        TimeLoop(state, document.json.size(), [&] {
          nlohmann::json parsed = nlohmann::json::parse(document.json);
          benchmark::DoNotOptimize(parsed);
        });
      });
}
#endif

#ifdef DUL_BENCH_HAVE_SIMDJSON
// The parser is reused across iterations, as simdjson intends; its buffers count once.
void RegisterSimdjson(const GeneratedDocument& document) {
  auto padded = std::make_shared<simdjson::padded_string>(document.json);
  auto parser = std::make_shared<simdjson::dom::parser>();
  RegisterCase(
      Name("json_read", document, "simdjson"),
      [&document, padded, parser] {
        simdjson::dom::element root;
        if (parser->parse(*padded).get(root) != simdjson::SUCCESS)
          return Verdict{"simdjson failed", {}};
        return Compare(StatsOfSimdjson(root), document.stats);
      },
      [&document, padded, parser](benchmark::State& state) {
        TimeLoop(state, document.json.size(), [&] {
          simdjson::dom::element root;
          benchmark::DoNotOptimize(parser->parse(*padded).get(root));
        });
      });
}
#endif

}  // namespace

void RegisterJsonReadBenchmarks() {
  for (const GeneratedDocument& document : Corpus()) {
    RegisterOurs("json_read", document, document.json);
    RegisterRapidJsonDom<rapidjson::kParseDefaultFlags>("json_read", document, document.json,
                                                        "rapidjson_dom");
    RegisterRapidJsonDom<kFullPrecision>("json_read", document, document.json,
                                         "rapidjson_dom_full_precision");
    RegisterRapidJsonSax<rapidjson::kParseDefaultFlags>(document, "rapidjson_sax_null");
    RegisterRapidJsonSax<kFullPrecision>(document, "rapidjson_sax_null_full_precision");
#ifdef DUL_BENCH_HAVE_NLOHMANN_JSON
    RegisterNlohmann(document);
#endif
#ifdef DUL_BENCH_HAVE_SIMDJSON
    RegisterSimdjson(document);
#endif
  }
  for (const GeneratedDocument& document : Corpus()) {
    RegisterOurs("json_read_pretty", document, document.prettyJson);
    RegisterRapidJsonDom<rapidjson::kParseDefaultFlags>("json_read_pretty", document,
                                                        document.prettyJson, "rapidjson_dom");
  }
}

}  // namespace dul::bench
