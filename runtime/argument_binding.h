// Binding request values to a function's arguments: each value arrives as a key and a text (from
// the path, the query or the body) and lands in the BindingProperty of the argument it names,
// decoded by its content type. Conversion to native types happens afterwards, when the function
// is called.
//
//   ArgumentBinder binder("PutItemSets", function.arguments);
//   BindingResult binding;
//   binder.PresetFlags();
//   binder.BindText(binding, "summonerId", "42", "", ArgumentLocation::kPath);
//   if (!binding.ok()) return binding.ErrorText();  // "Unknown argument 'x' for 'PutItemSets'."
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_result.h"
#include "binding/binding_type_kind.h"

namespace dul {

// Where a value comes from; an argument bound to one location refuses values from the others.
// Number 3 is not used.
enum class ArgumentLocation : std::uint32_t {
  kAny = 0,
  kQuery = 1,
  kPath = 2,
  kCall = 4,  // values the request record carries for the call; this host sends none
  kBody = 5,
};

struct ArgumentDescriptor {
  std::string name;
  std::uint32_t nameHash = 0;  // FNV-1a of the name
  std::string description;
  Zorv::BindingTypeShape shape;
  bool optional = false;  // when no value comes, the native argument keeps its default
  ArgumentLocation location = ArgumentLocation::kAny;
  // The identity of the registered enum or record the shape refers to, 0 when none; the shape's
  // descriptor is looked up from it when the function is registered.
  std::uint32_t referencedIdentity = 0;
};

// "+" becomes a blank and "%" with two hexadecimal digits the byte they give; a "%" followed by
// fewer than two characters, or by anything but two hexadecimal digits, is kept as it is.
std::string PercentDecode(std::string_view text);

// Decodes a request body by its content type (case-insensitive, on the type's own length):
// MessagePack, JSON or YAML. A failure goes into `result`, naming the argument and the function.
Zorv::BindingProperty DecodeBody(Zorv::BindingResult& result, std::string_view bytes,
                                 std::string_view contentType, std::string_view argumentName,
                                 std::string_view functionName);

class ArgumentBinder {
 public:
  ArgumentBinder(std::string_view functionName, std::span<const ArgumentDescriptor> arguments);

  // Sets every required bool argument to false, so that a flag left out reads as false.
  void PresetFlags();

  // Binds one value. The key names the argument, optionally followed by "." and a path of member
  // names and element indexes inside it. Does nothing once `result` has failed.
  void BindText(Zorv::BindingResult& result, std::string_view key, std::string_view text,
                std::string_view contentType, ArgumentLocation from);

  // The argument that takes the request body, or null when the function has none.
  const ArgumentDescriptor* BodyArgument() const;
  // Stores an already decoded body in the body argument.
  void BindBody(Zorv::BindingResult& result, Zorv::BindingProperty body);

  // One value per argument, in argument order; "empty" where nothing was bound.
  std::span<const Zorv::BindingProperty> values() const { return values_; }
  std::span<Zorv::BindingProperty> values() { return values_; }

 private:
  const ArgumentDescriptor* Find(std::string_view name, std::size_t& index) const;
  void BindWhole(Zorv::BindingResult& result, std::size_t index, std::string_view text,
                 std::string_view contentType);
  void BindInside(Zorv::BindingResult& result, std::size_t index, std::string_view subPath,
                  std::string_view text, std::string_view contentType);

  std::string_view functionName_;
  std::span<const ArgumentDescriptor> arguments_;
  std::vector<Zorv::BindingProperty> values_;
};

}  // namespace dul
