#include "codecs/json_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <vector>

#include <rapidjson/prettywriter.h>
#include <rapidjson/writer.h>

#include "binding/binding_type_registry.h"
#include "codecs/json_allocator.h"
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

// The writers' output stream. The first kilobyte is written straight into the string that is
// returned, so that short texts need no copy at the end. Beyond it the text goes into pieces that
// double up to 64 KiB (which reuse heap blocks instead of fresh pages), so that growing neither
// copies nor clears, and Finish joins them once into a string of the exact size. With a separator,
// each line break the pretty writer emits is written as the separator (a line feed inside a string
// is always escaped, so it never reaches Put).
class TextSink {
 public:
  using Ch = char;

  explicit TextSink(std::string_view separator) : separator_(separator) {
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

  void Put(char c) {
    if (c == '\n' && !separator_.empty())
      return PutSeparator();
    Reserve(1);
    *cursor_++ = c;
  }
  void PutUnsafe(char c) { *cursor_++ = c; }
  void PutRun(char c, std::size_t count) {
    Reserve(count);
    std::memset(cursor_, c, count);
    cursor_ += count;
  }
  void Reserve(std::size_t count) {
    if (static_cast<std::size_t>(end_ - cursor_) < count)
      Grow(count);
  }
  void Flush() {}

  std::string Finish();

 private:
  struct Piece {
    char* begin;
    std::size_t length;
  };

  void PutSeparator() {
    Reserve(separator_.size());
    std::memcpy(cursor_, separator_.data(), separator_.size());
    cursor_ += separator_.size();
  }
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
  std::string_view separator_;
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

// The writers reserve before a run of PutUnsafe calls; these let them do so on the sink.
inline void PutReserve(TextSink& sink, std::size_t count) {
  sink.Reserve(count);
}
inline void PutUnsafe(TextSink& sink, char c) {
  sink.PutUnsafe(c);
}
inline void PutN(TextSink& sink, char c, std::size_t count) {
  sink.PutRun(c, count);
}

using CompactWriter = rapidjson::Writer<TextSink, rapidjson::UTF8<>, rapidjson::UTF8<>,
                                        JsonCountingAllocator, rapidjson::kWriteDefaultFlags>;
using IndentedWriter =
    rapidjson::PrettyWriter<TextSink, rapidjson::UTF8<>, rapidjson::UTF8<>, JsonCountingAllocator,
                            rapidjson::kWriteDefaultFlags>;

rapidjson::SizeType JsonLength(std::string_view text) {
  return static_cast<rapidjson::SizeType>(text.size());
}

// Feeds a walk to one of the writers.
template <typename Writer>
class JsonWriteVisitor final : public ValueVisitor {
 public:
  JsonWriteVisitor(Writer& writer, const BindingTypeRegistry* registry)
      : writer_(writer), registry_(registry) {}

  void Null() override { writer_.Null(); }
  void Bool(bool value) override { writer_.Bool(value); }
  void Int64(std::int64_t value) override { writer_.Int64(value); }
  void Uint64(std::uint64_t value) override { writer_.Uint64(value); }
  void Double(double value) override {
    // JSON has no NaN or infinity; the writer would leave a hole in the text.
    if (std::isfinite(value))
      writer_.Double(value);
    else
      writer_.Null();
  }
  void String(std::string_view text) override { writer_.String(text.data(), JsonLength(text)); }
  void Blob(std::span<const std::uint8_t> bytes) override {
    const std::string text = dul::Base64Encode(bytes.data(), bytes.size());
    writer_.String(text.data(), JsonLength(text));
  }
  void Enum(BindingEnumCell cell) override {
    const char* name =
        registry_ != nullptr ? registry_->EnumName(cell.typeIdentity, cell.value) : nullptr;
    if (name != nullptr)
      writer_.String(name, JsonLength(name));
    else
      writer_.Int64(cell.value);
  }
  void StartArray(std::size_t) override { writer_.StartArray(); }
  void EndArray() override { writer_.EndArray(); }
  void StartObject(std::size_t) override { writer_.StartObject(); }
  void Key(std::string_view name) override { writer_.Key(name.data(), JsonLength(name)); }
  void EndObject() override { writer_.EndObject(); }

 private:
  Writer& writer_;
  const BindingTypeRegistry* registry_;
};

template <typename Writer>
std::string WriteWith(const BindingProperty& value, const BindingTypeRegistry* registry,
                      std::string_view separator) {
  TextSink sink(separator);
  JsonCountingAllocator allocator;
  Writer writer(sink, &allocator);
  if constexpr (std::is_same_v<Writer, IndentedWriter>)
    writer.SetIndent(' ', kIndentSpaces);
  JsonWriteVisitor<Writer> visitor(writer, registry);
  WalkValueWith(value, visitor);  // the visitor's type is final: its calls are direct
  return sink.Finish();
}

}  // namespace

std::optional<std::string> WriteRecordJson(const DulBindingValueRecord& record) {
  if (record.kind == 0)
    return std::nullopt;
  TextSink sink({});
  JsonCountingAllocator allocator;
  CompactWriter writer(sink, &allocator);
  JsonWriteVisitor<CompactWriter> visitor(writer, nullptr);
  if (!WalkRecordWith(record, visitor))
    return std::nullopt;
  return sink.Finish();
}

std::string WriteJson(const BindingProperty& value, const BindingTypeRegistry* registry,
                      const char* separator) {
  if (value.IsEmpty())
    return {};
  if (separator == nullptr || *separator == '\0')
    return WriteWith<CompactWriter>(value, registry, {});
  const std::string_view lineBreak(separator);
  return WriteWith<IndentedWriter>(value, registry,
                                   lineBreak == "\n" ? std::string_view() : lineBreak);
}

}  // namespace Zorv
