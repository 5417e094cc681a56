// Base64 with the standard alphabet and "=" padding, for blobs in text formats. The decoder is
// lenient and never fails: it stops silently at the first "=" or character outside the alphabet,
// so a caller that needs strict input checks the characters first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dul {

// The standard alphabet, one constant of the process.
inline constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Encode(const void* bytes, std::size_t length);

// Decodes the text up to its first "=" or non-alphabet character. An unfinished last group of
// two or three characters gives one or two bytes; a single character left over gives none.
std::vector<std::uint8_t> Base64Decode(std::string_view text);

}  // namespace dul
