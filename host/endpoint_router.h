// EndpointRouter: picks which of the plugin's endpoints answers a request, as the plugin's own
// routing would: among the endpoints whose method agrees and whose template matches the whole
// path, the one that captures the fewest characters; the earliest on a tie.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/host_contract.h"
#include "runtime/route_template.h"

namespace dul::host {

class EndpointRouter {
 public:
  EndpointRouter() = default;
  // Compiles every endpoint's template once; a null table has no endpoints.
  explicit EndpointRouter(const DulEndpointTable* table);

  std::optional<std::uint32_t> Choose(std::uint32_t method, std::string_view methodText,
                                      std::string_view path) const;
  std::size_t size() const { return endpoints_.size(); }

 private:
  struct Endpoint {
    std::uint32_t method;
    std::string methodText;
    RouteTemplate path;
  };
  bool MethodAgrees(const Endpoint& endpoint, std::uint32_t method,
                    std::string_view methodText) const;

  std::vector<Endpoint> endpoints_;
};

}  // namespace dul::host
