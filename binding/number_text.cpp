#include "binding/number_text.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

namespace Zorv {
namespace {

// The C library's parsers need a terminated text, and an embedded NUL must not end the number
// early: it counts as a character left over.
template <class Number, class Parse>
NumberText<Number> ParseWhole(std::string_view text, Parse parse) {
  const std::string terminated(text);
  const char* begin = terminated.c_str();
  char* end = nullptr;
  errno = 0;
  const Number value = parse(begin, &end);
  NumberText<Number> result;
  result.value = value;
  if (static_cast<std::size_t>(end - begin) != text.size()) {
    result.status = NumberTextStatus::kIncorrectFormat;
  } else if (errno == ERANGE) {
    result.status = NumberTextStatus::kOutOfRange;
  }
  return result;
}

bool StartsNegative(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
    ++at;
  return at < text.size() && text[at] == '-';
}

}  // namespace

NumberText<std::int64_t> ParseSignedText(std::string_view text) {
  return ParseWhole<std::int64_t>(text, [](const char* begin, char** end) {
    return static_cast<std::int64_t>(std::strtoll(begin, end, 0));
  });
}

NumberText<std::uint64_t> ParseUnsignedText(std::string_view text) {
  if (StartsNegative(text))
    return {NumberTextStatus::kOutOfRange, 0};
  return ParseWhole<std::uint64_t>(text, [](const char* begin, char** end) {
    return static_cast<std::uint64_t>(std::strtoull(begin, end, 0));
  });
}

NumberText<double> ParseDoubleText(std::string_view text) {
  NumberText<double> result = ParseWhole<double>(
      text, [](const char* begin, char** end) { return std::strtod(begin, end); });
  // strtod reports ERANGE also for tiny values that underflow to zero; those are in range.
  if (result.status == NumberTextStatus::kOutOfRange && !std::isinf(result.value)) {
    result.status = NumberTextStatus::kOk;
  }
  return result;
}

}  // namespace Zorv
