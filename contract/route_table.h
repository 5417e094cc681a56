// RouteTable: one plugin's routes as both sides of the contract choose among them. The plugin's
// Remoting dispatches by it and the host's endpoint router picks with it, so that a request always
// reaches the same route on either side.
//
//   RouteTable table;
//   table.Add(MethodCode(RequestMethod::kGet), "", "/items/{id}");
//   std::vector<std::string_view> captures;
//   if (auto index = table.Choose(2, "", "/items/7", captures)) ... captures[0] == "7"
//
// The choice: among the routes whose method agrees (code 0 takes any method, code 8 also compares
// the method text) and whose template matches the whole path, the one that captures the fewest
// characters; the earliest on a tie. A route marked GET-and-HEAD-only takes no other method.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contract/route_template.h"

namespace dul {

struct Route {
  std::uint32_t method = 0;  // 0 any, 1 DELETE ... 7 PUT, 8 named by methodText
  std::string methodText;    // for method 8; empty otherwise
  RouteTemplate path;
  bool getAndHeadOnly = false;
};

class RouteTable {
 public:
  void Add(std::uint32_t method, std::string_view methodText, std::string_view pathTemplate,
           bool getAndHeadOnly = false);

  std::size_t size() const { return routes_.size(); }
  const Route& operator[](std::size_t index) const { return routes_[index]; }

  // The chosen route among [first, last), or nothing; `captures` then holds its placeholder
  // values, views into `path`.
  std::optional<std::size_t> Choose(
      std::uint32_t method, std::string_view methodText, std::string_view path,
      std::vector<std::string_view>& captures, std::size_t first = 0,
      std::size_t last = std::numeric_limits<std::size_t>::max()) const;

 private:
  std::vector<Route> routes_;
};

}  // namespace dul
