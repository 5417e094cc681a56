// WriteJson, compact and indented, against RapidJSON's Writer and PrettyWriter writing their own
// Document, and nlohmann::json's dump, for every input. Each tree is parsed once, with numbers to
// the nearest double so that all contenders hold the same values; the check reads every output
// back to the input's statistics.
#include <memory>

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "bench/codecs/bench_support.h"
#include "bench/codecs/tree_statistics.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"

namespace dul::bench {
namespace {

std::string Name(std::string_view task, const GeneratedDocument& document,
                 std::string_view contender) {
  return std::string(task) + "/" + document.name + "/" + std::string(contender);
}

// What the written text reads back to, through a reader that is not under test.
Verdict CheckOutput(const std::string& text, const GeneratedDocument& document) {
  return Compare(StatsOfRapidJsonEvents(text.c_str(), true), document.stats);
}

void RegisterOurs(const GeneratedDocument& document, bool pretty) {
  auto tree = std::make_shared<Zorv::BindingResult>();
  const char* separator = pretty ? "\n" : nullptr;
  RegisterCase(
      Name(pretty ? "json_write_pretty" : "json_write", document, "ours"),
      [&document, tree, separator] {
        *tree = Zorv::ParseJson(document.json);
        return CheckOutput(Zorv::WriteJson(tree->value(), nullptr, separator), document);
      },
      [&document, tree, separator](benchmark::State& state) {
        TimeLoop(state, document.json.size(), [&] {
          std::string text = Zorv::WriteJson(tree->value(), nullptr, separator);
          benchmark::DoNotOptimize(text);
        });
      });
}

template <typename Writer>
void RegisterRapidJson(const GeneratedDocument& document, std::string_view task,
                       std::string_view contender) {
  auto tree = std::make_shared<rapidjson::Document>();
  const auto write = [tree] {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    tree->Accept(writer);
    return buffer;
  };
  RegisterCase(
      Name(task, document, contender),
      [&document, tree, write] {
        tree->Parse<rapidjson::kParseFullPrecisionFlag>(document.json.c_str());
        return CheckOutput(write().GetString(), document);
      },
      [&document, write](benchmark::State& state) {
        TimeLoop(state, document.json.size(), [&] {
          rapidjson::StringBuffer text = write();
          benchmark::DoNotOptimize(text);
        });
      });
}

#ifdef DUL_BENCH_HAVE_NLOHMANN_JSON
void RegisterNlohmann(const GeneratedDocument& document, bool pretty) {
  auto tree = std::make_shared<nlohmann::json>();
  const int indent = pretty ? 4 : -1;
  RegisterCase(
      Name(pretty ? "json_write_pretty" : "json_write", document, "nlohmann"),
      [&document, tree, indent] {
        *tree = nlohmann::json::parse(document.json);
        return CheckOutput(tree->dump(indent), document);
      },
      [&document, tree, indent](benchmark::State& state) {
        TimeLoop(state, document.json.size(), [&] {
          std::string text = tree->dump(indent);
          benchmark::DoNotOptimize(text);
        });
      });
}
#endif

}  // namespace

void RegisterJsonWriteBenchmarks() {
  using Compact = rapidjson::Writer<rapidjson::StringBuffer>;
  using Pretty = rapidjson::PrettyWriter<rapidjson::StringBuffer>;
  for (const bool pretty : {false, true}) {
    for (const GeneratedDocument& document : Corpus()) {
      RegisterOurs(document, pretty);
      if (pretty)
        RegisterRapidJson<Pretty>(document, "json_write_pretty", "rapidjson_pretty_writer");
      else
        RegisterRapidJson<Compact>(document, "json_write", "rapidjson_writer");
#ifdef DUL_BENCH_HAVE_NLOHMANN_JSON
      RegisterNlohmann(document, pretty);
#endif
    }
  }
}

}  // namespace dul::bench
