// Feeds arbitrary format strings and up to three arguments of every kind to FormatText: it must
// never crash, misread an argument or read out of bounds, the output stays within
// kFormatTextLimit, and the text before the first "%" comes out as it is.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/format_text.h"

namespace {

using Kind = dul::FormatArgument::Kind;

// One argument of the kind the input picks; texts live in `texts`, which the caller keeps.
dul::FormatArgument TakeArgument(FuzzedDataProvider& input, std::vector<std::string>& texts) {
  switch (input.ConsumeIntegralInRange<int>(0, 8)) {
    case 0:
      return dul::FormatArgument(input.ConsumeIntegral<char>());
    case 1:
      return dul::FormatArgument(input.ConsumeIntegral<unsigned char>());
    case 2:
      return dul::FormatArgument(input.ConsumeIntegral<int>());
    case 3:
      return dul::FormatArgument(input.ConsumeIntegral<unsigned>());
    case 4:
      return dul::FormatArgument(input.ConsumeIntegral<long long>());
    case 5:
      return dul::FormatArgument(input.ConsumeIntegral<unsigned long long>());
    case 6:
      return dul::FormatArgument(input.ConsumeFloatingPoint<double>());
    case 7:
      return dul::FormatArgument(input.ConsumeBool() ? "" : nullptr);
    default:
      return dul::FormatArgument(std::string_view(
          texts.emplace_back(input.ConsumeRandomLengthString(2 * dul::kFormatTextLimit))));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<std::string> texts;
  texts.reserve(3);  // arguments borrow these texts: no reallocation may move them
  std::vector<dul::FormatArgument> arguments;
  const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 3);
  for (std::size_t i = 0; i < count; ++i)
    arguments.push_back(TakeArgument(input, texts));
  const std::string format = input.ConsumeRemainingBytesAsString();

  const std::string output =
      dul::FormatTextWith(format, arguments.empty() ? nullptr : arguments.data(), count);
  if (output.size() > dul::kFormatTextLimit)
    __builtin_trap();
  // Everything before the first "%" is copied, cut at the limit; without a "%", nothing else is.
  const std::size_t percent = format.find('%');
  const std::string_view literal =
      std::string_view(format).substr(0, std::min(percent, dul::kFormatTextLimit));
  if (std::string_view(output).substr(0, literal.size()) != literal)
    __builtin_trap();
  if (percent == std::string::npos && output != literal)
    __builtin_trap();
  return 0;
}
