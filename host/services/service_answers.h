// Answers and body reading shared by the simulated services.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "binding/binding_property.h"
#include "host/core/peer.h"

namespace dul::host {

// 404 "Not Found: <path>".
PeerAnswer NotFound(const PeerRequest& request);
// 405 naming the method, the path and the methods it allows ("GET, PUT").
PeerAnswer MethodNotAllowed(const PeerRequest& request, std::string_view allowed);
// 400 with `message`.
PeerAnswer BadRequest(std::string message);

// Whether a body of `contentType` is read as JSON: one without a type, "application/json" or
// another "+json" type, with or without parameters.
bool IsJsonBodyType(std::string_view contentType);
// 415 naming the type received and the one these services take.
PeerAnswer UnsupportedBodyType(std::string_view contentType);

// The request's body read as JSON; nothing, with `error` set, when it is missing or not JSON.
std::optional<Zorv::BindingProperty> ReadJsonBody(const PeerRequest& request, std::string& error);

// Whether `path` is `prefix` followed by a non-empty rest; the rest goes to `rest`.
bool SplitPath(std::string_view path, std::string_view prefix, std::string_view& rest);

}  // namespace dul::host
