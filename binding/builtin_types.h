// The types every plugin's registry knows under the same names before the plugin registers its
// own: asynchronous operation states and events, generic and callback events, and the help
// records that describe a plugin's exposed functions, types and events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/binding_property.h"
#include "binding/type_spelling.h"

namespace Zorv {

class BindingTypeRegistry;

enum class BindingAsyncState : std::int32_t {
  kNone = 0,
  kRunning = 1,
  kCancelling = 2,
  kCancelled = 3,
  kSucceeded = 4,
  kFailed = 5,
};

struct BindingGenericEvent {
  BindingProperty data;
};

struct BindingCallbackEvent {
  std::uint32_t id = 0;
  std::vector<BindingProperty> parameters;
};

struct BindingGenericAsyncEvent {
  std::uint32_t asyncToken = 0;
  BindingProperty data;
};

struct BindingAsyncFailureEvent {
  std::uint32_t asyncToken = 0;
  std::string error;
};

struct BindingAsyncCancelEvent {
  std::uint32_t asyncToken = 0;
};

enum class BindingHelpFormat : std::int32_t {
  kFull = 1,
  kEpytext = 2,
};

// A type by its BindingTypeKind text, and for a vector or map the element's kind text.
struct BindingFullTypeIdentifier {
  std::string type;
  std::string elementType;
};

struct BindingFullArgumentHelp {
  std::string name;
  std::string description;
  BindingFullTypeIdentifier type;
  bool optional = false;
};

struct BindingFullFunctionHelp {
  std::string name;
  std::string nameSpace;
  std::vector<BindingFullArgumentHelp> arguments;
  BindingFullTypeIdentifier returns;
  std::string description;
  std::string help;
  bool threadSafe = false;
  std::string async;
  std::vector<std::string> tags;
};

struct BindingFullEnumValueHelp {
  std::string name;
  std::string description;
  std::int32_t value = 0;
};

struct BindingFullFieldHelp {
  std::string name;
  std::string description;
  std::uint32_t offset = 0;
  BindingFullTypeIdentifier type;
  bool optional = false;
};

struct BindingFullTypeHelp {
  std::string name;
  std::string nameSpace;
  std::uint32_t size = 0;
  std::string description;
  std::vector<std::string> tags;
  std::vector<BindingFullFieldHelp> fields;
  std::vector<BindingFullEnumValueHelp> values;
};

struct BindingFullEventHelp {
  std::string name;
  std::string nameSpace;
  BindingFullTypeIdentifier type;
  std::string description;
  std::vector<std::string> tags;
};

struct BindingFullApiHelp {
  std::vector<BindingFullFunctionHelp> functions;
  std::vector<BindingFullTypeHelp> types;
  std::vector<BindingFullEventHelp> events;
};

// Registers the help types, then the asynchronous and event types, then the event
// "OnCallback". Types already registered under these names are left as they are.
void RegisterBuiltins(BindingTypeRegistry& registry);

}  // namespace Zorv

DUL_BINDING_TYPE_NAME(enum, Zorv::BindingAsyncState);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingGenericEvent);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingCallbackEvent);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingGenericAsyncEvent);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingAsyncFailureEvent);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingAsyncCancelEvent);
DUL_BINDING_TYPE_NAME(enum, Zorv::BindingHelpFormat);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingFullTypeIdentifier);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingFullArgumentHelp);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingFullFunctionHelp);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingFullEnumValueHelp);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingFullFieldHelp);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingFullTypeHelp);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingFullEventHelp);
DUL_BINDING_TYPE_NAME(struct, Zorv::BindingFullApiHelp);
