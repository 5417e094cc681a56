// DescribeApi: the OpenAPI document dul-host serves at /dul-host/v1/openapi.json. Its static part
// (the host's and the services' routes, the schemas) comes from the data directory; the plugin's
// paths come from the loaded plugin's endpoint table, so the document cannot drift from it.
//
//   Zorv::BindingResult document = DescribeApi(sources, router.routes(), "http://127.0.0.1:2999",
//                                              "0.1.0");
#pragma once

#include <string_view>

#include "binding/binding_result.h"
#include "contract/route_table.h"

namespace dul::host {

inline constexpr const char* kApiDescriptionFile = "openapi.json";
inline constexpr const char* kPluginOperationsFile = "openapi-plugin-operations.json";

struct ApiDescriptionSources {
  std::string_view document;          // kApiDescriptionFile's text
  std::string_view pluginOperations;  // kPluginOperationsFile's text
};

// The document with one operation per endpoint and method: the operation `known` names for the
// endpoint's template and method, else `other`. An endpoint of any method is described under each
// method the HTTP front takes; one of a method OpenAPI cannot name is left out. Placeholders
// "{+name}" and "{#name}" appear as "{name}". An error names the source that is not JSON.
Zorv::BindingResult DescribeApi(const ApiDescriptionSources& sources, const RouteTable& endpoints,
                                std::string_view serverUrl, std::string_view hostVersion);

}  // namespace dul::host
