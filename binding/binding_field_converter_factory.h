// The one place where a field registered through BindingTypeBuilder::AddField<Field> gets its
// converter object: the native conversion of its type.
#pragma once

#include <memory>

#include "binding/binding_field_converter.h"
#include "binding/native_conversion.h"

namespace Zorv {

template <class Field>
std::unique_ptr<BindingFieldConverter> MakeFieldConverter() {
  return std::make_unique<TypedFieldConverter<Field>>();
}

}  // namespace Zorv
