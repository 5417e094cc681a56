// Requests to other plugins' resources through the host, synchronous, with native bodies and
// typed results. Every function reports failure as a RequestError value; nothing is logged.
//
//   RequestResult<GameDataChampion> champion =
//       RequestValue<GameDataChampion>(plugin, RequestMethod::kGet, url);
#pragma once

#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/binding_property.h"
#include "binding/native_conversion.h"
#include "contract/host_contract.h"
#include "contract/request_method.h"
#include "runtime/plugin_core.h"
#include "runtime/request_error.h"

namespace dul {

// Named values that become the members of one structure, in list order.
using RequestArguments = std::vector<std::pair<std::string, Zorv::BindingProperty>>;

// Lets the host run other work while the plugin waits: enter wait, yield, leave wait.
void WaitYield(PluginCore& plugin);

// Calls the response's release function, when it has one, exactly once.
void ReleaseResponse(DulHostResponseRecord& response);

// Sends without a body; the caller owns the response and releases it (ReleaseResponse).
RequestOutcome SendRequest(PluginCore& plugin, DulHostResponseRecord& response,
                           RequestMethod method, std::string_view url);

// Sends a body that is already a BindingProperty, or the conversion failure in `body`.
RequestOutcome SendRequestBody(PluginCore& plugin, DulHostResponseRecord& response,
                               RequestMethod method, std::string_view url,
                               const Zorv::BindingResult& body);

// Sends a native body, converted with the plugin's type registry.
template <class Body>
RequestOutcome SendRequest(PluginCore& plugin, DulHostResponseRecord& response,
                           RequestMethod method, std::string_view url, const Body& body) {
  Zorv::BindingResult converted;
  Zorv::ToBinding(converted, body, plugin.typeRegistry());
  return SendRequestBody(plugin, response, method, url, converted);
}

RequestOutcome SendRequestWithArguments(PluginCore& plugin, DulHostResponseRecord& response,
                                        RequestMethod method, std::string_view url,
                                        const RequestArguments& arguments);

// Sends with arguments and releases the answer unread.
RequestOutcome PostAndForget(PluginCore& plugin, RequestMethod method, std::string_view url,
                             const RequestArguments& arguments);

// Reads a sent request's answer (streamed JSON or body record) as a BindingProperty, then
// releases the response, whatever happened.
RequestResult<Zorv::BindingProperty> ReadResponseValue(PluginCore& plugin,
                                                       DulHostResponseRecord& response,
                                                       RequestMethod method, std::string_view url);

// The error of an answer that could not be converted to the requested type.
RequestError ConversionError(RequestMethod method, std::string_view url, std::string_view error);

// Converts a read answer to T under the name "<result>".
template <class T>
RequestResult<T> TypedResult(PluginCore& plugin, RequestResult<Zorv::BindingProperty> read,
                             RequestMethod method, std::string_view url) {
  if (!read.ok())
    return read.error();
  if constexpr (std::is_same_v<T, Zorv::BindingProperty>) {
    return std::move(read.value());
  } else {
    T value{};
    Zorv::BindingResult converted;
    Zorv::FromBinding(converted, value, read.value(), "<result>", plugin.typeRegistry());
    if (!converted.ok())
      return ConversionError(method, url, converted.ErrorText());
    return value;
  }
}

template <class T>
RequestResult<T> RequestValue(PluginCore& plugin, RequestMethod method, std::string_view url) {
  DulHostResponseRecord response{};
  if (RequestOutcome sent = SendRequest(plugin, response, method, url)) {
    ReleaseResponse(response);
    return std::move(*sent);
  }
  return TypedResult<T>(plugin, ReadResponseValue(plugin, response, method, url), method, url);
}

template <class T, class Body>
RequestResult<T> RequestValue(PluginCore& plugin, RequestMethod method, std::string_view url,
                              const Body& body) {
  DulHostResponseRecord response{};
  if (RequestOutcome sent = SendRequest(plugin, response, method, url, body)) {
    ReleaseResponse(response);
    return std::move(*sent);
  }
  return TypedResult<T>(plugin, ReadResponseValue(plugin, response, method, url), method, url);
}

}  // namespace dul
