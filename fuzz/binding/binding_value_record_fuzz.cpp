// Reads fuzzed record trees as the host hands them over. The input lays out a tree of
// DulBindingValueRecord of bounded depth and size, every pointer into buffers of this file,
// with every kind, unknown kinds, null arrays, texts and names. The read must succeed exactly
// when every record in the tree is well formed, say why when it fails, and read a value that
// makes a record which reads back to the same value and writes the same JSON as the record
// itself; ValueRecordBytes must give each text its own bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_value_record.h"
#include "codecs/json_writer.h"

namespace {

constexpr int kDepthLimit = 6;
constexpr std::size_t kArrayLimit = 8;
constexpr std::size_t kTextLimit = 64;

// The tree under construction: its texts and arrays, which never move once made.
class TreeBuilder {
 public:
  explicit TreeBuilder(FuzzedDataProvider& input) : input_(input) {}

  DulBindingValueRecord Build(int depth) {
    DulBindingValueRecord record{};
    const std::uint32_t highest = depth < kDepthLimit ? 11 : 8;
    record.kind = input_.ConsumeIntegralInRange<std::uint32_t>(0, highest);
    switch (record.kind) {
      case 1:
        record.payload.boolean = input_.ConsumeIntegral<std::uint8_t>();
        break;
      case 2:
      case 3:
        record.payload.unsigned64 = input_.ConsumeIntegral<std::uint64_t>();
        break;
      case 4: {
        // NaN equals nothing, not even itself, so it cannot show that the value came back.
        const double value = input_.ConsumeFloatingPoint<double>();
        record.payload.float64 = std::isnan(value) ? INFINITY : value;
        break;
      }
      case 5:
      case 6:
      case 7:
      case 8:
        FillText(record);
        break;
      case 9:
        FillElements(record, depth);
        break;
      case 10:
        FillMembers(record, depth);
        break;
      case 11:
        record.kind = input_.ConsumeIntegralInRange<std::uint32_t>(11, UINT32_MAX);
        malformed = true;
        break;
      default:
        break;
    }
    return record;
  }

  bool malformed = false;

 private:
  // A null pointer, with a length word that makes it the empty value or a malformed record.
  bool TakeNull(DulBindingValueRecord& record) {
    if (!input_.ConsumeBool())
      return false;
    record.payload.span.data = nullptr;
    record.payload.span.length = input_.ConsumeBool() ? 0 : input_.ConsumeIntegral<std::uint32_t>();
    malformed = malformed || record.payload.span.length != 0;
    return true;
  }

  void FillText(DulBindingValueRecord& record) {
    if (TakeNull(record))
      return CheckBytes(record, std::nullopt);
    const std::string& text = texts_.emplace_back(input_.ConsumeRandomLengthString(kTextLimit));
    record.payload.span.data = text.c_str();
    // A borrowed text runs to its terminator whatever its length word says.
    record.payload.span.length = record.kind == 5 ? input_.ConsumeIntegral<std::uint32_t>()
                                                  : input_.ConsumeIntegralInRange<std::uint32_t>(
                                                        0, static_cast<std::uint32_t>(text.size()));
    CheckBytes(record, record.kind == 5
                           ? std::string_view(text.c_str())
                           : std::string_view(text).substr(0, record.payload.span.length));
  }

  void CheckBytes(const DulBindingValueRecord& record, std::optional<std::string_view> expected) {
    const std::optional<std::string_view> bytes = Zorv::ValueRecordBytes(record);
    const bool emptyNull = record.payload.span.data == nullptr && record.payload.span.length == 0;
    if (emptyNull)
      expected = std::string_view();
    if (bytes.has_value() != expected.has_value() ||
        (bytes && (bytes->size() != expected->size() ||
                   (!bytes->empty() && bytes->data() != expected->data()))))
      __builtin_trap();
  }

  void FillElements(DulBindingValueRecord& record, int depth) {
    if (TakeNull(record))
      return;
    std::vector<DulBindingValueRecord> elements(
        input_.ConsumeIntegralInRange<std::size_t>(0, kArrayLimit));
    for (DulBindingValueRecord& element : elements)
      element = Build(depth + 1);
    const auto& placed = elementArrays_.emplace_back(std::move(elements));
    record.payload.span.data = placed.data();
    record.payload.span.length = static_cast<std::uint32_t>(placed.size());
  }

  void FillMembers(DulBindingValueRecord& record, int depth) {
    if (TakeNull(record))
      return;
    std::vector<DulBindingMember> members(
        input_.ConsumeIntegralInRange<std::size_t>(0, kArrayLimit));
    for (DulBindingMember& member : members) {
      if (input_.ConsumeIntegralInRange(0, 15) == 0) {
        member.name = nullptr;
        malformed = true;
      } else {
        member.name = texts_.emplace_back(input_.ConsumeRandomLengthString(kTextLimit)).c_str();
      }
      member.value = Build(depth + 1);
      member.ownsName = input_.ConsumeIntegral<std::uint8_t>();
    }
    const auto& placed = memberArrays_.emplace_back(std::move(members));
    record.payload.span.data = placed.data();
    record.payload.span.length = static_cast<std::uint32_t>(placed.size());
  }

  FuzzedDataProvider& input_;
  std::deque<std::string> texts_;
  std::deque<std::vector<DulBindingValueRecord>> elementArrays_;
  std::deque<std::vector<DulBindingMember>> memberArrays_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  TreeBuilder builder(input);
  const DulBindingValueRecord record = builder.Build(0);

  Zorv::BindingResult read;
  Zorv::ReadValueRecord(read, record, "value");
  if (read.ok() == builder.malformed || (!read.ok() && read.ErrorText().empty()))
    __builtin_trap();
  const std::optional<std::string> walked = Zorv::WriteRecordJson(record);
  if (!read.ok()) {
    if (walked)
      __builtin_trap();
    return 0;
  }
  if (walked && *walked != Zorv::WriteJson(read.value(), nullptr, nullptr))
    __builtin_trap();

  DulBindingValueRecord made = Zorv::MakeValueRecord(read.value(), nullptr);
  Zorv::BindingResult again;
  Zorv::ReadValueRecord(again, made, "value");
  Zorv::ClearValueRecord(made);
  if (!again.ok() || !(again.value() == read.value()))
    __builtin_trap();
  return 0;
}
