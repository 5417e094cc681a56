// Case folding of ASCII letters only, for protocol text (media types, method names,
// authorization schemes) and path markers: no locale, so the same answer on every system.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dul {

constexpr char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string LowerAsciiCopy(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    c = LowerAscii(c);
  return lower;
}

// Whether `text` begins with `lowerPrefix` (lower case), whatever the case of its letters.
constexpr bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
  if (text.size() < lowerPrefix.size())
    return false;
  for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
    if (LowerAscii(text[i]) != lowerPrefix[i])
      return false;
  }
  return true;
}

// Whether `text` is `lowerName` (lower case), whatever the case of its letters.
constexpr bool EqualsNoCase(std::string_view text, std::string_view lowerName) {
  return text.size() == lowerName.size() && StartsWithNoCase(text, lowerName);
}

}  // namespace dul
