#include "host/core/endpoint_router.h"

#include <set>
#include <string>
#include <vector>

#include "contract/request_method.h"

namespace dul::host {

EndpointRouter::EndpointRouter(const DulEndpointTable* table) {
  if (table == nullptr || table->endpoints == nullptr)
    return;
  for (std::uint32_t i = 0; i < table->count; ++i) {
    const DulEndpointRecord& record = table->endpoints[i];
    routes_.Add(record.method, record.methodText ? record.methodText : "",
                record.pathTemplate ? record.pathTemplate : "");
  }
}

std::optional<std::uint32_t> EndpointRouter::Choose(std::uint32_t method,
                                                    std::string_view methodText,
                                                    std::string_view path) const {
  std::vector<std::string_view> captures;
  const std::optional<std::size_t> chosen = routes_.Choose(method, methodText, path, captures);
  if (!chosen)
    return std::nullopt;
  return static_cast<std::uint32_t>(*chosen);
}

std::string EndpointRouter::AllowedMethods(std::string_view path) const {
  std::set<std::string> methods;
  std::vector<std::string_view> captures;
  for (std::size_t i = 0; i < routes_.size(); ++i) {
    const Route& route = routes_[i];
    if (route.method != 0 && route.path.Match(path, captures))
      methods.insert(route.method == MethodCode(RequestMethod::kOther)
                         ? route.methodText
                         : std::string(MethodName(route.method)));
  }
  std::string joined;
  for (const std::string& method : methods)
    joined += (joined.empty() ? "" : ", ") + method;
  return joined;
}

}  // namespace dul::host
