#include "runtime/argument_binding.h"

#include <cstddef>
#include <span>

#include "binding/binding_type_descriptor.h"
#include "codecs/json_reader.h"
#include "codecs/message_pack_reader.h"
#include "codecs/yaml_reader.h"
#include "foundation/ascii_case.h"
#include "foundation/fnv1a.h"
#include "foundation/format_text.h"

namespace dul {
namespace {

using Zorv::BindingProperty;
using Zorv::BindingResult;
using Zorv::BindingTypeKind;
using Zorv::BindingTypeShape;

enum class TextCodec { kString, kBlob, kMessagePack, kJson, kYaml };

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::string_view SkipBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

bool IsStructuredShape(BindingTypeKind kind) {
  return kind == BindingTypeKind::kObject || kind == BindingTypeKind::kVector ||
         kind == BindingTypeKind::kStruct;
}

TextCodec SniffCodec(std::string_view text) {
  if (text.empty())
    return TextCodec::kString;
  const auto first = static_cast<unsigned char>(text[0]);
  if ((first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF))
    return TextCodec::kMessagePack;
  const std::string_view rest = SkipBlanks(text);
  if (!rest.empty() && (rest[0] == '{' || rest[0] == '['))
    return TextCodec::kJson;
  if (rest.starts_with("---"))
    return TextCodec::kYaml;
  return TextCodec::kString;
}

TextCodec ArgumentCodec(std::string_view text, std::string_view contentType,
                        BindingTypeKind shape) {
  if (StartsWithNoCase(contentType, "application/x-msgpack"))
    return TextCodec::kMessagePack;
  if (StartsWithNoCase(contentType, "application/json"))
    return TextCodec::kJson;
  if (StartsWithNoCase(contentType, "text/x-yaml"))
    return TextCodec::kYaml;
  if (StartsWithNoCase(contentType, "application/octet-stream"))
    return TextCodec::kBlob;
  if (contentType.empty() && IsStructuredShape(shape))
    return SniffCodec(text);
  return TextCodec::kString;
}

void FailDecoding(BindingResult& result, std::string_view codecName, std::string_view message,
                  std::string_view argumentName, std::string_view functionName) {
  const std::string format =
      "Couldn't deserialize " + std::string(codecName) + " value for parameter '%1' of '%2': %3";
  result.SetError(FormatText(format, argumentName, functionName, message));
}

// Reads one MessagePack value; `trailingBytes` receives what follows it.
BindingProperty ReadOneMessagePack(BindingResult& result, std::string_view text,
                                   std::string_view argumentName, std::string_view functionName,
                                   std::string_view* trailingBytes) {
  Zorv::MessagePackReadResult read =
      Zorv::ReadMessagePack(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  if (!read.result.ok()) {
    FailDecoding(result, "MessagePack", read.result.ErrorText(), argumentName, functionName);
    return {};
  }
  *trailingBytes = text.substr(read.consumed);
  return read.result.TakeValue();
}

BindingProperty DecodeText(BindingResult& result, TextCodec codec, std::string_view text,
                           std::string_view argumentName, std::string_view functionName) {
  BindingResult parsed;
  switch (codec) {
    case TextCodec::kString:
      return BindingProperty(text);
    case TextCodec::kBlob:
      return BindingProperty(std::span<const std::uint8_t>(
          reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    case TextCodec::kMessagePack: {
      std::string_view trailing;
      BindingProperty value =
          ReadOneMessagePack(result, text, argumentName, functionName, &trailing);
      if (result.ok() && !trailing.empty())
        result.SetError(FormatText("Extra MessagePack data found in argument '%1' of '%2'",
                                   argumentName, functionName));
      return value;
    }
    case TextCodec::kJson:
      parsed = Zorv::ParseJson(text);
      if (!parsed.ok())
        FailDecoding(result, "JSON", parsed.ErrorText(), argumentName, functionName);
      break;
    case TextCodec::kYaml:
      parsed = Zorv::ParseYaml(text);
      if (!parsed.ok())
        FailDecoding(result, "YAML", parsed.ErrorText(), argumentName, functionName);
      break;
  }
  return result.ok() ? parsed.TakeValue() : BindingProperty();
}

// The shape of what a sub-path part selects inside a value of `shape`.
BindingTypeShape ElementShape(const BindingTypeShape& shape) {
  if (shape.kind != BindingTypeKind::kVector && shape.kind != BindingTypeKind::kMap)
    return {};
  return BindingTypeShape{shape.elementKind, BindingTypeKind::kNone, shape.referenced};
}

BindingTypeShape MemberShape(const BindingTypeShape& shape, std::string_view name) {
  if (shape.kind == BindingTypeKind::kMap)
    return ElementShape(shape);
  if (shape.kind != BindingTypeKind::kStruct || shape.referenced == nullptr)
    return {};
  for (const Zorv::BindingFieldDescriptor& field : shape.referenced->fields) {
    if (field.name == name)
      return field.shape;
  }
  return {};
}

// A collection is indexed when the shape says so, or, where the shape is open, when the value
// already is one.
bool SelectsElement(const BindingTypeShape& shape, const BindingProperty& value) {
  if (shape.kind == BindingTypeKind::kVector)
    return true;
  const bool open = shape.kind == BindingTypeKind::kNone || shape.kind == BindingTypeKind::kObject;
  return open && value.Kind() == Zorv::BindingPropertyKind::kCollection;
}

enum class IndexParse { kOk, kBadFormat, kTooLarge };

IndexParse ParseIndex(std::string_view text, std::size_t& index) {
  if (text.empty())
    return IndexParse::kBadFormat;
  index = 0;
  bool tooLarge = false;
  for (const char c : text) {
    if (c < '0' || c > '9')
      return IndexParse::kBadFormat;
    const std::size_t digit = static_cast<std::size_t>(c - '0');
    if (index > (SIZE_MAX - digit) / 10)
      tooLarge = true;
    else
      index = index * 10 + digit;
  }
  return tooLarge ? IndexParse::kTooLarge : IndexParse::kOk;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      decoded.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
               HexDigitValue(text[i + 2]) >= 0) {
      decoded.push_back(
          static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2])));
      i += 2;
    } else {
      decoded.push_back(c);
    }
  }
  return decoded;
}

BindingProperty DecodeBody(BindingResult& result, std::string_view bytes,
                           std::string_view contentType, std::string_view argumentName,
                           std::string_view functionName) {
  if (!result.ok())
    return {};
  if (StartsWithNoCase(contentType, "application/x-msgpack")) {
    std::string_view trailing;
    BindingProperty value =
        ReadOneMessagePack(result, bytes, argumentName, functionName, &trailing);
    if (result.ok() && !trailing.empty())
      result.SetError("Extra MessgePack data found in body");
    return value;
  }
  if (StartsWithNoCase(contentType, "application/json") ||
      StartsWithNoCase(contentType, "application/vnd.api+json"))
    return DecodeText(result, TextCodec::kJson, bytes, argumentName, functionName);
  if (StartsWithNoCase(contentType, "application/x-yaml"))
    return DecodeText(result, TextCodec::kYaml, bytes, argumentName, functionName);
  result.SetError("Unsupported body content type");
  return {};
}

ArgumentBinder::ArgumentBinder(std::string_view functionName,
                               std::span<const ArgumentDescriptor> arguments)
    : functionName_(functionName), arguments_(arguments), values_(arguments.size()) {}

void ArgumentBinder::PresetFlags() {
  for (std::size_t i = 0; i < arguments_.size(); ++i) {
    if (arguments_[i].shape.kind == BindingTypeKind::kBool && !arguments_[i].optional)
      values_[i] = false;
  }
}

const ArgumentDescriptor* ArgumentBinder::Find(std::string_view name, std::size_t& index) const {
  const std::uint32_t hash = Fnv1a(name);
  for (index = 0; index < arguments_.size(); ++index) {
    if (arguments_[index].nameHash == hash && arguments_[index].name == name)
      return &arguments_[index];
  }
  return nullptr;
}

const ArgumentDescriptor* ArgumentBinder::BodyArgument() const {
  for (const ArgumentDescriptor& argument : arguments_) {
    if (argument.location == ArgumentLocation::kBody)
      return &argument;
  }
  return nullptr;
}

void ArgumentBinder::BindText(BindingResult& result, std::string_view key, std::string_view text,
                              std::string_view contentType, ArgumentLocation from) {
  if (!result.ok())
    return;
  const std::size_t dot = key.find('.');
  const std::string_view name = key.substr(0, dot);
  const std::string_view subPath =
      dot == std::string_view::npos ? std::string_view() : key.substr(dot + 1);
  std::size_t index = 0;
  const ArgumentDescriptor* argument = Find(name, index);
  if (argument == nullptr)
    return result.SetError(FormatText("Unknown argument '%1' for '%2'.", name, functionName_));
  if (argument->location != ArgumentLocation::kAny && argument->location != from)
    return result.SetError(FormatText(
        "Argument '%1' for '%2' was specified in an invalid location.", name, functionName_));
  if (subPath.empty())
    BindWhole(result, index, text, contentType);
  else
    BindInside(result, index, subPath, text, contentType);
}

void ArgumentBinder::BindWhole(BindingResult& result, std::size_t index, std::string_view text,
                               std::string_view contentType) {
  const ArgumentDescriptor& argument = arguments_[index];
  BindingProperty& value = values_[index];
  if (text.empty()) {
    switch (argument.shape.kind) {
      case BindingTypeKind::kBool:
        value = true;  // a bare flag
        return;
      case BindingTypeKind::kObject:
      case BindingTypeKind::kStruct:
        value.Clear();
        value.SetStructure();
        return;
      case BindingTypeKind::kVector:
        value.Clear();
        value.SetCollection();
        return;
      default:
        return result.SetError(FormatText("Expected value for argument '%1'.", argument.name));
    }
  }
  const TextCodec codec = ArgumentCodec(text, contentType, argument.shape.kind);
  BindingProperty decoded = DecodeText(result, codec, text, argument.name, functionName_);
  if (result.ok())
    value = std::move(decoded);
}

// Walks the sub-path part by part: a collection part is a decimal index of an existing element,
// any other part a member name (created when missing). The text is decoded for the shape found
// at the end, when the argument's registered type tells it.
void ArgumentBinder::BindInside(BindingResult& result, std::size_t index, std::string_view subPath,
                                std::string_view text, std::string_view contentType) {
  const ArgumentDescriptor& argument = arguments_[index];
  BindingProperty* current = &values_[index];
  BindingTypeShape shape = argument.shape;
  while (true) {
    const std::size_t dot = subPath.find('.');
    const std::string_view part = subPath.substr(0, dot);
    if (SelectsElement(shape, *current)) {
      std::size_t element = 0;
      const IndexParse parsed = ParseIndex(part, element);
      if (parsed == IndexParse::kBadFormat)
        return result.SetError(FormatText("Index %1 is in an incorrect format", part));
      if (parsed == IndexParse::kTooLarge ||
          current->Kind() != Zorv::BindingPropertyKind::kCollection || element >= current->Size())
        return result.SetError(FormatText("Index %1 is out of range", part));
      current = &current->At(element);
      shape = ElementShape(shape);
    } else {
      current = &current->Member(part);
      shape = MemberShape(shape, part);
    }
    if (dot == std::string_view::npos)
      break;
    subPath.remove_prefix(dot + 1);
  }
  const TextCodec codec = ArgumentCodec(text, contentType, shape.kind);
  BindingProperty decoded = DecodeText(result, codec, text, argument.name, functionName_);
  if (result.ok())
    *current = std::move(decoded);
}

void ArgumentBinder::BindBody(BindingResult& result, BindingProperty body) {
  if (!result.ok())
    return;
  for (std::size_t i = 0; i < arguments_.size(); ++i) {
    if (arguments_[i].location == ArgumentLocation::kBody) {
      values_[i] = std::move(body);
      return;
    }
  }
}

}  // namespace dul
