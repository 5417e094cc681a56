#include "host/endpoint_router.h"

namespace dul::host {

namespace {
constexpr std::uint32_t kMethodAny = 0;
constexpr std::uint32_t kMethodNamed = 8;
}  // namespace

EndpointRouter::EndpointRouter(const DulEndpointTable* table) {
  if (table == nullptr || table->endpoints == nullptr)
    return;
  for (std::uint32_t i = 0; i < table->count; ++i) {
    const DulEndpointRecord& record = table->endpoints[i];
    endpoints_.push_back(
        Endpoint{record.method, record.methodText ? record.methodText : "",
                 RouteTemplate::Compile(record.pathTemplate ? record.pathTemplate : "")});
  }
}

bool EndpointRouter::MethodAgrees(const Endpoint& endpoint, std::uint32_t method,
                                  std::string_view methodText) const {
  if (endpoint.method == kMethodAny)
    return true;
  if (endpoint.method != method)
    return false;
  return method != kMethodNamed || endpoint.methodText == methodText;
}

std::optional<std::uint32_t> EndpointRouter::Choose(std::uint32_t method,
                                                    std::string_view methodText,
                                                    std::string_view path) const {
  std::optional<std::uint32_t> chosen;
  std::size_t chosenLength = 0;
  std::vector<std::string_view> captures;
  for (std::size_t i = 0; i < endpoints_.size(); ++i) {
    const Endpoint& endpoint = endpoints_[i];
    if (!MethodAgrees(endpoint, method, methodText) || !endpoint.path.Match(path, captures))
      continue;
    std::size_t length = 0;
    for (const std::string_view capture : captures)
      length += capture.size();
    if (!chosen || length < chosenLength) {
      chosen = static_cast<std::uint32_t>(i);
      chosenLength = length;
    }
    if (chosenLength == 0)
      break;  // nothing can be more specific
  }
  return chosen;
}

}  // namespace dul::host
