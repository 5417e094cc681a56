#include "codecs/json_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

#include <rapidjson/internal/dtoa.h>
#include <rapidjson/internal/itoa.h>

#include "binding/binding_type_registry.h"
#include "codecs/record_walk.h"
#include "codecs/value_walk.h"
#include "foundation/allocation_counters.h"
#include "foundation/base64.h"
#include "foundation/fatal_error.h"

namespace Zorv {
namespace {

constexpr std::size_t kFirstTextBytes = 1024;
constexpr std::size_t kLargestPieceBytes = 64 * 1024;
constexpr unsigned kIndentSpaces = 4;

// The writer's output. The first kilobyte is written straight into the string that is returned,
// so that short texts need no copy at the end. Beyond it the text goes into pieces that double up
// to 64 KiB (which reuse heap blocks instead of fresh pages), so that growing neither copies nor
// clears, and Finish joins them once into a string of the exact size. Writing is Reserve, then
// stores through the pointer it returns, then Advance to where they ended.
class TextSink {
 public:
  TextSink() {
    text_.resize(kFirstTextBytes);
    cursor_ = text_.data();
    end_ = cursor_ + text_.size();
  }
  ~TextSink() {
    for (const Piece& piece : pieces_)
      dul::CountingFree(piece.begin);
  }
  TextSink(const TextSink&) = delete;
  TextSink& operator=(const TextSink&) = delete;

  char* Reserve(std::size_t count) {
    if (static_cast<std::size_t>(end_ - cursor_) < count)
      Grow(count);
    return cursor_;
  }
  void Advance(char* written) { cursor_ = written; }

  std::string Finish();

 private:
  struct Piece {
    char* begin;
    std::size_t length;
  };

  void Grow(std::size_t count);
  void ClosePiece() {
    if (!pieces_.empty())
      pieces_.back().length = static_cast<std::size_t>(cursor_ - pieces_.back().begin);
  }

  std::string text_;           // the start of the text, its first kFirstTextBytes
  std::size_t textBytes_ = 0;  // the bytes of text_ in use, once pieces have begun
  std::vector<Piece> pieces_;  // what follows, in order; the last one is being written
  char* cursor_ = nullptr;
  char* end_ = nullptr;
};

void TextSink::Grow(std::size_t count) {
  std::size_t written;
  if (pieces_.empty()) {
    textBytes_ = static_cast<std::size_t>(cursor_ - text_.data());
    written = textBytes_;
  } else {
    ClosePiece();
    written = static_cast<std::size_t>(end_ - pieces_.back().begin) * 2;
  }
  const std::size_t size = std::max(std::min(written, kLargestPieceBytes), count);
  auto* piece = static_cast<char*>(dul::CountingAllocate(size));
  if (piece == nullptr)
    dul::FatalError("piece != nullptr", "Out of memory for JSON text", __FILE__, __LINE__,
                    __func__);
  pieces_.push_back({piece, 0});
  cursor_ = piece;
  end_ = piece + size;
}

std::string TextSink::Finish() {
  if (pieces_.empty()) {
    text_.resize(static_cast<std::size_t>(cursor_ - text_.data()));
    return std::move(text_);
  }
  ClosePiece();
  std::size_t total = textBytes_;
  for (const Piece& piece : pieces_)
    total += piece.length;
  text_.resize(textBytes_);
  text_.reserve(total);
  for (const Piece& piece : pieces_)
    text_.append(piece.begin, piece.length);
  return std::move(text_);
}

// The bytes a string needs escaped: control characters, the quote and the backslash. Every other
// byte, UTF-8 sequences included, is copied as it is.
constexpr std::array<char, 256> kEscapes = [] {
  std::array<char, 256> escapes{};
  for (std::size_t c = 0; c < 0x20; ++c)
    escapes[c] = 'u';
  escapes['\b'] = 'b';
  escapes['\t'] = 't';
  escapes['\n'] = 'n';
  escapes['\f'] = 'f';
  escapes['\r'] = 'r';
  escapes['"'] = '"';
  escapes['\\'] = '\\';
  return escapes;
}();

constexpr std::uint64_t kEveryByte = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// The high bit of each byte of `word` that needs an escape. Bits above the lowest one may be
// wrong (a borrow carries upwards), so only the lowest is used.
std::uint64_t EscapeBits(std::uint64_t word) {
  const std::uint64_t control = (word - kEveryByte * 0x20) & ~word;
  const std::uint64_t quote = word ^ (kEveryByte * '"');
  const std::uint64_t backslash = word ^ (kEveryByte * '\\');
  return (control | ((quote - kEveryByte) & ~quote) | ((backslash - kEveryByte) & ~backslash)) &
         kHighBits;
}

// Bytes before the first flagged one, in text order (words are read little-endian).
std::size_t PlainBytes(std::uint64_t bits) {
  return static_cast<std::size_t>(std::countr_zero(bits)) / 8;
}

char* PutEscape(char* out, unsigned char c) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  *out++ = '\\';
  *out++ = kEscapes[c];
  if (kEscapes[c] == 'u') {
    *out++ = '0';
    *out++ = '0';
    *out++ = kHexDigits[c >> 4];
    *out++ = kHexDigits[c & 0xF];
  }
  return out;
}

// The `count` (1 to 8) bytes at `at` as one word in text order, read without passing their end.
std::uint64_t LoadUpTo8(const char* at, std::size_t count) {
  std::uint64_t word;
  if (count == 8) {
    std::memcpy(&word, at, 8);
    return word;
  }
  if (count >= 4) {
    std::uint32_t first;
    std::uint32_t last;
    std::memcpy(&first, at, 4);
    std::memcpy(&last, at + count - 4, 4);
    return first | (std::uint64_t{last} << (8 * (count - 4)));
  }
  const auto byte = [at](std::size_t i) {
    return std::uint64_t{static_cast<unsigned char>(at[i])};
  };
  return byte(0) | (byte(count / 2) << (8 * (count / 2))) | (byte(count - 1) << (8 * (count - 1)));
}

// The byte-at-a-time copy of big-endian machines; clang sees no use of it on little-endian ones.
[[maybe_unused]] char* PutEscapedBytes(char* out, std::string_view text) {
  for (const char c : text) {
    if (kEscapes[static_cast<unsigned char>(c)] == 0)
      *out++ = c;
    else
      out = PutEscape(out, static_cast<unsigned char>(c));
  }
  return out;
}

// Copies `text` escaped, up to eight bytes at a time: each step stores a whole word and keeps
// the bytes before the first that needs an escape. `out` has room for the worst case, six bytes
// for each, and eight more for the last store.
char* PutEscaped(char* out, std::string_view text) {
  if constexpr (std::endian::native != std::endian::little)
    return PutEscapedBytes(out, text);
  const char* at = text.data();
  const char* const end = at + text.size();
  while (at != end) {
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(end - at), 8);
    const std::uint64_t word = LoadUpTo8(at, count);
    std::memcpy(out, &word, 8);
    const std::uint64_t bits = EscapeBits(word) & (kHighBits >> (8 * (8 - count)));
    if (bits == 0) {
      at += count;
      out += count;
      continue;
    }
    const std::size_t plain = PlainBytes(bits);
    out = PutEscape(out + plain, static_cast<unsigned char>(at[plain]));
    at += plain + 1;
  }
  return out;
}

// Writes a walk as JSON text into a sink: compact, or indented by four spaces a level with each
// line break written as the separator (never inside a string, where a line feed is escaped).
template <bool kIndented>
class JsonWriteVisitor final : public ValueVisitor {
 public:
  JsonWriteVisitor(TextSink& sink, const BindingTypeRegistry* registry, std::string_view lineBreak)
      : sink_(sink), registry_(registry), lineBreak_(lineBreak) {}

  void Null() override { PutText("null"); }
  void Bool(bool value) override { value ? PutText("true") : PutText("false"); }
  void Int64(std::int64_t value) override {
    char* out = sink_.Reserve(kLongestInteger);
    sink_.Advance(rapidjson::internal::i64toa(value, out));
  }
  void Uint64(std::uint64_t value) override {
    char* out = sink_.Reserve(kLongestInteger);
    sink_.Advance(rapidjson::internal::u64toa(value, out));
  }
  void Double(double value) override {
    // JSON has no NaN or infinity; null is what any reader accepts in their place.
    if (!std::isfinite(value))
      return Null();
    char* out = sink_.Reserve(kLongestDouble);
    sink_.Advance(rapidjson::internal::dtoa(value, out));
  }
  void String(std::string_view text) override {
    sink_.Advance(PutString(sink_.Reserve(StringRoom(text)), text));
  }
  void Blob(std::span<const std::uint8_t> bytes) override {
    String(dul::Base64Encode(bytes.data(), bytes.size()));
  }
  void Enum(BindingEnumCell cell) override {
    const char* name =
        registry_ != nullptr ? registry_->EnumName(cell.typeIdentity, cell.value) : nullptr;
    if (name != nullptr)
      String(name);
    else
      Int64(cell.value);
  }
  void StartArray(std::size_t) override { Open('['); }
  void BeginElement() override { sink_.Advance(PutItemStart(sink_.Reserve(ItemStartRoom()))); }
  void EndElement() override { afterItem_ = true; }
  void EndArray() override { Close(']'); }
  void StartObject(std::size_t) override { Open('{'); }
  void Key(std::string_view name) override {
    char* out = sink_.Reserve(ItemStartRoom() + StringRoom(name) + 2);
    out = PutString(PutItemStart(out), name);
    *out++ = ':';
    if (kIndented)
      *out++ = ' ';
    sink_.Advance(out);
  }
  void EndMember() override { afterItem_ = true; }
  void EndObject() override { Close('}'); }

 private:
  static constexpr std::size_t kLongestInteger = 20;  // "-9223372036854775808"
  static constexpr std::size_t kLongestDouble = 25;   // what dtoa may write

  template <std::size_t N>
  void PutText(const char (&text)[N]) {
    char* out = sink_.Reserve(N - 1);
    std::memcpy(out, text, N - 1);
    sink_.Advance(out + N - 1);
  }
  void Open(char bracket) {
    char* out = sink_.Reserve(1);
    *out = bracket;
    sink_.Advance(out + 1);
    afterItem_ = false;
    ++depth_;
  }
  void Close(char bracket) {
    --depth_;
    char* out = sink_.Reserve(1 + (kIndented ? LineRoom() : 0));
    if (kIndented && afterItem_)
      out = PutLine(out);
    *out = bracket;
    sink_.Advance(out + 1);
  }
  static std::size_t StringRoom(std::string_view text) { return 2 + text.size() * 6 + 8; }
  static char* PutString(char* out, std::string_view text) {
    *out++ = '"';
    out = PutEscaped(out, text);
    *out++ = '"';
    return out;
  }
  std::size_t LineRoom() const { return lineBreak_.size() + depth_ * kIndentSpaces; }
  char* PutLine(char* out) const {
    std::memcpy(out, lineBreak_.data(), lineBreak_.size());
    out += lineBreak_.size();
    std::memset(out, ' ', depth_ * kIndentSpaces);
    return out + depth_ * kIndentSpaces;
  }
  // Before an element or member: the comma after the one before, then its line.
  std::size_t ItemStartRoom() const { return 1 + (kIndented ? LineRoom() : 0); }
  char* PutItemStart(char* out) const {
    if (afterItem_)
      *out++ = ',';
    return kIndented ? PutLine(out) : out;
  }

  TextSink& sink_;
  const BindingTypeRegistry* registry_;
  std::string_view lineBreak_;
  std::size_t depth_ = 0;
  bool afterItem_ = false;  // an element or member of the innermost container has been written
};

template <bool kIndented>
std::string WriteWith(const BindingProperty& value, const BindingTypeRegistry* registry,
                      std::string_view lineBreak) {
  TextSink sink;
  JsonWriteVisitor<kIndented> visitor(sink, registry, lineBreak);
  WalkValueWith(value, visitor);  // the visitor's type is final: its calls are direct
  return sink.Finish();
}

}  // namespace

std::optional<std::string> WriteRecordJson(const DulBindingValueRecord& record) {
  if (record.kind == kRecordEmpty)
    return std::nullopt;
  TextSink sink;
  JsonWriteVisitor<false> visitor(sink, nullptr, {});
  if (!WalkRecordWith(record, visitor))
    return std::nullopt;
  return sink.Finish();
}

std::string WriteJson(const BindingProperty& value, const BindingTypeRegistry* registry,
                      const char* separator) {
  if (value.IsEmpty())
    return {};
  if (separator == nullptr || *separator == '\0')
    return WriteWith<false>(value, registry, {});
  return WriteWith<true>(value, registry, separator);
}

}  // namespace Zorv
