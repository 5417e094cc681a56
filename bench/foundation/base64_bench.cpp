// Base64Encode and Base64Decode against a plain codec with a 256-entry decoding table (and the
// 64-character alphabet for encoding) writing into a text or vector sized up front, and against
// memcpy of the input, the physical limit. Inputs are mixer bytes of 1 KiB, 64 KiB and 1 MiB.
#include <cstring>
#include <memory>

#include "bench/codecs/bench_support.h"
#include "foundation/base64.h"

namespace dul::bench {
namespace {

constexpr std::uint8_t kSkip = 0xFF;

std::array<std::uint8_t, 256> MakeDecodingTable() {
  std::array<std::uint8_t, 256> table;
  table.fill(kSkip);
  for (std::size_t i = 0; i < dul::kBase64Alphabet.size(); ++i)
    table[static_cast<unsigned char>(dul::kBase64Alphabet[i])] = static_cast<std::uint8_t>(i);
  return table;
}

const std::array<std::uint8_t, 256> kDecodingTable = MakeDecodingTable();

std::string TableEncode(const std::uint8_t* bytes, std::size_t length) {
  std::string text((length + 2) / 3 * 4, '=');
  const char* alphabet = dul::kBase64Alphabet.data();
  char* out = text.data();
  std::size_t at = 0;
  for (; at + 3 <= length; at += 3) {
    const std::uint32_t group = (bytes[at] << 16) | (bytes[at + 1] << 8) | bytes[at + 2];
    *out++ = alphabet[group >> 18];
    *out++ = alphabet[(group >> 12) & 0x3F];
    *out++ = alphabet[(group >> 6) & 0x3F];
    *out++ = alphabet[group & 0x3F];
  }
  if (at < length) {
    const std::uint32_t group = (bytes[at] << 16) | (at + 1 < length ? bytes[at + 1] << 8 : 0);
    *out++ = alphabet[group >> 18];
    *out++ = alphabet[(group >> 12) & 0x3F];
    if (at + 1 < length)
      *out = alphabet[(group >> 6) & 0x3F];
  }
  return text;
}

// Stops at the first character outside the alphabet, as the codec under test does.
std::vector<std::uint8_t> TableDecode(std::string_view text) {
  std::vector<std::uint8_t> bytes(text.size() / 4 * 3 + 3);
  std::uint8_t* out = bytes.data();
  std::uint32_t group = 0;
  int taken = 0;
  for (const char c : text) {
    const std::uint8_t sextet = kDecodingTable[static_cast<unsigned char>(c)];
    if (sextet == kSkip)
      break;
    group = (group << 6) | sextet;
    if (++taken == 4) {
      *out++ = static_cast<std::uint8_t>(group >> 16);
      *out++ = static_cast<std::uint8_t>(group >> 8);
      *out++ = static_cast<std::uint8_t>(group);
      taken = 0;
    }
  }
  if (taken >= 2) {
    group <<= 6 * (4 - taken);
    *out++ = static_cast<std::uint8_t>(group >> 16);
    if (taken == 3)
      *out++ = static_cast<std::uint8_t>(group >> 8);
  }
  bytes.resize(static_cast<std::size_t>(out - bytes.data()));
  return bytes;
}

struct Base64Input {
  std::vector<std::uint8_t> bytes;
  std::string text;
  std::vector<std::uint8_t> scratch;  // memcpy's destination, as large as the larger input
};

template <typename Body>
void Register(const std::string& name, std::size_t bytes, std::function<Verdict()> check,
              Body body) {
  RegisterCase(name, std::move(check),
               [bytes, body](benchmark::State& state) { TimeLoop(state, bytes, body); });
}

void RegisterSize(std::size_t size, const std::string& label) {
  auto input = std::make_shared<Base64Input>();
  Mixer mixer(size);
  for (std::size_t i = 0; i < size; ++i)
    input->bytes.push_back(static_cast<std::uint8_t>(mixer.Next()));
  input->text = dul::Base64Encode(input->bytes.data(), size);
  input->scratch.resize(input->text.size());
  const std::string& text = input->text;
  const auto same = [](bool equal) { return Verdict{equal ? "" : "outputs differ", {}}; };
  const auto ok = [] { return Verdict{}; };

  Register("base64_encode/" + label + "/ours", size, ok, [input, size] {
    benchmark::DoNotOptimize(dul::Base64Encode(input->bytes.data(), size));
  });
  Register(
      "base64_encode/" + label + "/lookup_table", size,
      [input, size, same] { return same(TableEncode(input->bytes.data(), size) == input->text); },
      [input, size] { benchmark::DoNotOptimize(TableEncode(input->bytes.data(), size)); });
  Register("base64_encode/" + label + "/memcpy", size, ok, [input, size] {
    std::memcpy(input->scratch.data(), input->bytes.data(), size);
    benchmark::ClobberMemory();
  });
  Register(
      "base64_decode/" + label + "/ours", text.size(),
      [input, same] { return same(dul::Base64Decode(input->text) == input->bytes); },
      [input] { benchmark::DoNotOptimize(dul::Base64Decode(input->text)); });
  Register(
      "base64_decode/" + label + "/lookup_table", text.size(),
      [input, same] { return same(TableDecode(input->text) == input->bytes); },
      [input] { benchmark::DoNotOptimize(TableDecode(input->text)); });
  Register("base64_decode/" + label + "/memcpy", text.size(), ok, [input] {
    std::memcpy(input->scratch.data(), input->text.data(), input->text.size());
    benchmark::ClobberMemory();
  });
}

}  // namespace

void RegisterBase64Benchmarks() {
  RegisterSize(1024, "1k");
  RegisterSize(64 * 1024, "64k");
  RegisterSize(1024 * 1024, "1m");
}

}  // namespace dul::bench
