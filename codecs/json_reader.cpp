#include "codecs/json_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include <rapidjson/reader.h>

#include "codecs/json_allocator.h"

namespace Zorv {
namespace {

using JsonReader =
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, JsonCountingAllocator>;
using rapidjson::SizeType;

// Numbers are read to the nearest double, so that what the writer prints reads back unchanged.
constexpr unsigned kParseFlags = rapidjson::kParseDefaultFlags | rapidjson::kParseFullPrecisionFlag;
constexpr std::size_t kNoLength = static_cast<std::size_t>(-1);
constexpr std::size_t kReaderStackBytes = 1024;

// The reader's error texts, by its error number.
constexpr std::string_view kErrorTexts[] = {
    "No error.",
    "The document is empty.",
    "The document root must not follow by other values.",
    "Invalid value.",
    "Missing a name for object member.",
    "Missing a colon after a name of object member.",
    "Missing a comma or '}' after an object member.",
    "Missing a comma or ']' after an array element.",
    "Incorrect hex digit after \\u escape in string.",
    "The surrogate pair in string is invalid.",
    "Invalid escape character in string.",
    "Missing a closing quotation mark in string.",
    "Invalid encoding in string.",
    "Number too big to be stored in double.",
    "Miss fraction part in number.",
    "Miss exponent in number.",
    "Terminate parsing due to Handler error.",
    "Unspecific syntax error.",
};

std::string ErrorMessage(rapidjson::ParseErrorCode code, std::size_t offset) {
  const auto number = static_cast<std::size_t>(code);
  const std::string_view text =
      number < std::size(kErrorTexts) ? kErrorTexts[number] : std::string_view("Unknown error.");
  std::string message = "Error: ";
  message.append(text);
  message.append(" at offset ");
  message.append(std::to_string(offset));
  message.push_back('.');
  return message;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// Receives the reader's events and builds the value in place. Members are created in their
// structure at once (a member's address never changes). Array elements are first built in a
// collection of pending elements, one run per open array, and moved into their array when it
// ends: each array is then allocated once at its final size. A pending element may move while
// later ones are added, so an open container among them is known by index, not by address.
class TreeBuilder {
 public:
  TreeBuilder(BindingProperty& top, BindingProperty& pending) : target_(&top), pending_(pending) {}

  bool Null() {
    // In an object a null leaves the member as it was; at the top the value is already empty.
    if (InArray())
      NewElement();
    return true;
  }
  bool Bool(bool value) {
    Slot().SetBool(value);
    return true;
  }
  bool Int(int value) {
    Slot().SetSigned(value);
    return true;
  }
  bool Uint(unsigned value) {
    Slot().SetUnsigned(value);
    return true;
  }
  bool Int64(std::int64_t value) {
    Slot().SetSigned(value);
    return true;
  }
  bool Uint64(std::uint64_t value) {
    Slot().SetUnsigned(value);
    return true;
  }
  bool Double(double value) {
    Slot().SetDouble(value);
    return true;
  }
  bool RawNumber(const char*, SizeType, bool) { return false; }  // not requested by our flags
  bool String(const char* text, SizeType length, bool) {
    Slot().SetString(std::string_view(text, length));
    return true;
  }
  bool StartObject() {
    if (depth_ == kMaxJsonDepth)
      return false;
    OpenContainer open = OpenSlot();
    ContainerOf(open).SetStructure();  // an object repeated under one name merges into the first
    open_[depth_++] = open;
    return true;
  }
  bool Key(const char* name, SizeType length, bool) {
    target_ = &ContainerOf(open_[depth_ - 1]).Member(std::string_view(name, length));
    return true;
  }
  bool EndObject(SizeType) {
    --depth_;
    return true;
  }
  bool StartArray() {
    if (depth_ == kMaxJsonDepth)
      return false;
    OpenContainer open = OpenSlot();
    ContainerOf(open).SetCollection();  // an array repeated under one name appends to the first
    open.isArray = true;
    open.firstElement = pendingCount_;
    open_[depth_++] = open;
    return true;
  }
  bool EndArray(SizeType) {
    const OpenContainer& open = open_[--depth_];
    MoveElementsInto(ContainerOf(open), open.firstElement);
    return true;
  }

 private:
  struct OpenContainer {
    BindingProperty* placed;   // the container, when it is not a pending element
    std::size_t pendingIndex;  // otherwise its place among the pending elements
    std::size_t firstElement;  // for an array: where its own pending elements begin
    bool isArray;
  };

  bool InArray() const { return depth_ != 0 && open_[depth_ - 1].isArray; }
  BindingProperty& ContainerOf(const OpenContainer& open) {
    return open.placed != nullptr ? *open.placed : slots_[open.pendingIndex];
  }
  // Where the next value goes: a new element, or the member or top value chosen before.
  BindingProperty& Slot() { return InArray() ? NewElement() : *target_; }
  OpenContainer OpenSlot() {
    if (!InArray())
      return {target_, 0, 0, false};
    NewElement();
    return {nullptr, pendingCount_ - 1, 0, false};
  }
  // The next pending element: a slot left empty by an earlier array, or a new one.
  BindingProperty& NewElement() {
    const std::size_t index = pendingCount_++;
    if (index < slots_.size())
      return slots_[index];
    pending_.PushBack();
    slots_ = pending_.Elements();
    return slots_[index];
  }
  void MoveElementsInto(BindingProperty& array, std::size_t first) {
    const std::span<BindingProperty> elements = slots_.subspan(first, pendingCount_ - first);
    pendingCount_ = first;
    if (elements.empty())
      return;
    // Appending to a repeated member's array grows geometrically, so repeats stay linear.
    const std::size_t held = array.Size();
    array.Reserve(held == 0 ? elements.size() : std::max(held + elements.size(), held * 2));
    for (BindingProperty& element : elements)
      array.PushBack() = std::move(element);
  }

  BindingProperty* target_;
  BindingProperty& pending_;
  std::span<BindingProperty> slots_;  // pending_'s elements, refreshed whenever it grows
  std::size_t pendingCount_ = 0;
  std::size_t depth_ = 0;
  std::array<OpenContainer, kMaxJsonDepth> open_;
};

// Reads the text into `top`, with the scratch collection `pending` in the same storage.
rapidjson::ParseResult ReadInto(BindingProperty& top, BindingProperty& pending,
                                rapidjson::StringStream& stream) {
  TreeBuilder builder(top, pending);
  JsonCountingAllocator allocator;
  JsonReader reader(&allocator, kReaderStackBytes);
  return reader.Parse<kParseFlags>(stream, builder);
}

// `length` is the text's full length when known, so that an early NUL is caught.
BindingResult ParseText(const char* text, std::size_t length) {
  BindingResult result;
  if (text == nullptr)
    return result;
  const char* first = text;
  while (IsBlank(*first))
    ++first;
  const auto blanks = static_cast<std::size_t>(first - text);
  if (*first == '\0' && (length == kNoLength || blanks == length))
    return result;

  BindingProperty& value = result.ResetValue();
  rapidjson::StringStream stream(text);
  rapidjson::ParseResult parsed;
  if (*first == '[' || *first == '{') {
    // The value is built as the first element of the result, the pending elements as the
    // second, so that both share the result's storage and moving between them is cheap.
    value.Reserve(2);
    BindingProperty& top = value.PushBack();
    BindingProperty& pending = value.PushBack();
    pending.SetCollection();
    parsed = ReadInto(top, pending, stream);
    if (!parsed.IsError())
      value = std::move(top);
  } else {
    BindingProperty unused;  // a lone scalar holds no array elements
    parsed = ReadInto(value, unused, stream);
  }
  if (parsed.IsError())
    result.SetError(ErrorMessage(parsed.Code(), parsed.Offset()));
  else if (length != kNoLength && stream.Tell() != length)
    result.SetError(ErrorMessage(rapidjson::kParseErrorDocumentRootNotSingular, stream.Tell()));
  return result;
}

}  // namespace

BindingResult ParseJson(const char* text) {
  return ParseText(text, kNoLength);
}

BindingResult ParseJson(const std::string& text) {
  return ParseText(text.c_str(), text.size());
}

}  // namespace Zorv
