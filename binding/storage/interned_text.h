// InternedText: one string cell of a storage's intern table: the bytes (NUL-terminated, and
// possibly holding NUL themselves), their FNV-1a hash and how many values refer to them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Zorv {

struct InternedText {
  InternedText* next;  // next cell of the same hash bucket
  std::uint32_t hash;
  std::uint32_t references;
  std::size_t length;
  // The bytes follow the header directly.

  const char* data() const { return reinterpret_cast<const char*>(this + 1); }
  std::string_view view() const { return {data(), length}; }

  // The one cell of the empty string, shared by every storage and never counted.
  static InternedText* Empty();
};

struct EmptyInternedText {
  InternedText cell;
  char terminator;
};
inline constinit EmptyInternedText gEmptyInternedText{{nullptr, 0x811C9DC5u, 0, 0}, '\0'};
static_assert(offsetof(EmptyInternedText, terminator) == sizeof(InternedText));

inline InternedText* InternedText::Empty() {
  return &gEmptyInternedText.cell;
}

}  // namespace Zorv
