#include "binding/binding_property_kind.h"

namespace Zorv {

std::string_view BindingPropertyKindName(std::uint32_t kind) {
  static constexpr std::string_view kNames[] = {"empty",      "bool",     "signed", "unsigned",
                                                "float",      "string",   "blob",   "enum",
                                                "collection", "structure"};
  return kind < std::size(kNames) ? kNames[kind] : std::string_view();
}

}  // namespace Zorv
