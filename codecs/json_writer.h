// WriteJson: a BindingProperty as JSON text.
//
//   std::string compact = WriteJson(value, nullptr, nullptr);     // {"a":1,"b":[true,null]}
//   std::string lines = WriteJson(value, &registry, "\r\n");      // indented by 4, CR LF lines
//
// Members come out in byte order of their names; blobs as padded standard Base64 strings; enums
// as their name when `registry` knows the type and value, otherwise as their number; floats in
// the shortest form that reads back to the same double (1.0 keeps its ".0"), NaN and the
// infinities as null, which any JSON reader accepts. An "empty" value at the top is the empty
// text; inside a container it is null. A null or empty `separator` gives the compact form; any
// other gives the indented form with each line break written as `separator`.
#pragma once

#include <optional>
#include <string>

#include "binding/binding_property.h"
#include "contract/host_contract.h"

namespace Zorv {

class BindingTypeRegistry;

std::string WriteJson(const BindingProperty& value, const BindingTypeRegistry* registry,
                      const char* separator);

// The compact text WriteJson gives for the value ReadValueRecord reads from `record`, written
// from the record itself; nothing for a record that WalkRecordWith does not take (record_walk.h)
// or whose top is "empty".
std::optional<std::string> WriteRecordJson(const DulBindingValueRecord& record);

}  // namespace Zorv
