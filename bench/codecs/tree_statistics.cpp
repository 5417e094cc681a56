#include "bench/codecs/tree_statistics.h"

#include <yaml.h>

#include <charconv>
#include <string>

#include <rapidjson/reader.h>

namespace dul::bench {
namespace {

void AddInteger(DocumentStats& stats, std::uint64_t bits) {
  ++stats.integers;
  stats.integerSum += bits;
}

void AddFloat(DocumentStats& stats, double value) {
  ++stats.floats;
  stats.floatSum += value;
}

void AddString(DocumentStats& stats, std::size_t bytes) {
  ++stats.strings;
  stats.stringBytes += bytes;
}

void AddBool(DocumentStats& stats, bool value) {
  ++stats.bools;
  stats.trues += value ? 1 : 0;
}

void AddArray(DocumentStats& stats, std::size_t elements) {
  ++stats.arrays;
  stats.elements += elements;
}

void AddObject(DocumentStats& stats, std::size_t members) {
  ++stats.objects;
  stats.members += members;
}

void WalkBinding(DocumentStats& stats, const Zorv::BindingProperty& value) {
  using Zorv::BindingPropertyKind;
  switch (value.Kind()) {
    case BindingPropertyKind::kEmpty:
      ++stats.nulls;
      return;
    case BindingPropertyKind::kBool:
      return AddBool(stats, value.GetBool(false));
    case BindingPropertyKind::kSigned:
      return AddInteger(stats, static_cast<std::uint64_t>(value.GetSigned(0)));
    case BindingPropertyKind::kUnsigned:
      return AddInteger(stats, value.GetUnsigned(0));
    case BindingPropertyKind::kFloat:
      return AddFloat(stats, value.GetDouble(0));
    case BindingPropertyKind::kString:
      return AddString(stats, value.GetString().size());
    case BindingPropertyKind::kCollection:
      AddArray(stats, value.Size());
      for (const Zorv::BindingProperty& element : value.Elements())
        WalkBinding(stats, element);
      return;
    case BindingPropertyKind::kStructure:
      AddObject(stats, value.Size());
      for (const auto& [name, member] : value.Members()) {
        stats.keyBytes += name.size();
        WalkBinding(stats, member);
      }
      return;
    default:
      return;  // blobs and enums never come out of a reader
  }
}

void WalkRapidJson(DocumentStats& stats, const rapidjson::Value& value) {
  if (value.IsNull()) {
    ++stats.nulls;
  } else if (value.IsBool()) {
    AddBool(stats, value.GetBool());
  } else if (value.IsUint64()) {
    AddInteger(stats, value.GetUint64());
  } else if (value.IsInt64()) {
    AddInteger(stats, static_cast<std::uint64_t>(value.GetInt64()));
  } else if (value.IsDouble()) {
    AddFloat(stats, value.GetDouble());
  } else if (value.IsString()) {
    AddString(stats, value.GetStringLength());
  } else if (value.IsArray()) {
    AddArray(stats, value.Size());
    for (const rapidjson::Value& element : value.GetArray())
      WalkRapidJson(stats, element);
  } else {
    AddObject(stats, value.MemberCount());
    for (const auto& member : value.GetObject()) {
      stats.keyBytes += member.name.GetStringLength();
      WalkRapidJson(stats, member.value);
    }
  }
}

struct CountingHandler : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, CountingHandler> {
  DocumentStats stats;

  bool Null() { return ++stats.nulls, true; }
  bool Bool(bool value) { return AddBool(stats, value), true; }
  bool Int(int value) { return Int64(value); }
  bool Uint(unsigned value) { return Uint64(value); }
  bool Int64(std::int64_t value) {
    return AddInteger(stats, static_cast<std::uint64_t>(value)), true;
  }
  bool Uint64(std::uint64_t value) { return AddInteger(stats, value), true; }
  bool Double(double value) { return AddFloat(stats, value), true; }
  bool String(const char*, rapidjson::SizeType length, bool) {
    return AddString(stats, length), true;
  }
  bool Key(const char*, rapidjson::SizeType length, bool) { return stats.keyBytes += length, true; }
  bool EndObject(rapidjson::SizeType members) { return AddObject(stats, members), true; }
  bool EndArray(rapidjson::SizeType elements) { return AddArray(stats, elements), true; }
};

}  // namespace

DocumentStats StatsOfBinding(const Zorv::BindingProperty& value) {
  DocumentStats stats;
  WalkBinding(stats, value);
  return stats;
}

DocumentStats StatsOfRapidJson(const rapidjson::Value& value) {
  DocumentStats stats;
  WalkRapidJson(stats, value);
  return stats;
}

DocumentStats StatsOfRapidJsonEvents(const char* text, bool fullPrecision) {
  CountingHandler handler;
  rapidjson::Reader reader;
  rapidjson::StringStream stream(text);
  if (fullPrecision)
    reader.Parse<rapidjson::kParseFullPrecisionFlag>(stream, handler);
  else
    reader.Parse(stream, handler);
  return reader.HasParseError() ? DocumentStats{} : handler.stats;
}

DocumentStats StatsOfLibyamlEvents(std::string_view text) {
  DocumentStats stats;
  yaml_parser_t parser;
  yaml_parser_initialize(&parser);
  yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()),
                               text.size());
  for (bool done = false; !done;) {
    yaml_event_t event;
    if (yaml_parser_parse(&parser, &event) == 0)
      break;
    done = event.type == YAML_STREAM_END_EVENT;
    stats.arrays += event.type == YAML_SEQUENCE_START_EVENT ? 1 : 0;
    stats.objects += event.type == YAML_MAPPING_START_EVENT ? 1 : 0;
    stats.strings += event.type == YAML_SCALAR_EVENT ? 1 : 0;
    yaml_event_delete(&event);
  }
  yaml_parser_delete(&parser);
  return stats;
}

DocumentStats LibyamlEventView(const DocumentStats& stats) {
  DocumentStats view;
  view.arrays = stats.arrays;
  view.objects = stats.objects;
  view.strings =
      stats.nulls + stats.bools + stats.integers + stats.floats + stats.strings + stats.members;
  return view;
}

#ifdef DUL_BENCH_HAVE_NLOHMANN_JSON
DocumentStats StatsOfNlohmann(const nlohmann::json& value) {
  DocumentStats stats;
  const auto walk = [&stats](const nlohmann::json& node, const auto& self) -> void {
    using Type = nlohmann::json::value_t;
    switch (node.type()) {
      case Type::null:
        ++stats.nulls;
        return;
      case Type::boolean:
        return AddBool(stats, node.get<bool>());
      case Type::number_unsigned:
        return AddInteger(stats, node.get<std::uint64_t>());
      case Type::number_integer:
        return AddInteger(stats, static_cast<std::uint64_t>(node.get<std::int64_t>()));
      case Type::number_float:
        return AddFloat(stats, node.get<double>());
      case Type::string:
        return AddString(stats, node.get_ref<const std::string&>().size());
      case Type::array:
        AddArray(stats, node.size());
        for (const nlohmann::json& element : node)
          self(element, self);
        return;
      case Type::object:
        AddObject(stats, node.size());
        for (const auto& [name, member] : node.items()) {
          stats.keyBytes += name.size();
          self(member, self);
        }
        return;
      default:
        return;
    }
  };
  walk(value, walk);
  return stats;
}
#endif

#ifdef DUL_BENCH_HAVE_SIMDJSON
DocumentStats StatsOfSimdjson(simdjson::dom::element value) {
  DocumentStats stats;
  const auto walk = [&stats](simdjson::dom::element node, const auto& self) -> void {
    using Type = simdjson::dom::element_type;
    switch (node.type()) {
      case Type::NULL_VALUE:
        ++stats.nulls;
        return;
      case Type::BOOL:
        return AddBool(stats, node.get_bool().value_unsafe());
      case Type::UINT64:
        return AddInteger(stats, node.get_uint64().value_unsafe());
      case Type::INT64:
        return AddInteger(stats, static_cast<std::uint64_t>(node.get_int64().value_unsafe()));
      case Type::DOUBLE:
        return AddFloat(stats, node.get_double().value_unsafe());
      case Type::STRING:
        return AddString(stats, node.get_string_length().value_unsafe());
      case Type::ARRAY: {
        const simdjson::dom::array array = node.get_array().value_unsafe();
        AddArray(stats, array.size());
        for (simdjson::dom::element element : array)
          self(element, self);
        return;
      }
      case Type::OBJECT: {
        const simdjson::dom::object object = node.get_object().value_unsafe();
        AddObject(stats, object.size());
        for (const simdjson::dom::key_value_pair member : object) {
          stats.keyBytes += member.key.size();
          self(member.value, self);
        }
        return;
      }
    }
  };
  walk(value, walk);
  return stats;
}
#endif

#ifdef DUL_BENCH_HAVE_MSGPACK
DocumentStats StatsOfMsgpack(const msgpack::object& value) {
  DocumentStats stats;
  const auto walk = [&stats](const msgpack::object& node, const auto& self) -> void {
    switch (node.type) {
      case msgpack::type::NIL:
        ++stats.nulls;
        return;
      case msgpack::type::BOOLEAN:
        return AddBool(stats, node.via.boolean);
      case msgpack::type::POSITIVE_INTEGER:
        return AddInteger(stats, node.via.u64);
      case msgpack::type::NEGATIVE_INTEGER:
        return AddInteger(stats, static_cast<std::uint64_t>(node.via.i64));
      case msgpack::type::FLOAT32:
      case msgpack::type::FLOAT64:
        return AddFloat(stats, node.via.f64);
      case msgpack::type::STR:
        return AddString(stats, node.via.str.size);
      case msgpack::type::ARRAY:
        AddArray(stats, node.via.array.size);
        for (std::uint32_t i = 0; i < node.via.array.size; ++i)
          self(node.via.array.ptr[i], self);
        return;
      case msgpack::type::MAP:
        AddObject(stats, node.via.map.size);
        for (std::uint32_t i = 0; i < node.via.map.size; ++i) {
          stats.keyBytes += node.via.map.ptr[i].key.via.str.size;
          self(node.via.map.ptr[i].val, self);
        }
        return;
      default:
        return;
    }
  };
  walk(value, walk);
  return stats;
}
#endif

#ifdef DUL_BENCH_HAVE_YAML_CPP
namespace {

template <typename Number>
bool ReadsWhole(const std::string& text, Number& number) {
  const char* end = text.data() + text.size();
  const std::from_chars_result read = std::from_chars(text.data(), end, number);
  return read.ec == std::errc() && read.ptr == end;
}

void AddYamlScalar(DocumentStats& stats, const YAML::Node& node) {
  const std::string& text = node.Scalar();
  std::uint64_t unsignedValue = 0;
  std::int64_t signedValue = 0;
  double floatValue = 0;
  if (node.Tag() == "!")
    AddString(stats, text.size());
  else if (text == "null" || text == "~" || text.empty())
    ++stats.nulls;
  else if (text == "true" || text == "false")
    AddBool(stats, text == "true");
  else if (ReadsWhole(text, unsignedValue))
    AddInteger(stats, unsignedValue);
  else if (ReadsWhole(text, signedValue))
    AddInteger(stats, static_cast<std::uint64_t>(signedValue));
  else if (ReadsWhole(text, floatValue))
    AddFloat(stats, floatValue);
  else
    AddString(stats, text.size());
}

void WalkYamlCpp(DocumentStats& stats, const YAML::Node& node) {
  switch (node.Type()) {
    case YAML::NodeType::Null:
      ++stats.nulls;
      return;
    case YAML::NodeType::Scalar:
      return AddYamlScalar(stats, node);
    case YAML::NodeType::Sequence:
      AddArray(stats, node.size());
      for (const YAML::Node& element : node)
        WalkYamlCpp(stats, element);
      return;
    case YAML::NodeType::Map:
      AddObject(stats, node.size());
      for (const auto& member : node) {
        stats.keyBytes += member.first.Scalar().size();
        WalkYamlCpp(stats, member.second);
      }
      return;
    default:
      return;
  }
}

}  // namespace

DocumentStats StatsOfYamlCpp(const YAML::Node& value) {
  DocumentStats stats;
  WalkYamlCpp(stats, value);
  return stats;
}
#endif

}  // namespace dul::bench
