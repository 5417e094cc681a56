// FNV-1a, 32-bit: the one string hash of the system (type identities, interned strings, tables).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dul {

constexpr std::uint32_t Fnv1a(std::string_view text) {
  std::uint32_t hash = 0x811C9DC5u;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

// Hasher for the runtime's string-keyed tables.
struct Fnv1aHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const { return Fnv1a(text); }
};

static_assert(Fnv1a("") == 0x811C9DC5u);
static_assert(Fnv1a("a") == 0xE40C292Cu);

}  // namespace dul
