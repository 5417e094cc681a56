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
#include "codecs/base64.h"
#include "codecs/json_allocator.h"
#include "codecs/value_visitor.h"
#include "runtime/allocation_counters.h"
#include "runtime/fatal_error.h"

namespace Zorv {
namespace {

constexpr std::size_t kFirstPieceBytes = 256;
constexpr std::size_t kLargestPieceBytes = 64 * 1024;
constexpr unsigned kIndentSpaces = 4;

// The writers' output stream. The text is written into pieces of growing size, up to 64 KiB, so
// that growing never copies and large texts reuse heap blocks instead of fresh pages; Finish
// joins the pieces once. With a separator, each line break the pretty writer emits is written as
// the separator (a line feed inside a string is always escaped, so it never reaches Put).
class TextSink {
 public:
  using Ch = char;

  explicit TextSink(std::string_view separator) : separator_(separator) {}
  ~TextSink() {
    for (const Piece& piece : pieces_)
      dul::CountingFree(piece.begin);
    dul::CountingFree(begin_);
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
      StartPiece(count);
  }
  void Flush() {}

  std::string Finish() const {
    std::string text;
    text.reserve(finishedBytes_ + static_cast<std::size_t>(cursor_ - begin_));
    for (const Piece& piece : pieces_)
      text.append(piece.begin, piece.length);
    text.append(begin_, cursor_);
    return text;
  }

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
  void StartPiece(std::size_t count) {
    if (begin_ != nullptr) {
      pieces_.push_back({begin_, static_cast<std::size_t>(cursor_ - begin_)});
      finishedBytes_ += pieces_.back().length;
    }
    nextPieceBytes_ = std::min(nextPieceBytes_ * 2, kLargestPieceBytes);
    const std::size_t size = std::max(nextPieceBytes_, count);
    begin_ = static_cast<char*>(dul::CountingAllocate(size));
    if (begin_ == nullptr)
      dul::FatalError("begin_ != nullptr", "Out of memory for JSON text", __FILE__, __LINE__,
                      __func__);
    cursor_ = begin_;
    end_ = begin_ + size;
  }

  std::vector<Piece> pieces_;  // full pieces, in order
  std::size_t finishedBytes_ = 0;
  std::size_t nextPieceBytes_ = kFirstPieceBytes / 2;
  char* begin_ = nullptr;
  char* cursor_ = nullptr;
  char* end_ = nullptr;
  std::string_view separator_;
};

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
  WalkValue(value, visitor);
  return sink.Finish();
}

}  // namespace

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
