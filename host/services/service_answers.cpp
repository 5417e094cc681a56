#include "host/services/service_answers.h"

#include <utility>

#include "binding/binding_result.h"
#include "codecs/json_reader.h"
#include "foundation/ascii_case.h"

namespace dul::host {

PeerAnswer NotFound(const PeerRequest& request) {
  return PeerAnswer::Error(404, "Not Found: " + request.path);
}

PeerAnswer MethodNotAllowed(const PeerRequest& request, std::string_view allowed) {
  return PeerAnswer::MethodNotAllowed(request.methodName, request.path, allowed);
}

PeerAnswer BadRequest(std::string message) {
  return PeerAnswer::Error(400, std::move(message));
}

bool IsJsonBodyType(std::string_view contentType) {
  std::string type = LowerAsciiCopy(contentType.substr(0, contentType.find(';')));
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t'))
    type.pop_back();
  return type.empty() || type == "application/json" || type.ends_with("+json");
}

PeerAnswer UnsupportedBodyType(std::string_view contentType) {
  return PeerAnswer::Error(415, "The body's type is " + std::string(contentType) +
                                    "; this route takes application/json (curl: -H "
                                    "'Content-Type: application/json')");
}

std::optional<Zorv::BindingProperty> ReadJsonBody(const PeerRequest& request, std::string& error) {
  if (request.body.find_first_not_of(" \t\r\n") == std::string::npos) {
    error = "A JSON body is required";
    return std::nullopt;
  }
  Zorv::BindingResult parsed = Zorv::ParseJson(request.body);
  if (!parsed.ok()) {
    error = "The body is not JSON: " + std::string(parsed.ErrorText());
    return std::nullopt;
  }
  return parsed.TakeValue();
}

bool SplitPath(std::string_view path, std::string_view prefix, std::string_view& rest) {
  if (path.size() <= prefix.size() || path.substr(0, prefix.size()) != prefix)
    return false;
  rest = path.substr(prefix.size());
  return true;
}

}  // namespace dul::host
