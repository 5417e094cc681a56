// ParseYaml against a loop that only pulls and frees libyaml's events (the floor for anything
// built on libyaml's parser) and yaml-cpp's Load, on the block YAML of every input.
#include <yaml.h>

#include "bench/codecs/bench_support.h"
#include "bench/codecs/tree_statistics.h"
#include "codecs/yaml_reader.h"

namespace dul::bench {
namespace {

std::string Name(const GeneratedDocument& document, std::string_view contender) {
  return "yaml_read/" + document.name + "/" + std::string(contender);
}

void RegisterOurs(const GeneratedDocument& document) {
  const std::string& text = document.yaml;
  RegisterCase(
      Name(document, "ours"),
      [&document, &text] {
        const Zorv::BindingResult parsed = Zorv::ParseYaml(text);
        if (!parsed.ok())
          return Verdict{std::string(parsed.ErrorText()), {}};
        return Compare(StatsOfBinding(parsed.value()), document.stats);
      },
      [&text](benchmark::State& state) {
        TimeLoop(state, text.size(), [&] {
          Zorv::BindingResult parsed = Zorv::ParseYaml(text);
          benchmark::DoNotOptimize(parsed);
        });
      });
}

bool PullAllEvents(std::string_view text) {
  yaml_parser_t parser;
  if (yaml_parser_initialize(&parser) == 0)
    return false;
  yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
  yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()),
                               text.size());
  bool ended = false;
  while (!ended) {
    yaml_event_t event;
    if (yaml_parser_parse(&parser, &event) == 0)
      break;
    ended = event.type == YAML_STREAM_END_EVENT;
    yaml_event_delete(&event);
  }
  yaml_parser_delete(&parser);
  return ended;
}

void RegisterLibyamlEvents(const GeneratedDocument& document) {
  const std::string& text = document.yaml;
  RegisterCase(
      Name(document, "libyaml_events"),
      [&document, &text] {
        return Compare(StatsOfLibyamlEvents(text), LibyamlEventView(document.stats));
      },
      [&text](benchmark::State& state) {
        TimeLoop(state, text.size(), [&] { benchmark::DoNotOptimize(PullAllEvents(text)); });
      });
}

#ifdef DUL_BENCH_HAVE_YAML_CPP
void RegisterYamlCpp(const GeneratedDocument& document) {
  const std::string& text = document.yaml;
  RegisterCase(
      Name(document, "yaml_cpp"),
      [&document, &text] { return Compare(StatsOfYamlCpp(YAML::Load(text)), document.stats); },
      [&text](benchmark::State& state) {
        TimeLoop(state, text.size(), [&] {
          YAML::Node parsed = YAML::Load(text);
          benchmark::DoNotOptimize(parsed);
        });
      });
}
#endif

}  // namespace

void RegisterYamlBenchmarks() {
  for (const GeneratedDocument& document : Corpus()) {
    RegisterOurs(document);
    RegisterLibyamlEvents(document);
#ifdef DUL_BENCH_HAVE_YAML_CPP
    RegisterYamlCpp(document);
#endif
  }
}

}  // namespace dul::bench
