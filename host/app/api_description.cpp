#include "host/app/api_description.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "codecs/json_reader.h"
#include "contract/request_method.h"
#include "foundation/ascii_case.h"

namespace dul::host {
namespace {

using Zorv::BindingProperty;
using Zorv::BindingPropertyKind;

// The methods the HTTP front receives: an endpoint of any method answers each of them.
constexpr std::array<std::string_view, 6> kFrontMethods = {"get",    "put",   "post",
                                                           "delete", "patch", "options"};
// The operations a path item can hold.
constexpr std::array<std::string_view, 8> kOpenApiMethods = {"get",     "put",  "post",  "delete",
                                                             "options", "head", "patch", "trace"};

std::vector<std::string> OperationMethods(const Route& route) {
  if (route.method == MethodCode(RequestMethod::kAny))
    return {kFrontMethods.begin(), kFrontMethods.end()};
  const std::string name = LowerAsciiCopy(route.method == MethodCode(RequestMethod::kOther)
                                              ? std::string_view(route.methodText)
                                              : MethodName(route.method));
  if (std::find(kOpenApiMethods.begin(), kOpenApiMethods.end(), name) == kOpenApiMethods.end())
    return {};
  return {name};
}

bool CarriesBody(std::string_view method) {
  return method == "put" || method == "post" || method == "patch";
}

// OpenAPI writes every placeholder as "{name}": the "+" or "#" of the other kinds goes.
std::string OpenApiPath(std::string_view templateText) {
  std::string path;
  for (std::size_t i = 0; i < templateText.size(); ++i) {
    path += templateText[i];
    const bool marked =
        i + 1 < templateText.size() && (templateText[i + 1] == '+' || templateText[i + 1] == '#');
    if (templateText[i] == '{' && marked)
      ++i;
  }
  return path;
}

std::string_view PlaceholderText(PlaceholderKind kind) {
  switch (kind) {
    case PlaceholderKind::kReserved:
      return "Any text without line breaks; may span path segments";
    case PlaceholderKind::kFragment:
      return "\"#\" and the text after it";
    default:
      return "One path segment";
  }
}

BindingProperty PathParameters(const RouteTemplate& path) {
  BindingProperty parameters;
  parameters.SetCollection();
  for (const RoutePlaceholder& placeholder : path.placeholders()) {
    BindingProperty& parameter = parameters.PushBack();
    parameter.Member("name") = placeholder.name;
    parameter.Member("in") = "path";
    parameter.Member("required") = true;
    parameter.Member("description") = PlaceholderText(placeholder.kind);
    parameter.Member("schema").Member("type") = "string";
  }
  return parameters;
}

BindingProperty OperationFor(const BindingProperty& operations, const Route& route,
                             const std::string& method) {
  const BindingProperty& known = operations.Find("known").Find(route.path.text()).Find(method);
  if (!known.IsEmpty())
    return known.Clone();
  BindingProperty operation = operations.Find("other").Clone();
  if (!route.path.placeholders().empty())
    operation.Member("parameters") = PathParameters(route.path);
  if (CarriesBody(method))
    operation.Member("requestBody") = operations.Find("otherRequestBody");
  return operation;
}

// The plugin's path items. Where two endpoints give the same path and method, the earlier one
// describes it, as the route choice takes the earlier on a tie.
BindingProperty PluginPaths(const BindingProperty& operations, const RouteTable& endpoints) {
  BindingProperty paths;
  paths.SetStructure();
  for (std::size_t i = 0; i < endpoints.size(); ++i) {
    const Route& route = endpoints[i];
    for (const std::string& method : OperationMethods(route)) {
      BindingProperty& item = paths.Member(OpenApiPath(route.path.text()));
      if (!item.Contains(method))
        item.Member(method) = OperationFor(operations, route, method);
    }
  }
  return paths;
}

// `text` parsed; an error naming `file` when it is not a JSON object.
Zorv::BindingResult ParseObject(std::string_view text, std::string_view file) {
  Zorv::BindingResult parsed = Zorv::ParseJson(text);
  if (parsed.ok() && parsed.value().Kind() == BindingPropertyKind::kStructure)
    return parsed;
  const std::string reason = parsed.ok() ? "not a JSON object" : std::string(parsed.ErrorText());
  parsed.SetError(std::string(file) + ": " + reason);
  return parsed;
}

}  // namespace

Zorv::BindingResult DescribeApi(const ApiDescriptionSources& sources, const RouteTable& endpoints,
                                std::string_view serverUrl, std::string_view hostVersion) {
  Zorv::BindingResult document = ParseObject(sources.document, kApiDescriptionFile);
  Zorv::BindingResult operations = ParseObject(sources.pluginOperations, kPluginOperationsFile);
  if (!document.ok())
    return document;
  if (!operations.ok())
    return operations;
  BindingProperty& root = document.value();
  // The plugin answers before the services on a path both take: its operation replaces theirs.
  const BindingProperty plugin = PluginPaths(operations.value(), endpoints);
  for (const auto& [path, item] : plugin.Members()) {
    for (const auto& [method, operation] : item.Members())
      root.Member("paths").Member(path).Member(method) = operation;
  }
  BindingProperty servers;
  BindingProperty& server = servers.PushBack();
  server.Member("url") = serverUrl;
  server.Member("description") = "This dul-host";
  root.Member("servers") = std::move(servers);
  root.Member("info").Member("version") = hostVersion;
  return document;
}

}  // namespace dul::host
