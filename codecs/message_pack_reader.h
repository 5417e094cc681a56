// ReadMessagePack: reads one MessagePack value into a BindingProperty, for request bodies and
// arguments sent as MessagePack. The reader never writes MessagePack.
//
//   const MessagePackReadResult read = ReadMessagePack(bytes, length);
//   if (!read.result.ok()) return Fail(read.result.ErrorText());
//   if (read.consumed != length) return Fail("bytes after the value");
//
// Kinds: positive and negative fixint and int 8-64 read as "signed", uint 8-64 as "unsigned",
// float 32/64 as "float", nil as "empty", str as "string", bin as "blob", array as "collection",
// map as "structure". Map keys must be strings; a repeated key selects the same member again, so
// a later scalar replaces the earlier value while a later array extends an earlier collection
// and a later map merges into an earlier structure. Ext, fixext and 0xC1 are refused.
//
// Errors name byte offsets into the input: a truncated read names where the read starts (a
// string's or blob's first data byte); a refused format and nesting deeper than
// kMessagePackDepthLimit name the format byte; a key that is not a string names the byte after
// its format byte. On failure the result holds only the error and `consumed` is 0.
//
// The reader keeps its own stack of open containers, so input depth never reaches the thread's
// stack, and it gathers a container's values before it places them, so nothing is allocated for
// a declared count the input does not hold.
#pragma once

#include <cstddef>
#include <cstdint>

#include "binding/binding_result.h"

namespace Zorv {

inline constexpr std::size_t kMessagePackDepthLimit = 512;

struct [[nodiscard]] MessagePackReadResult {
  BindingResult result;
  // Bytes of the value read; what follows it is left to the caller.
  std::size_t consumed = 0;
};

MessagePackReadResult ReadMessagePack(const std::uint8_t* bytes, std::size_t length);

}  // namespace Zorv
