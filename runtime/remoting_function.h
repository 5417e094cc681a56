// RemotingFunction: a function that requests can call, described by its name, its arguments and
// tags, and invoked with the bound argument values. MakeFunction builds one from a member
// function or callable taking native arguments:
//
//   remoting.AddRoute("/dul-item-sets/v1/item-sets/{summonerId}/sets", RequestMethod::kPut,
//                     MakeFunction("PutItemSets", &ItemSetsPlugin::PutItemSets, this,
//                                  {PathArg("summonerId"), BodyArg("itemSets")}));
//
// The handler's arguments are converted from the bound values with the native conversion, under
// each argument's name; an optional argument that got no value keeps its native default. The
// handler returns a CallResult, a BindingResult, nothing (an empty success), or any native value
// (the body).
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/binding_shape_of.h"
#include "binding/native_conversion.h"
#include "contract/request_method.h"
#include "foundation/fnv1a.h"
#include "runtime/argument_binding.h"
#include "runtime/response_record.h"

namespace dul {

struct RemotingFunction;

// Calls the function with one bound value per argument; the values may be released once they
// are converted, so that a large body is not held through the call.
using RemotingInvoker = std::function<CallResult(std::span<Zorv::BindingProperty> values,
                                                 const RemotingFunction& function,
                                                 const Zorv::BindingTypeRegistry& registry)>;

struct RemotingFunction {
  std::string name;
  RequestMethod method = RequestMethod::kAny;  // set by AddRoute
  std::string methodText;                      // for RequestMethod::kOther
  std::vector<ArgumentDescriptor> arguments;
  std::vector<std::string> tags;
  RemotingInvoker invoke;
};

// How an argument is named and where its value may come from.
struct ArgumentDeclaration {
  std::string_view name;
  std::string_view description;
  ArgumentLocation location = ArgumentLocation::kAny;
  bool optional = false;

  ArgumentDeclaration Optional() const {
    ArgumentDeclaration declaration = *this;
    declaration.optional = true;
    return declaration;
  }
};

inline ArgumentDeclaration Arg(std::string_view name, std::string_view description = {}) {
  return ArgumentDeclaration{name, description, ArgumentLocation::kAny, false};
}
inline ArgumentDeclaration PathArg(std::string_view name, std::string_view description = {}) {
  return ArgumentDeclaration{name, description, ArgumentLocation::kPath, false};
}
inline ArgumentDeclaration QueryArg(std::string_view name, std::string_view description = {}) {
  return ArgumentDeclaration{name, description, ArgumentLocation::kQuery, false};
}
inline ArgumentDeclaration BodyArg(std::string_view name, std::string_view description = {}) {
  return ArgumentDeclaration{name, description, ArgumentLocation::kBody, false};
}

namespace remoting_detail {

template <class T>
using Native = std::remove_cvref_t<T>;

template <class T>
ArgumentDescriptor DescribeArgument(const ArgumentDeclaration& declaration) {
  ArgumentDescriptor argument;
  argument.name.assign(declaration.name);
  argument.nameHash = Fnv1a(declaration.name);
  argument.description.assign(declaration.description);
  argument.shape = {Zorv::BindingKindOf<T>(), Zorv::BindingElementKindOf<T>(), nullptr};
  argument.optional = declaration.optional;
  argument.location = declaration.location;
  using Referenced = typename Zorv::BindingReferencedType<T>::type;
  if constexpr (!std::is_void_v<Referenced>)
    argument.referencedIdentity = StaticType::HashCode<Referenced>().hash;
  return argument;
}

template <class T>
void ConvertArgument(Zorv::BindingResult& result, T& target, const Zorv::BindingProperty& value,
                     const ArgumentDescriptor& argument,
                     const Zorv::BindingTypeRegistry& registry) {
  if (!result.ok() || (argument.optional && value.IsEmpty()))
    return;
  Zorv::FromBinding(result, target, value, argument.name, registry);
}

// A failed conversion of the bound values is a failed binding: the default status applies.
inline CallResult BindingFailure(Zorv::BindingResult& conversion) {
  CallResult call;
  call.result = std::move(conversion);
  return call;
}

template <class Result>
CallResult ToCallResult(Result&& value, const Zorv::BindingTypeRegistry& registry) {
  if constexpr (std::is_same_v<Native<Result>, CallResult>) {
    return std::forward<Result>(value);
  } else if constexpr (std::is_same_v<Native<Result>, Zorv::BindingResult>) {
    CallResult call;
    call.result = std::move(value);
    return call;
  } else {
    CallResult call;
    Zorv::ToBinding(call.result, value, registry);
    if (!call.result.ok())
      call.status = kStatusInternalError;  // the handler's own value cannot be sent
    return call;
  }
}

template <class Result, class... Parameters, std::size_t... Index>
CallResult ConvertAndCall(const std::function<Result(Parameters...)>& handler,
                          [[maybe_unused]] std::span<Zorv::BindingProperty> values,
                          [[maybe_unused]] const RemotingFunction& function,
                          [[maybe_unused]] const Zorv::BindingTypeRegistry& registry,
                          std::index_sequence<Index...>) {
  std::tuple<Native<Parameters>...> natives;
  Zorv::BindingResult conversion;
  (ConvertArgument(conversion, std::get<Index>(natives), values[Index], function.arguments[Index],
                   registry),
   ...);
  if (!conversion.ok())
    return BindingFailure(conversion);
  for (Zorv::BindingProperty& value : values)
    value = Zorv::BindingProperty();  // converted: the handler works on the natives alone
  if constexpr (std::is_void_v<Result>) {
    handler(std::move(std::get<Index>(natives))...);
    return CallResult{};
  } else {
    return ToCallResult(handler(std::move(std::get<Index>(natives))...), registry);
  }
}

template <class Result, class... Parameters>
RemotingFunction Build(std::string_view name,
                       std::type_identity_t<std::function<Result(Parameters...)>> handler,
                       [[maybe_unused]] std::span<const ArgumentDeclaration> declarations) {
  RemotingFunction function;
  function.name.assign(name);
  [[maybe_unused]] std::size_t index = 0;
  (function.arguments.push_back(DescribeArgument<Native<Parameters>>(declarations[index++])), ...);
  function.invoke = [handler = std::move(handler)](std::span<Zorv::BindingProperty> values,
                                                   const RemotingFunction& described,
                                                   const Zorv::BindingTypeRegistry& registry) {
    if (values.size() != sizeof...(Parameters) ||
        described.arguments.size() != sizeof...(Parameters))
      return CallResult::Failure("Argument count mismatch", kStatusInternalError);
    return ConvertAndCall(handler, values, described, registry,
                          std::index_sequence_for<Parameters...>{});
  };
  return function;
}

// The parameters of a callable's one call operator.
template <class Callable>
struct CallableTraits : CallableTraits<decltype(&Callable::operator())> {};
template <class Class, class Result, class... Parameters>
struct CallableTraits<Result (Class::*)(Parameters...) const> {
  static constexpr std::size_t kArity = sizeof...(Parameters);
  template <class Handler>
  static RemotingFunction Make(std::string_view name, Handler handler,
                               std::span<const ArgumentDeclaration> declarations) {
    return Build<Result, Parameters...>(name, std::move(handler), declarations);
  }
};
template <class Class, class Result, class... Parameters>
struct CallableTraits<Result (Class::*)(Parameters...)>
    : CallableTraits<Result (Class::*)(Parameters...) const> {};

}  // namespace remoting_detail

// A member function of `object`, with one declaration per parameter.
template <class Object, class Result, class... Parameters, std::size_t Count>
RemotingFunction MakeFunction(std::string_view name, Result (Object::*method)(Parameters...),
                              Object* object, const ArgumentDeclaration (&declarations)[Count]) {
  static_assert(Count == sizeof...(Parameters), "one ArgumentDeclaration per parameter");
  return remoting_detail::Build<Result, Parameters...>(
      name,
      [object, method](Parameters... arguments) -> Result {
        return (object->*method)(std::forward<Parameters>(arguments)...);
      },
      declarations);
}

template <class Object, class Result>
RemotingFunction MakeFunction(std::string_view name, Result (Object::*method)(), Object* object) {
  return remoting_detail::Build<Result>(
      name, [object, method]() -> Result { return (object->*method)(); }, {});
}

// A lambda or other callable with a single call operator, with one declaration per parameter.
template <class Callable, std::size_t Count>
RemotingFunction MakeFunction(std::string_view name, Callable callable,
                              const ArgumentDeclaration (&declarations)[Count]) {
  using Traits = remoting_detail::CallableTraits<Callable>;
  static_assert(Count == Traits::kArity, "one ArgumentDeclaration per parameter");
  return Traits::Make(name, std::move(callable), declarations);
}

template <class Callable>
RemotingFunction MakeFunction(std::string_view name, Callable callable) {
  using Traits = remoting_detail::CallableTraits<Callable>;
  static_assert(Traits::kArity == 0,
                "a callable with parameters needs one ArgumentDeclaration each");
  return Traits::Make(name, std::move(callable), {});
}

}  // namespace dul
