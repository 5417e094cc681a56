#include "codecs/json_reader.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <rapidjson/reader.h>

#include "codecs/json_allocator.h"
#include "codecs/pending_tree.h"

namespace Zorv {
namespace {

using JsonReader =
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, JsonCountingAllocator>;
using rapidjson::SizeType;

// Numbers come as their text and are read to the nearest double here (SetNumber), so that what
// the writer prints reads back unchanged: the reader's own full-precision conversion gets some
// numbers wrong ("0e300") and reads out of bounds on others. Strings are decoded in place, in
// the reader's own copy of the text, and stay there until the value is built.
constexpr unsigned kParseFlags = rapidjson::kParseDefaultFlags |
                                 rapidjson::kParseNumbersAsStringsFlag |
                                 rapidjson::kParseInsituFlag;
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

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Whether a number beyond the range of a double lies below it rather than above: its first
// significant digit stands left of the decimal point or right of it, after the exponent.
bool BelowRange(std::string_view text) {
  std::size_t at = text[0] == '-';
  std::int64_t position = 0;  // decimal exponent of the first significant digit, plus one
  if (text[at] != '0') {
    for (; at < text.size() && IsDigit(text[at]); ++at)
      ++position;
  } else if (++at < text.size() && text[at] == '.') {
    while (++at < text.size() && text[at] == '0')
      --position;
  }
  while (at < text.size() && text[at] != 'e' && text[at] != 'E')
    ++at;
  if (at == text.size())
    return position <= 0;
  const bool negative = text[++at] == '-';
  at += text[at] == '-' || text[at] == '+';
  std::int64_t exponent = 0;
  for (; at < text.size() && exponent < 1'000'000; ++at)
    exponent = exponent * 10 + (text[at] - '0');
  return position + (negative ? -exponent : exponent) <= 0;
}

// Reads a number the reader has held to the JSON grammar (and to magnitudes near a double's)
// into `target`: integers that fit 64 bits as such, the rest as the nearest double. False when
// the number is beyond the range of a double.
bool SetNumber(BindingProperty& target, std::string_view text) {
  const bool minus = text[0] == '-';
  std::size_t at = minus;
  std::uint64_t magnitude = 0;
  bool fits = true;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    const auto digit = static_cast<unsigned>(text[at] - '0');
    fits = fits && magnitude <= (UINT64_MAX - digit) / 10;
    magnitude = magnitude * 10 + digit;
  }
  if (at == text.size() && fits) {
    if (!minus) {
      target.SetUnsigned(magnitude);
      return true;
    }
    if (magnitude <= std::uint64_t{1} << 63) {
      target.SetSigned(static_cast<std::int64_t>(0 - magnitude));
      return true;
    }
  }
  double value = 0;
  const std::from_chars_result read =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (read.ec == std::errc::result_out_of_range) {
    if (!BelowRange(text))
      return false;
    value = minus ? -0.0 : 0.0;
  }
  target.SetDouble(value);
  return true;
}

// Receives the reader's events and hands them to a PendingTree. Member names stay where the
// in-place reader decoded them until the value is built.
class TreeBuilder {
 public:
  TreeBuilder(BindingProperty& top, BindingProperty& pending)
      : tree_(top, pending, RepeatedEmpty::kKeepsEarlier) {}

  bool Null() {
    // A member named with a null value exists (and leaves an earlier one of that name as it was).
    if (tree_.depth() != 0)
      tree_.Next();
    return true;
  }
  bool Bool(bool value) {
    tree_.Next().SetBool(value);
    return true;
  }
  // Numbers arrive as text (RawNumber); the reader never converts them itself.
  bool Int(int) { return false; }
  bool Uint(unsigned) { return false; }
  bool Int64(std::int64_t) { return false; }
  bool Uint64(std::uint64_t) { return false; }
  bool Double(double) { return false; }
  bool RawNumber(const char* text, SizeType length, bool) {
    tooBig_ = !SetNumber(tree_.Next(), std::string_view(text, length));
    return !tooBig_;
  }
  bool String(const char* text, SizeType length, bool) {
    tree_.Next().SetString(std::string_view(text, length));
    return true;
  }
  bool StartObject() { return Open(false); }
  bool Key(const char* name, SizeType length, bool) {
    tree_.Name(std::string_view(name, length));
    return true;
  }
  bool EndObject(SizeType) {
    tree_.Close();
    return true;
  }
  bool StartArray() { return Open(true); }
  bool EndArray(SizeType) {
    tree_.Close();
    return true;
  }
  bool tooBig() const { return tooBig_; }

 private:
  bool Open(bool array) {
    if (tree_.depth() == kMaxJsonDepth)
      return false;
    tree_.Open(array);
    return true;
  }

  PendingTree tree_;
  bool tooBig_ = false;  // stopped at a number beyond the range of a double
};

// Reads the text into `top`, with the scratch collection `pending` in the same storage.
rapidjson::ParseResult ReadInto(BindingProperty& top, BindingProperty& pending,
                                rapidjson::InsituStringStream& stream) {
  TreeBuilder builder(top, pending);
  JsonCountingAllocator allocator;
  JsonReader reader(&allocator, kReaderStackBytes);
  rapidjson::ParseResult result = reader.Parse<kParseFlags>(stream, builder);
  if (builder.tooBig())
    result.Set(rapidjson::kParseErrorNumberTooBig, result.Offset());  // at the number's start
  return result;
}

// `length` is the text's full length when known, so that an early NUL is caught.
BindingResult ParseText(const char* text, std::size_t length) {
  BindingResult result;
  if (text == nullptr)
    return result;
  const std::size_t size = length == kNoLength ? std::strlen(text) : length;
  const char* first = text;
  while (first != text + size && IsBlank(*first))
    ++first;
  if (first == text + size)
    return result;

  BindingProperty& value = result.ResetValue();
  const std::unique_ptr<char[]> copy(new char[size + 1]);
  std::memcpy(copy.get(), text, size);
  copy[size] = '\0';
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

BindingResult ParseJson(std::string_view text) {
  return ParseText(text.data(), text.size());
}

}  // namespace Zorv
