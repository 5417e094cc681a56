// ValueVisitor: the shape every writer of BindingProperty values has. A walk visits a collection
// as StartArray, then BeginElement, the element, EndElement for each element, then EndArray; a
// structure as StartObject, then Key, the value, EndMember for each member (in name order), then
// EndObject. Every operation has a default that does nothing, so a writer overrides only what it
// needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "binding/binding_property.h"

namespace Zorv {

class ValueVisitor {
 public:
  virtual void Null() {}
  virtual void Bool(bool) {}
  virtual void Int64(std::int64_t) {}
  virtual void Uint64(std::uint64_t) {}
  virtual void Double(double) {}
  virtual void String(std::string_view) {}
  virtual void Blob(std::span<const std::uint8_t>) {}
  virtual void Enum(BindingEnumCell) {}
  virtual void StartArray(std::size_t /*count*/) {}
  virtual void BeginElement() {}
  virtual void EndElement() {}
  virtual void EndArray() {}
  virtual void StartObject(std::size_t /*count*/) {}
  virtual void Key(std::string_view) {}
  virtual void EndMember() {}
  virtual void EndObject() {}
  virtual ~ValueVisitor() = default;
};

// Walks a value depth first, calling the visitor for every part. The walk keeps its own stack,
// so a deeply nested value cannot exhaust the thread's stack.
void WalkValue(const BindingProperty& value, ValueVisitor& visitor);

}  // namespace Zorv
