// BindingFieldConverter: converts one field of a native record, of one native type, to and from
// a BindingProperty. A field descriptor owns one; the record walk goes through it for custom
// fields and kinds the walk does not know. Outcomes travel in the BindingResult, never thrown.
#pragma once

#include <cstddef>
#include <string_view>

namespace Zorv {

class BindingProperty;
class BindingResult;
class BindingTypeRegistry;
struct BindingTypeDescriptor;

class BindingFieldConverter {
 public:
  BindingFieldConverter() = default;
  BindingFieldConverter(const BindingFieldConverter&) = delete;
  BindingFieldConverter& operator=(const BindingFieldConverter&) = delete;

  // Reads input into the native field under the given name. Does nothing when result has
  // already failed. referenced is the shape's registered descriptor (may be null); position
  // is where the input sits in its container, 0 for a member.
  virtual void FromBinding(BindingResult& result, void* field, const BindingProperty& input,
                           std::string_view name, const BindingTypeDescriptor* referenced,
                           const BindingTypeRegistry& registry, std::size_t position) const = 0;

  // Writes the native field into `target` in place; a failure goes to result, after which
  // target is not touched again.
  virtual void WriteBinding(BindingResult& result, BindingProperty& target, const void* field,
                            const BindingTypeDescriptor* referenced,
                            const BindingTypeRegistry& registry) const = 0;

  virtual ~BindingFieldConverter() = default;
};

}  // namespace Zorv
