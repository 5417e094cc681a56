// Feeds arbitrary text to the Base64 decoder: it must never read out of bounds, it gives at most
// three bytes for every four characters, and what it gives encodes to text that decodes back to
// the same bytes. Arbitrary bytes encode to text of the alphabet and "=" only, which decodes back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/base64.h"

namespace {

void RequireRoundTrip(const std::vector<std::uint8_t>& bytes) {
  const std::string encoded = dul::Base64Encode(bytes.data(), bytes.size());
  if (encoded.size() != (bytes.size() + 2) / 3 * 4)
    __builtin_trap();
  if (encoded.find_first_not_of(std::string(dul::kBase64Alphabet) + "=") != std::string::npos)
    __builtin_trap();
  if (dul::Base64Decode(encoded) != bytes)
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::uint8_t> decoded = dul::Base64Decode(text);
  if (decoded.size() > size * 3 / 4)
    __builtin_trap();
  RequireRoundTrip(decoded);
  RequireRoundTrip(std::vector<std::uint8_t>(data, data + size));
  return 0;
}
