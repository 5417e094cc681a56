#include "host/core/endpoint_router.h"

#include <string>
#include <vector>

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

}  // namespace dul::host
