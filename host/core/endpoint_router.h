// EndpointRouter: picks which of the plugin's endpoints answers a request, with the route choice
// the plugin's own routing makes (contract/route_table.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "contract/host_contract.h"
#include "contract/route_table.h"

namespace dul::host {

class EndpointRouter {
 public:
  EndpointRouter() = default;
  // Compiles every endpoint's template once; a null table has no endpoints.
  explicit EndpointRouter(const DulEndpointTable* table);

  std::optional<std::uint32_t> Choose(std::uint32_t method, std::string_view methodText,
                                      std::string_view path) const;
  // The methods of the endpoints whose template matches `path`, sorted and joined ("GET, PUT");
  // empty when none matches.
  std::string AllowedMethods(std::string_view path) const;
  std::size_t size() const { return routes_.size(); }
  // The endpoints in the table's order, for describing them.
  const RouteTable& routes() const { return routes_; }

 private:
  RouteTable routes_;
};

}  // namespace dul::host
