#include "foundation/format_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

namespace dul {
namespace {

using Kind = FormatArgument::Kind;

constexpr std::size_t kLongestDirective = 59;

// Widths and precisions reach the C library clamped: beyond these caps the visible 4095 characters
// cannot change (a double's exact expansion ends long before, and the padding alone overfills the
// output), and the clamp keeps huge values from overflowing int or allocating gigabytes.
constexpr std::int64_t kPrecisionCap = 8192;
constexpr std::int64_t kWidthCap = 16384;

// The allowed conversion letters of each kind; the first is the default.
std::string_view AllowedConversions(Kind kind) {
  switch (kind) {
    case Kind::kChar:
      return "cdiouxX";
    case Kind::kUnsigned8:
    case Kind::kUnsigned32:
    case Kind::kUnsigned64:
      return "ucdioxX";
    case Kind::kSigned32:
    case Kind::kSigned64:
      return "dciouxX";
    case Kind::kDouble:
      return "gaefGAEF";
    case Kind::kText:
      return "s";
  }
  return "s";
}

bool IsIntegerKind(Kind kind) {
  return kind != Kind::kDouble && kind != Kind::kText;
}

bool IsSignedKind(Kind kind) {
  return kind == Kind::kChar || kind == Kind::kSigned32 || kind == Kind::kSigned64;
}

bool IsSixtyFourBitKind(Kind kind) {
  return kind == Kind::kSigned64 || kind == Kind::kUnsigned64;
}

bool Contains(std::string_view letters, char c) {
  return letters.find(c) != std::string_view::npos;
}

// An integer argument's value as a signed amount (width or precision), saturating.
std::int64_t AmountOf(const FormatArgument& argument) {
  if (IsSignedKind(argument.kind()))
    return argument.signedValue();
  const std::uint64_t value = argument.unsignedValue();
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  return value > kMax ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(value);
}

// An integer argument's bits, two's complement for signed kinds.
std::uint64_t BitsOf(const FormatArgument& argument) {
  return IsSignedKind(argument.kind()) ? static_cast<std::uint64_t>(argument.signedValue())
                                       : argument.unsignedValue();
}

// A text prints up to its first NUL, as a C string would.
std::string_view PrintableText(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

// One placeholder as read from the format, before its conversion is settled.
struct Placeholder {
  bool bare = false;
  bool leftAlign = false;
  bool plusSign = false;
  bool spaceSign = false;
  bool alternate = false;
  bool zeroPad = false;
  bool hasWidth = false;
  bool hasPrecision = false;
  std::int64_t width = 0;
  std::int64_t precision = 0;
  char conversion = 0;
  std::size_t argument = 0;
};

bool* FlagOf(Placeholder& placeholder, char c) {
  switch (c) {
    case '-':
      return &placeholder.leftAlign;
    case '+':
      return &placeholder.plusSign;
    case ' ':
      return &placeholder.spaceSign;
    case '#':
      return &placeholder.alternate;
    case '0':
      return &placeholder.zeroPad;
    default:
      return nullptr;
  }
}

// The fixed output buffer; everything beyond kFormatTextLimit characters is cut.
class OutputBuffer {
 public:
  std::size_t room() const { return kFormatTextLimit - used_; }
  char* end() { return buffer_.data() + used_; }

  // Appends what fits; false when something was cut.
  bool Append(std::string_view text) {
    const std::size_t length = text.size() < room() ? text.size() : room();
    text.copy(end(), length);
    used_ += length;
    return length == text.size();
  }

  bool AppendRepeated(char c, std::uint64_t count) {
    const std::size_t length = count < room() ? static_cast<std::size_t>(count) : room();
    std::fill_n(end(), length, c);
    used_ += length;
    return length == count;
  }

  // Takes the result of a bounded print into end(); false when it failed or was cut.
  bool Commit(int printed) {
    if (printed < 0)
      return false;
    const bool fits = static_cast<std::size_t>(printed) <= room();
    used_ += fits ? static_cast<std::size_t>(printed) : room();
    return fits;
  }

  std::string Text() const { return std::string(buffer_.data(), used_); }

 private:
  std::array<char, kFormatTextLimit + 1> buffer_{};
  std::size_t used_ = 0;
};

// Builds the printf directive handed to the C library: only flags, width and precision that
// are defined for the settled conversion, and the length modifier of the argument's real type.
std::array<char, 40> BuildDirective(const Placeholder& placeholder, Kind kind) {
  const char conversion = placeholder.conversion;
  std::array<char, 40> directive{};
  std::size_t length = 0;
  directive[length++] = '%';
  if (placeholder.leftAlign)
    directive[length++] = '-';
  if (placeholder.plusSign && Contains("diaAeEfFgG", conversion))
    directive[length++] = '+';
  if (placeholder.spaceSign && Contains("diaAeEfFgG", conversion))
    directive[length++] = ' ';
  if (placeholder.alternate && Contains("oxXaAeEfFgG", conversion))
    directive[length++] = '#';
  if (placeholder.zeroPad && conversion != 'c')
    directive[length++] = '0';
  const auto appendNumber = [&](std::int64_t value) {
    const int written = std::snprintf(directive.data() + length, directive.size() - length, "%lld",
                                      static_cast<long long>(value));
    length += static_cast<std::size_t>(written);
  };
  if (placeholder.hasWidth)
    appendNumber(std::min(placeholder.width, kWidthCap));
  if (placeholder.hasPrecision && conversion != 'c') {
    directive[length++] = '.';
    appendNumber(std::min(placeholder.precision, kPrecisionCap));
  }
  if (IsSixtyFourBitKind(kind) && conversion != 'c') {
    directive[length++] = 'l';
    directive[length++] = 'l';
  }
  directive[length] = conversion;
  return directive;
}

// Prints a number with the C library, passing the value as exactly the type the built
// directive names.
int PrintNumber(char* destination, std::size_t size, const char* directive,
                const FormatArgument& argument, char conversion) {
  if (argument.kind() == Kind::kDouble) {
    return std::snprintf(destination, size, directive, argument.doubleValue());
  }
  const std::uint64_t bits = BitsOf(argument);
  const bool signedConversion = conversion == 'd' || conversion == 'i';
  if (conversion == 'c') {
    return std::snprintf(destination, size, directive,
                         static_cast<int>(static_cast<unsigned char>(bits)));
  }
  if (IsSixtyFourBitKind(argument.kind())) {
    return signedConversion
               ? std::snprintf(destination, size, directive, static_cast<long long>(bits))
               : std::snprintf(destination, size, directive, static_cast<unsigned long long>(bits));
  }
  const auto low = static_cast<std::uint32_t>(bits);
  return signedConversion ? std::snprintf(destination, size, directive, static_cast<int>(low))
                          : std::snprintf(destination, size, directive, static_cast<unsigned>(low));
}

class Formatter {
 public:
  Formatter(std::string_view format, const FormatArgument* arguments, std::size_t count)
      : format_(format), arguments_(arguments), count_(arguments ? count : 0) {}

  std::string Run() {
    while (position_ < format_.size()) {
      const std::size_t percent = format_.find('%', position_);
      const std::size_t textEnd = percent == std::string_view::npos ? format_.size() : percent;
      if (!output_.Append(format_.substr(position_, textEnd - position_)))
        break;
      if (percent == std::string_view::npos)
        break;
      position_ = percent + 1;
      if (!FormatPlaceholder())
        break;
    }
    return output_.Text();
  }

 private:
  bool AtEnd() const { return position_ >= format_.size(); }
  char Peek() const { return AtEnd() ? '\0' : format_[position_]; }
  bool PeekDigit() const { return Peek() >= '0' && Peek() <= '9'; }

  // Reads decimal digits, saturating far above anything meaningful; false when there are none.
  bool ReadNumber(std::int64_t& value) {
    if (!PeekDigit())
      return false;
    value = 0;
    while (PeekDigit()) {
      value = std::min<std::int64_t>(value * 10 + (Peek() - '0'), 1'000'000'000'000);
      ++position_;
    }
    return true;
  }

  // Argument number 1..count, or 0 for the next argument in sequence; false when none is left.
  bool ResolveArgument(std::int64_t number, std::size_t& index) {
    if (number < 0 || static_cast<std::uint64_t>(number) > count_)
      return false;
    if (number > 0) {
      index = static_cast<std::size_t>(number - 1);
      return true;
    }
    if (nextInSequence_ >= count_)
      return false;
    index = nextInSequence_++;
    return true;
  }

  // Position is just after a "%".
  bool FormatPlaceholder() {
    if (Peek() == '%') {
      ++position_;
      return output_.Append("%");
    }
    const std::size_t start = position_;
    Placeholder placeholder;
    std::int64_t argumentNumber = 0;
    if (ReadNumber(argumentNumber) && static_cast<std::uint64_t>(argumentNumber) <= count_) {
      placeholder.bare = Peek() != '$';
      if (!placeholder.bare)
        ++position_;
    } else {
      argumentNumber = 0;
      position_ = start;
    }
    if (!placeholder.bare && !ReadDirective(placeholder))
      return false;
    if (position_ - start > kLongestDirective)
      return false;
    if (!ResolveArgument(argumentNumber, placeholder.argument))
      return false;
    return Emit(placeholder);
  }

  bool ReadDirective(Placeholder& placeholder) {
    ReadFlags(placeholder);
    if (!ReadAmount(placeholder.hasWidth, placeholder.width))
      return false;
    if (placeholder.width < 0) {
      // A negative width from an argument means left alignment, as in printf.
      placeholder.leftAlign = true;
      placeholder.width = placeholder.width == std::numeric_limits<std::int64_t>::min()
                              ? std::numeric_limits<std::int64_t>::max()
                              : -placeholder.width;
    }
    if (Peek() == '.') {
      ++position_;
      if (!ReadAmount(placeholder.hasPrecision, placeholder.precision))
        return false;
      // "." alone is precision 0; a negative one from an argument counts as none.
      placeholder.hasPrecision = placeholder.precision >= 0;
    }
    SkipLengthModifier();
    if (AtEnd())
      return false;
    placeholder.conversion = format_[position_++];
    return true;
  }

  void ReadFlags(Placeholder& placeholder) {
    for (bool* flag; (flag = FlagOf(placeholder, Peek())) != nullptr; ++position_)
      *flag = true;
  }

  // A width or precision: digits, or "*" with an optional "N$" naming an integer argument.
  bool ReadAmount(bool& present, std::int64_t& amount) {
    if (Peek() != '*') {
      present = ReadNumber(amount);
      return true;
    }
    ++position_;
    std::int64_t number = 0;
    if (ReadNumber(number)) {
      if (Peek() != '$')
        return false;
      ++position_;
    }
    std::size_t index = 0;
    if (!ResolveArgument(number, index) || !IsIntegerKind(arguments_[index].kind()))
      return false;
    present = true;
    amount = AmountOf(arguments_[index]);
    return true;
  }

  void SkipLengthModifier() {
    const char c = Peek();
    if (c == 'L' || c == 'j' || c == 't' || c == 'z') {
      ++position_;
    } else if (c == 'h' || c == 'l') {
      ++position_;
      if (Peek() == c)
        ++position_;
    }
  }

  bool Emit(Placeholder& placeholder) {
    const FormatArgument& argument = arguments_[placeholder.argument];
    const std::string_view allowed = AllowedConversions(argument.kind());
    if (placeholder.bare || !Contains(allowed, placeholder.conversion)) {
      placeholder.conversion = allowed.front();
    }
    if (argument.kind() == Kind::kText)
      return EmitText(placeholder, argument.text());
    const std::array<char, 40> directive = BuildDirective(placeholder, argument.kind());
    return output_.Commit(PrintNumber(output_.end(), output_.room() + 1, directive.data(), argument,
                                      placeholder.conversion));
  }

  // Texts are padded and cut here rather than by the C library: a borrowed view needs no
  // terminated copy, and a text far longer than the output costs nothing.
  bool EmitText(const Placeholder& placeholder, std::string_view text) {
    text = PrintableText(text);
    const auto precision = static_cast<std::uint64_t>(placeholder.precision);
    if (placeholder.hasPrecision && precision < text.size())
      text = text.substr(0, static_cast<std::size_t>(precision));
    const std::uint64_t width =
        placeholder.hasWidth ? static_cast<std::uint64_t>(placeholder.width) : 0;
    const std::uint64_t padding = width > text.size() ? width - text.size() : 0;
    if (placeholder.leftAlign)
      return output_.Append(text) && output_.AppendRepeated(' ', padding);
    return output_.AppendRepeated(' ', padding) && output_.Append(text);
  }

  std::string_view format_;
  const FormatArgument* arguments_;
  std::size_t count_;
  std::size_t position_ = 0;
  std::size_t nextInSequence_ = 0;
  OutputBuffer output_;
};

}  // namespace

std::string FormatArgument::ErrorOutcomeText(bool failed, std::int32_t code,
                                             std::string_view message) {
  if (!failed)
    return "Success";
  return FormatText("%1 (%2)", message, code);
}

std::string FormatTextWith(std::string_view format, const FormatArgument* arguments,
                           std::size_t count) {
  return Formatter(format, arguments, count).Run();
}

}  // namespace dul
