// Remoting: the plugin's endpoints. Routes pair a path template and a method with a function;
// a request delivered by the host is matched to a route, its path, query and body values are
// bound to the function's arguments, the function is called and its result becomes the response.
//
//   remoting.AddRoute("/dul-item-sets/v1/item-sets/{summonerId}/sets", RequestMethod::kGet,
//                     MakeFunction("GetItemSets", &ItemSetsPlugin::GetItemSets, this,
//                                  {PathArg("summonerId")}));
//   const DulEndpointTable& table = remoting.PublishEndpointTable(plugin, &DispatchEntry);
//
// Routes are registered while the plugin loads and never change afterwards; the endpoint table
// points into them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contract/host_contract.h"
#include "contract/route_table.h"
#include "runtime/remoting_function.h"

namespace Zorv {
class BindingTypeRegistry;
}

namespace dul {

struct RemotingRoute {
  RemotingFunction function;
};

// A request as the routing sees it, read from the host's record.
struct RemotingRequest {
  std::uint32_t method = 0;  // 1 to 8; any other code reads as 0
  std::string_view methodText;
  std::string_view path;   // the URL up to its first "?"
  std::string_view query;  // the rest after the "?", empty when there is none
  std::string_view contentType;
  bool hasBody = false;
  DulBindingValueRecord body{};  // the one argument of a request with a body
};

RemotingRequest ReadRemotingRequest(const DulHostRequestRecord& record);

class Remoting {
 public:
  using DispatchFunction = void(DUL_CALL*)(DulPluginObject plugin, DulHostResponseRecord* response,
                                           const DulHostRequestRecord* request);

  // `defaultTags` are added to every function registered; they are read at registration.
  Remoting(const Zorv::BindingTypeRegistry& registry, const std::vector<std::string>& defaultTags);
  Remoting(const Remoting&) = delete;
  Remoting& operator=(const Remoting&) = delete;

  // Compiles the template and appends the route. The function takes the route's method; its
  // methodText names the method when that is RequestMethod::kOther.
  void AddRoute(std::string_view pathTemplate, RequestMethod method, RemotingFunction function,
                std::string_view getHeadOnlyText = {});

  std::size_t routeCount() const { return routes_.size(); }
  const RemotingRoute& route(std::size_t index) const { return *routes_[index]; }
  // Method, template and GET-and-HEAD mark of every route, in registration order.
  const RouteTable& routeTable() const { return routeTable_; }

  // Answers a request from all routes, as RouteTable chooses. Without a match: 404 "Invalid
  // function".
  void Dispatch(DulHostResponseRecord* response, const DulHostRequestRecord& request) const;

  // Answers a request the host delivers for endpoint request->endpointIndex of the published
  // table: that route alone is matched. An index out of range answers 404 "Invalid function".
  // Never throws.
  void DispatchEndpoint(DulHostResponseRecord* response,
                        const DulHostRequestRecord* request) const noexcept;

  // Builds the table handed to the host: one record per route, in registration order, pointing
  // into the routes. Call once registration is over; the table lives as long as this object.
  const DulEndpointTable& PublishEndpointTable(DulPluginObject plugin, DispatchFunction dispatch);
  const DulEndpointTable& endpointTable() const { return table_; }

 private:
  void Answer(DulHostResponseRecord* response, const DulHostRequestRecord& record,
              std::size_t first, std::size_t last) const;
  CallResult Call(std::size_t index, const RemotingRequest& request,
                  const std::vector<std::string_view>& captures) const;

  const Zorv::BindingTypeRegistry& registry_;
  const std::vector<std::string>& defaultTags_;
  RouteTable routeTable_;
  std::vector<std::unique_ptr<RemotingRoute>> routes_;
  std::vector<DulEndpointRecord> endpointRecords_;
  DulEndpointTable table_{};
};

}  // namespace dul
