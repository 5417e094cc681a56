#include "foundation/base64.h"

#include <array>

namespace dul {
namespace {

constexpr std::uint8_t kNotInAlphabet = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
  std::array<std::uint8_t, 256> table{};
  table.fill(kNotInAlphabet);
  for (std::size_t index = 0; index < kBase64Alphabet.size(); ++index) {
    table[static_cast<unsigned char>(kBase64Alphabet[index])] = static_cast<std::uint8_t>(index);
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kDecodeTable = MakeDecodeTable();

// Appends the bytes of a group of sextets; count is the number of sextets taken (2 to 4).
void AppendGroup(std::vector<std::uint8_t>& bytes, const std::uint8_t (&sextets)[4],
                 std::size_t count) {
  const std::uint32_t group = (std::uint32_t{sextets[0]} << 18) |
                              (std::uint32_t{sextets[1]} << 12) | (std::uint32_t{sextets[2]} << 6) |
                              std::uint32_t{sextets[3]};
  bytes.push_back(static_cast<std::uint8_t>(group >> 16));
  if (count > 2) {
    bytes.push_back(static_cast<std::uint8_t>(group >> 8));
  }
  if (count > 3) {
    bytes.push_back(static_cast<std::uint8_t>(group));
  }
}

}  // namespace

// The text is sized once and written through a pointer: whole groups first, then the last one.
std::string Base64Encode(const void* bytes, std::size_t length) {
  const auto* input = static_cast<const std::uint8_t*>(bytes);
  std::string text((length + 2) / 3 * 4, '=');
  char* out = text.data();
  const char* alphabet = kBase64Alphabet.data();
  std::size_t at = 0;
  for (; length - at >= 3; at += 3) {
    const std::uint32_t group =
        (std::uint32_t{input[at]} << 16) | (std::uint32_t{input[at + 1]} << 8) | input[at + 2];
    out[0] = alphabet[group >> 18];
    out[1] = alphabet[(group >> 12) & 0x3F];
    out[2] = alphabet[(group >> 6) & 0x3F];
    out[3] = alphabet[group & 0x3F];
    out += 4;
  }
  if (at < length) {
    std::uint32_t group = std::uint32_t{input[at]} << 16;
    if (length - at > 1)
      group |= std::uint32_t{input[at + 1]} << 8;
    out[0] = alphabet[group >> 18];
    out[1] = alphabet[(group >> 12) & 0x3F];
    if (length - at > 1)
      out[2] = alphabet[(group >> 6) & 0x3F];
  }
  return text;
}

std::vector<std::uint8_t> Base64Decode(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve((text.size() * 3 / 4 + 2) / 3 * 3);
  std::uint8_t sextets[4] = {};
  std::size_t count = 0;
  for (const char c : text) {
    const std::uint8_t sextet = kDecodeTable[static_cast<unsigned char>(c)];
    if (sextet == kNotInAlphabet) {
      break;
    }
    sextets[count++] = sextet;
    if (count == 4) {
      AppendGroup(bytes, sextets, 4);
      count = 0;
    }
  }
  if (count >= 2) {
    for (std::size_t unused = count; unused < 4; ++unused) {
      sextets[unused] = 0;
    }
    AppendGroup(bytes, sextets, count);
  }
  return bytes;
}

}  // namespace dul
