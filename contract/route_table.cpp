#include "contract/route_table.h"

#include <algorithm>

#include "contract/request_method.h"

namespace dul {
namespace {

constexpr std::uint32_t kMethodNamed = MethodCode(RequestMethod::kOther);

bool IsGetOrHead(std::uint32_t method) {
  return method == MethodCode(RequestMethod::kGet) || method == MethodCode(RequestMethod::kHead);
}

bool MethodAgrees(const Route& route, std::uint32_t method, std::string_view methodText) {
  if (route.getAndHeadOnly && !IsGetOrHead(method))
    return false;
  if (route.method == 0)
    return true;
  if (route.method != method)
    return false;
  return method != kMethodNamed || route.methodText == methodText;
}

std::size_t TotalLength(const std::vector<std::string_view>& captures) {
  std::size_t total = 0;
  for (const std::string_view capture : captures)
    total += capture.size();
  return total;
}

}  // namespace

void RouteTable::Add(std::uint32_t method, std::string_view methodText,
                     std::string_view pathTemplate, bool getAndHeadOnly) {
  routes_.push_back(
      Route{method, std::string(methodText), RouteTemplate::Compile(pathTemplate), getAndHeadOnly});
}

std::optional<std::size_t> RouteTable::Choose(std::uint32_t method, std::string_view methodText,
                                              std::string_view path,
                                              std::vector<std::string_view>& captures,
                                              std::size_t first, std::size_t last) const {
  std::optional<std::size_t> chosen;
  std::size_t chosenLength = 0;
  std::vector<std::string_view> candidate;
  for (std::size_t i = first; i < std::min(last, routes_.size()); ++i) {
    const Route& route = routes_[i];
    if (!MethodAgrees(route, method, methodText) || !route.path.Match(path, candidate))
      continue;
    const std::size_t length = TotalLength(candidate);
    if (!chosen || length < chosenLength) {
      chosen = i;
      chosenLength = length;
      captures = candidate;
    }
    if (chosenLength == 0)
      break;  // nothing can be more specific
  }
  return chosen;
}

}  // namespace dul
