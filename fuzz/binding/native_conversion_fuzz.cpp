// Converts fuzzed values into the item-set records and back. The input is JSON, or MessagePack
// after a leading "m", or YAML after a leading "y". Nothing may crash; a refused value says why;
// a document that converts writes out as a value that converts back to the same document, also
// through the cache file's JSON and through the value record that crosses the host boundary.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/binding_value_record.h"
#include "binding/native_conversion.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "codecs/message_pack_reader.h"
#include "codecs/yaml_reader.h"
#include "plugin/item_sets_api.h"
#include "tests/plugin/item_sets_test_plugin.h"

namespace {

using Zorv::BindingProperty;
using Zorv::BindingResult;
using Zorv::BindingTypeRegistry;

Zorv::BindingResult Decode(std::string_view input) {
  if (input.starts_with('m')) {
    input.remove_prefix(1);
    Zorv::MessagePackReadResult read =
        Zorv::ReadMessagePack(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    return std::move(read.result);
  }
  if (input.starts_with('y'))
    return Zorv::ParseYaml(input.substr(1));
  return Zorv::ParseJson(input);
}

// `carried` (the document's value `written`, or what carried it came back as) must convert to a
// document whose own value is `written` again.
template <class Document>
void RequireConvertsBack(const BindingProperty& carried, const BindingProperty& written,
                         const BindingTypeRegistry& registry) {
  BindingResult read;
  Document again;
  Zorv::FromBinding(read, again, carried, "document", registry);
  if (!read.ok())
    __builtin_trap();
  const BindingResult rewritten = Zorv::SerializeToBinding(again, registry);
  if (!rewritten.ok() || !(rewritten.value() == written))
    __builtin_trap();
}

template <class Document>
void Convert(const BindingProperty& input, const BindingTypeRegistry& registry) {
  BindingResult read;
  Document document;
  Zorv::FromBinding(read, document, input, "document", registry);
  if (!read.ok()) {
    if (read.ErrorText().empty())
      __builtin_trap();
    return;
  }
  const BindingResult written = Zorv::SerializeToBinding(document, registry);
  if (!written.ok())
    __builtin_trap();
  RequireConvertsBack<Document>(written.value(), written.value(), registry);

  const BindingResult fromFile =
      Zorv::ParseJson(Zorv::WriteJson(written.value(), &registry, nullptr));
  if (!fromFile.ok())
    __builtin_trap();
  RequireConvertsBack<Document>(fromFile.value(), written.value(), registry);

  DulBindingValueRecord record = Zorv::MakeValueRecord(written.value(), &registry);
  BindingResult crossed;
  Zorv::ReadValueRecord(crossed, record, "document");
  Zorv::ClearValueRecord(record);
  if (!crossed.ok())
    __builtin_trap();
  RequireConvertsBack<Document>(crossed.value(), written.value(), registry);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static dul::testing::ItemSetTypesPlugin plugin;
  const BindingResult decoded = Decode(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!decoded.ok())
    return 0;
  Convert<Zorv::Client::ItemSets::Api::ItemSets>(decoded.value(), plugin.typeRegistry());
  Convert<Zorv::Client::ItemSets::Api::ItemSet>(decoded.value(), plugin.typeRegistry());
  return 0;
}
