// ParseYaml: one YAML document into a BindingProperty, on libyaml's event parser.
//
//   BindingResult parsed = ParseYaml(body);
//   if (!parsed.ok())
//     return Fail(parsed.ErrorText());  // "YAML parser error: ... At line: 2 col: 5"
//
// Mappings become structures (keys must be string scalars), sequences collections, scalars are
// typed as codecs/yaml_scalar.h says. Aliases copy their anchor's value. A second document,
// nesting deeper than kMaxYamlDepth (aliases included) or aliases that would create more than
// kMaxYamlAliasValues values fail the read. Text without a document reads as "empty". On
// failure nothing of the partly built value is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/binding_result.h"

namespace Zorv {

inline constexpr std::size_t kMaxYamlDepth = 512;
inline constexpr std::uint64_t kMaxYamlAliasValues = 1000000;

BindingResult ParseYaml(std::string_view text);

}  // namespace Zorv
