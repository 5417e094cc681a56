#include "codecs/json_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/reader.h>

#include "codecs/json_allocator.h"

namespace Zorv {
namespace {

using JsonReader =
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, JsonCountingAllocator>;
using rapidjson::SizeType;

// Numbers are read to the nearest double, so that what the writer prints reads back unchanged.
// Strings are decoded in place, in the reader's own copy of the text, and stay there until the
// value is built.
constexpr unsigned kParseFlags = rapidjson::kParseDefaultFlags |
                                 rapidjson::kParseFullPrecisionFlag | rapidjson::kParseInsituFlag;
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

// Receives the reader's events and builds the value. Every value below the top is first built
// among the pending values, one run per open container, and placed when its container ends: an
// array's elements are appended at once, and an object's members, sorted by name, fill its
// structure in one pass. A pending value may move while later ones are added, so an open
// container among them is known by index, not by address. Member names stay where the in-place
// reader decoded them.
class TreeBuilder {
 public:
  TreeBuilder(BindingProperty& top, BindingProperty& pending) : top_(top), pending_(pending) {}

  bool Null() {
    // A member named with a null value exists (and leaves an earlier one of that name as it was).
    if (depth_ != 0)
      NewValue();
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
  bool StartObject() { return Open(false); }
  bool Key(const char* name, SizeType length, bool) {
    key_ = std::string_view(name, length);
    return true;
  }
  bool EndObject(SizeType) {
    const OpenContainer& open = open_[--depth_];
    PlaceMembers(ContainerOf(open), open.firstValue);
    return true;
  }
  bool StartArray() { return Open(true); }
  bool EndArray(SizeType) {
    const OpenContainer& open = open_[--depth_];
    ContainerOf(open).AppendElements(slots_.subspan(open.firstValue, count_ - open.firstValue));
    count_ = open.firstValue;
    return true;
  }

 private:
  struct OpenContainer {
    std::size_t index;       // its place among the pending values; kTop for the top value
    std::size_t firstValue;  // where its own pending values begin
  };
  // A member in sorting: the first 8 bytes of its name (big-endian, zero-padded), then its place
  // in members_.
  struct SortKey {
    std::uint64_t prefix;
    std::size_t index;
  };
  static constexpr std::size_t kTop = static_cast<std::size_t>(-1);

  bool Open(bool array) {
    if (depth_ == kMaxJsonDepth)
      return false;
    std::size_t index = kTop;
    if (depth_ != 0) {
      NewValue();
      index = count_ - 1;
    }
    const OpenContainer open{index, count_};
    if (array)
      ContainerOf(open).SetCollection();
    else
      ContainerOf(open).SetStructure();
    open_[depth_++] = open;
    return true;
  }
  BindingProperty& ContainerOf(const OpenContainer& open) {
    return open.index == kTop ? top_ : slots_[open.index];
  }
  // Where the next value goes: the top value, or a new pending value.
  BindingProperty& Slot() { return depth_ == 0 ? top_ : NewValue(); }
  // The next pending value, named by the last key (unused in an array): a slot left empty by an
  // earlier container, or a new one.
  BindingProperty& NewValue() {
    const std::size_t index = count_++;
    if (index == slots_.size()) {
      pending_.PushBack();
      slots_ = pending_.Elements();
      keys_.resize(slots_.size());
    }
    keys_[index] = key_;
    return slots_[index];
  }
  std::string_view NameOf(std::size_t index) const { return keys_[index]; }
  void PlaceMembers(BindingProperty& object, std::size_t first);
  bool SortMembers();
  void MergeRepeatedNames(BindingProperty& object, std::size_t first);

  BindingProperty& top_;
  BindingProperty& pending_;
  std::span<BindingProperty> slots_;    // pending_'s elements, refreshed whenever it grows
  std::vector<std::string_view> keys_;  // the name of each pending value that is a member
  std::string_view key_;
  std::vector<SortKey> order_;
  std::vector<BindingMemberSource> members_;
  std::vector<BindingMemberSource> sorted_;
  std::size_t count_ = 0;
  std::size_t depth_ = 0;
  std::array<OpenContainer, kMaxJsonDepth> open_;
};

std::uint64_t NamePrefix(std::string_view name) {
  std::uint64_t prefix = 0;
  if (name.size() >= 8) {
    std::memcpy(&prefix, name.data(), 8);
    return std::endian::native == std::endian::little ? __builtin_bswap64(prefix) : prefix;
  }
  for (std::size_t i = 0; i < name.size(); ++i)
    prefix |= std::uint64_t{static_cast<unsigned char>(name[i])} << (56 - 8 * i);
  return prefix;
}

// Byte order of names; most neighbours differ in their first byte.
bool NameBefore(std::string_view a, std::string_view b) {
  if (!a.empty() && !b.empty() && a[0] != b[0])
    return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
  return a < b;
}

// Names in document order are often sorted already (as our writer gives them); otherwise they are
// sorted, and a name given twice sends the object through the merging path.
void TreeBuilder::PlaceMembers(BindingProperty& object, std::size_t first) {
  members_.clear();
  bool sorted = true;
  for (std::size_t index = first; index < count_; ++index) {
    sorted = sorted && (index == first || NameBefore(keys_[index - 1], keys_[index]));
    members_.push_back({keys_[index], &slots_[index]});
  }
  if (!sorted && !SortMembers())
    return MergeRepeatedNames(object, first);
  object.AssignMembers(members_);
  count_ = first;
}

// Sorts members_ by name; false when a name is there twice.
bool TreeBuilder::SortMembers() {
  order_.clear();
  for (std::size_t i = 0; i < members_.size(); ++i)
    order_.push_back({NamePrefix(members_[i].name), i});
  std::sort(order_.begin(), order_.end(), [this](const SortKey& a, const SortKey& b) {
    if (a.prefix != b.prefix)
      return a.prefix < b.prefix;
    const int order = members_[a.index].name.compare(members_[b.index].name);
    return order != 0 ? order < 0 : a.index < b.index;
  });
  sorted_.clear();
  for (const SortKey& key : order_) {
    const BindingMemberSource& member = members_[key.index];
    if (!sorted_.empty() && sorted_.back().name == member.name)
      return false;
    sorted_.push_back(member);
  }
  members_.swap(sorted_);
  return true;
}

// A later value of a name merges into the earlier one: a scalar replaces it, a null leaves it, an
// object merges member by member and an array appends its elements.
void MergeInto(BindingProperty& target, BindingProperty& source) {
  switch (source.Kind()) {
    case BindingPropertyKind::kEmpty:
      return;
    case BindingPropertyKind::kStructure:
      target.SetStructure();
      for (const auto& [name, value] : source.Members())
        MergeInto(target.Member(name), value);
      return;
    case BindingPropertyKind::kCollection:
      target.AppendElements(source.Elements());
      return;
    default:
      target = std::move(source);
  }
}

void TreeBuilder::MergeRepeatedNames(BindingProperty& object, std::size_t first) {
  for (std::size_t index = first; index < count_; ++index) {
    MergeInto(object.Member(NameOf(index)), slots_[index]);
    slots_[index].Clear();
  }
  count_ = first;
}

// Reads the text into `top`, with the scratch collection `pending` in the same storage.
rapidjson::ParseResult ReadInto(BindingProperty& top, BindingProperty& pending,
                                rapidjson::InsituStringStream& stream) {
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
  const std::size_t size = length == kNoLength ? std::strlen(text) : length;
  const std::unique_ptr<char[]> copy(new char[size + 1]);
  std::memcpy(copy.get(), text, size + 1);  // with the terminator
  rapidjson::InsituStringStream stream(copy.get());
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
