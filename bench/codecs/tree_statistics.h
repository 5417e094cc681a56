// Walks of each contender's parsed tree to the same DocumentStats, so that a benchmark can prove,
// before it times anything, that every contender built the whole document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <rapidjson/document.h>

#include "bench/codecs/document_generator.h"
#include "binding/binding_property.h"

#ifdef DUL_BENCH_HAVE_NLOHMANN_JSON
#include <nlohmann/json.hpp>
#endif
#ifdef DUL_BENCH_HAVE_SIMDJSON
#include <simdjson.h>
#endif
#ifdef DUL_BENCH_HAVE_MSGPACK
#include <msgpack.hpp>
#endif
#ifdef DUL_BENCH_HAVE_YAML_CPP
#include <yaml-cpp/yaml.h>
#endif

namespace dul::bench {

DocumentStats StatsOfBinding(const Zorv::BindingProperty& value);
DocumentStats StatsOfRapidJson(const rapidjson::Value& value);
// RapidJSON's reader into a counting handler, with or without full-precision numbers.
DocumentStats StatsOfRapidJsonEvents(const char* text, bool fullPrecision);
// libyaml's events of `text`, counted: arrays, objects and scalars (in `strings`; keys too).
DocumentStats StatsOfLibyamlEvents(std::string_view text);
// What StatsOfLibyamlEvents gives for a document of these statistics.
DocumentStats LibyamlEventView(const DocumentStats& stats);

#ifdef DUL_BENCH_HAVE_NLOHMANN_JSON
DocumentStats StatsOfNlohmann(const nlohmann::json& value);
#endif
#ifdef DUL_BENCH_HAVE_SIMDJSON
DocumentStats StatsOfSimdjson(simdjson::dom::element value);
#endif
#ifdef DUL_BENCH_HAVE_MSGPACK
DocumentStats StatsOfMsgpack(const msgpack::object& value);
#endif
#ifdef DUL_BENCH_HAVE_YAML_CPP
// Scalars are typed as the block YAML of the generator writes them: quoted ones are strings,
// plain ones null, true, false or numbers.
DocumentStats StatsOfYamlCpp(const YAML::Node& value);
#endif

}  // namespace dul::bench
