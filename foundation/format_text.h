// FormatText: the one formatter of messages and paths. Placeholders are numbered ("%1" to "%3",
// or a number, "$" and a printf directive after the "%") and filled from up to three typed
// arguments; each conversion letter is checked against its argument's kind, so a wrong letter can
// never misread an argument. Output is at most kFormatTextLimit characters.
//
//   FormatText("Value %1 for '%2' of type %3 is out of range", 300, "count", "uint8");
//   FormatText("%1/%2%3.json", directory, "ZORV_ItemSet_", 7);
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dul {

inline constexpr std::size_t kFormatTextLimit = 4095;

// One typed argument. Texts are borrowed: the argument must not outlive what it points at. A text
// prints up to its first NUL character, as a C string would.
class FormatArgument {
 public:
  enum class Kind {
    kChar,
    kUnsigned8,
    kSigned32,
    kUnsigned32,
    kSigned64,
    kUnsigned64,
    kDouble,
    kText
  };

  FormatArgument(char value) : kind_(Kind::kChar), signed_(static_cast<signed char>(value)) {}
  FormatArgument(signed char value) : kind_(Kind::kChar), signed_(value) {}
  FormatArgument(unsigned char value) : kind_(Kind::kUnsigned8), unsigned_(value) {}
  FormatArgument(short value) : kind_(Kind::kSigned32), signed_(value) {}
  FormatArgument(unsigned short value) : kind_(Kind::kUnsigned32), unsigned_(value) {}
  FormatArgument(int value) : kind_(Kind::kSigned32), signed_(value) {}
  FormatArgument(unsigned value) : kind_(Kind::kUnsigned32), unsigned_(value) {}
  FormatArgument(long value)
      : kind_(sizeof(long) == 8 ? Kind::kSigned64 : Kind::kSigned32), signed_(value) {}
  FormatArgument(unsigned long value)
      : kind_(sizeof(long) == 8 ? Kind::kUnsigned64 : Kind::kUnsigned32), unsigned_(value) {}
  FormatArgument(long long value) : kind_(Kind::kSigned64), signed_(value) {}
  FormatArgument(unsigned long long value) : kind_(Kind::kUnsigned64), unsigned_(value) {}
  FormatArgument(double value) : kind_(Kind::kDouble), double_(value) {}
  FormatArgument(float value) : kind_(Kind::kDouble), double_(value) {}
  FormatArgument(const char* text) : kind_(Kind::kText), text_(text ? text : "") {}
  FormatArgument(std::string_view text) : kind_(Kind::kText), text_(text) {}
  FormatArgument(const std::string& text) : kind_(Kind::kText), text_(text) {}
  FormatArgument(bool) = delete;  // a bool has no conversion of its own; say what to print

  // An error outcome prints "Success" when it holds no error, else "<message> (<code>)".
  // The caller keeps the returned text alive for the call (see ErrorOutcomeText).
  static std::string ErrorOutcomeText(bool failed, std::int32_t code, std::string_view message);

  Kind kind() const { return kind_; }
  std::int64_t signedValue() const { return signed_; }
  std::uint64_t unsignedValue() const { return unsigned_; }
  double doubleValue() const { return double_; }
  std::string_view text() const { return text_; }

 private:
  Kind kind_;
  std::int64_t signed_ = 0;
  std::uint64_t unsigned_ = 0;
  double double_ = 0;
  std::string_view text_;
};

// Formats with zero to three arguments; never fails: a malformed placeholder ends the output at
// the point reached.
std::string FormatTextWith(std::string_view format, const FormatArgument* arguments,
                           std::size_t count);

template <typename... Arguments>
std::string FormatText(std::string_view format, const Arguments&... arguments) {
  static_assert(sizeof...(Arguments) <= 3, "FormatText takes at most three arguments");
  if constexpr (sizeof...(Arguments) == 0) {
    return FormatTextWith(format, nullptr, 0);
  } else {
    const FormatArgument list[] = {FormatArgument(arguments)...};
    return FormatTextWith(format, list, sizeof...(Arguments));
  }
}

}  // namespace dul
