#include "binding/builtin_types.h"

#include <cstddef>

#include "binding/binding_type_builder.h"
#include "binding/binding_type_registry.h"

namespace Zorv {
namespace {

constexpr std::string_view kBuiltinTag = "$builtin";
constexpr std::string_view kHelpTag = "help";
constexpr std::string_view kAsyncTag = "async";

// Begins a built-in type with its description and tags.
template <class T>
BindingTypeBuilder BeginBuiltin(BindingTypeRegistry& registry, std::string_view name,
                                std::string_view description, std::string_view secondTag = {}) {
  BindingTypeBuilder builder = BeginType<T>(registry, name);
  builder.SetDescription(description).AddTag(kBuiltinTag);
  if (!secondTag.empty()) {
    builder.AddTag(secondTag);
  }
  return builder;
}

void RegisterHelpFormat(BindingTypeRegistry& registry) {
  BeginBuiltin<BindingHelpFormat>(registry, "BindingHelpFormat",
                                  "Help format for binding functions and types.", kHelpTag)
      .AddEnumValue("Full", 1, "Native help format")
      .AddEnumValue("Epytext", 2, "Python epytext format");
}

void RegisterArgumentAndFunctionHelp(BindingTypeRegistry& registry) {
  using Identifier = BindingFullTypeIdentifier;
  BeginBuiltin<Identifier>(registry, "BindingFullTypeIdentifier", "Describes the type of a value.",
                           kHelpTag)
      .AddField("type", "", &Identifier::type)
      .AddField("elementType", "", &Identifier::elementType);

  using Argument = BindingFullArgumentHelp;
  BeginBuiltin<Argument>(registry, "BindingFullArgumentHelp", "Describes a function parameter.",
                         kHelpTag)
      .AddField("name", "", &Argument::name)
      .AddField("description", "", &Argument::description)
      .AddField("type", "", &Argument::type)
      .AddField("optional", "", &Argument::optional);

  using Function = BindingFullFunctionHelp;
  BeginBuiltin<Function>(registry, "BindingFullFunctionHelp", "Describes a function.", kHelpTag)
      .AddField("name", "", &Function::name)
      .AddField("nameSpace", "", &Function::nameSpace)
      .AddField("arguments", "", &Function::arguments)
      .AddField("returns", "", &Function::returns)
      .AddField("description", "", &Function::description)
      .AddField("help", "", &Function::help)
      .AddField("threadSafe", "", &Function::threadSafe)
      .AddField("async", "", &Function::async)
      .AddField("tags", "", &Function::tags);
}

void RegisterTypeAndEventHelp(BindingTypeRegistry& registry) {
  using EnumValue = BindingFullEnumValueHelp;
  BeginBuiltin<EnumValue>(registry, "BindingFullEnumValueHelp", "Describes an enumerator.",
                          kHelpTag)
      .AddField("name", "", &EnumValue::name)
      .AddField("description", "", &EnumValue::description)
      .AddField("value", "", &EnumValue::value);

  using Field = BindingFullFieldHelp;
  BeginBuiltin<Field>(registry, "BindingFullFieldHelp", "Describes a member of a struct.", kHelpTag)
      .AddField("name", "", &Field::name)
      .AddField("description", "", &Field::description)
      .AddField("offset", "", &Field::offset)
      .AddField("type", "", &Field::type)
      .AddField("optional", "", &Field::optional);

  using Type = BindingFullTypeHelp;
  BeginBuiltin<Type>(registry, "BindingFullTypeHelp", "Describes a struct or enum type.", kHelpTag)
      .AddField("name", "", &Type::name)
      .AddField("nameSpace", "", &Type::nameSpace)
      .AddField("size", "", &Type::size)
      .AddField("description", "", &Type::description)
      .AddField("tags", "", &Type::tags)
      .AddField("fields", "", &Type::fields)
      .AddField("values", "", &Type::values);

  using Event = BindingFullEventHelp;
  BeginBuiltin<Event>(registry, "BindingFullEventHelp", "Describes an event.", kHelpTag)
      .AddField("name", "", &Event::name)
      .AddField("nameSpace", "", &Event::nameSpace)
      .AddField("type", "", &Event::type)
      .AddField("description", "", &Event::description)
      .AddField("tags", "", &Event::tags);

  using Api = BindingFullApiHelp;
  BeginBuiltin<Api>(registry, "BindingFullApiHelp", "Describes the exposed native API.", kHelpTag)
      .AddField("functions", "", &Api::functions)
      .AddField("types", "", &Api::types)
      .AddField("events", "", &Api::events);
}

void RegisterAsyncState(BindingTypeRegistry& registry) {
  BeginBuiltin<BindingAsyncState>(registry, "BindingAsyncState",
                                  "Possible states of an asynchronous operation.", kAsyncTag)
      .AddEnumValue("None", 0, "Invalid state")
      .AddEnumValue("Running", 1, "The operation is in flight")
      .AddEnumValue("Cancelling", 2, "A request to cancel the operation has been made")
      .AddEnumValue("Cancelled", 3, "The operation was cancelled")
      .AddEnumValue("Succeeded", 4, "The operation completed successfully")
      .AddEnumValue("Failed", 5, "The operation encountered an error");
}

void RegisterEventRecords(BindingTypeRegistry& registry) {
  constexpr std::string_view kToken = "Asynchronous operation token";
  BeginBuiltin<BindingGenericEvent>(registry, "BindingGenericEvent",
                                    "Represents generic data for an event.")
      .AddField("data", "Event data", &BindingGenericEvent::data);

  BeginBuiltin<BindingCallbackEvent>(registry, "BindingCallbackEvent",
                                     "Represents the parameters of a call to a provided callback.")
      .AddField("id", "ID of the callback being invoked", &BindingCallbackEvent::id)
      .AddField("parameters", "Callback parameters", &BindingCallbackEvent::parameters);

  BeginBuiltin<BindingGenericAsyncEvent>(registry, "BindingGenericAsyncEvent",
                                         "Represents generic data for an asynchronous event.",
                                         kAsyncTag)
      .AddField("asyncToken", kToken, &BindingGenericAsyncEvent::asyncToken)
      .AddField("data", "Event data", &BindingGenericAsyncEvent::data);

  BeginBuiltin<BindingAsyncFailureEvent>(registry, "BindingAsyncFailureEvent",
                                         "Represents a failed asynchronous operation.", kAsyncTag)
      .AddField("asyncToken", kToken, &BindingAsyncFailureEvent::asyncToken)
      .AddField("error", "Error message", &BindingAsyncFailureEvent::error);

  BeginBuiltin<BindingAsyncCancelEvent>(registry, "BindingAsyncCancelEvent",
                                        "Represents a cancelled asynchronous operation.", kAsyncTag)
      .AddField("asyncToken", kToken, &BindingAsyncCancelEvent::asyncToken);
}

}  // namespace

void RegisterBuiltins(BindingTypeRegistry& registry) {
  RegisterHelpFormat(registry);
  RegisterArgumentAndFunctionHelp(registry);
  RegisterTypeAndEventHelp(registry);
  RegisterAsyncState(registry);
  RegisterEventRecords(registry);
  registry.RegisterEvent("OnCallback", StaticType::HashCode<BindingCallbackEvent>(),
                         "Fired when a callback is invoked.", {std::string(kBuiltinTag)});
}

}  // namespace Zorv
