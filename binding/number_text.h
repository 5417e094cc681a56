// Reading numbers from the texts that requests and documents carry: whole-text parses with base
// detection ("0x" hexadecimal, a leading "0" octal, else decimal), leading white space and a
// sign allowed, nothing allowed after the number.
#pragma once

#include <cstdint>
#include <string_view>

namespace Zorv {

enum class NumberTextStatus {
  kOk,
  kIncorrectFormat,  // characters left after the number
  kOutOfRange,       // the number does not fit the parse's type
};

template <class Number>
struct NumberText {
  NumberTextStatus status = NumberTextStatus::kOk;
  Number value = 0;
};

NumberText<std::int64_t> ParseSignedText(std::string_view text);
// A minus sign, also after leading white space, is out of range: no negative text wraps around.
NumberText<std::uint64_t> ParseUnsignedText(std::string_view text);
NumberText<double> ParseDoubleText(std::string_view text);

}  // namespace Zorv
