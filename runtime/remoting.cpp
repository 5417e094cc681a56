#include "runtime/remoting.h"

#include <cstring>

#include "binding/binding_type_registry.h"
#include "binding/binding_value_record.h"
#include "foundation/format_text.h"
#include "runtime/host_entry_guard.h"

namespace dul {
namespace {

using Zorv::BindingResult;

constexpr std::uint32_t kMethodOther = MethodCode(RequestMethod::kOther);
constexpr const char* kInternalErrorText = "Internal error";

// "a=1&flag&b=x%20y": each part split at its first "="; empty parts carry nothing.
void BindQuery(ArgumentBinder& binder, BindingResult& binding, std::string_view query) {
  while (binding.ok() && !query.empty()) {
    const std::size_t ampersand = query.find('&');
    const std::string_view part = query.substr(0, ampersand);
    query = ampersand == std::string_view::npos ? std::string_view() : query.substr(ampersand + 1);
    if (part.empty())
      continue;
    const std::size_t equals = part.find('=');
    const std::string_view key = part.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : part.substr(equals + 1);
    binder.BindText(binding, PercentDecode(key), PercentDecode(value), {},
                    ArgumentLocation::kQuery);
  }
}

// Text and bytes are decoded by the content type; a value the host already structured is taken
// as it is.
void BindBody(ArgumentBinder& binder, BindingResult& binding, const RemotingRequest& request,
              std::string_view functionName) {
  const ArgumentDescriptor* argument = binder.BodyArgument();
  if (!binding.ok() || !request.hasBody || argument == nullptr)
    return;
  const DulBindingValueRecord& record = request.body;
  if (const std::optional<std::string_view> bytes = Zorv::ValueRecordBytes(record)) {
    Zorv::BindingProperty body =
        DecodeBody(binding, *bytes, request.contentType, argument->name, functionName);
    binder.BindBody(binding, std::move(body));
    return;
  }
  BindingResult read;
  Zorv::ReadValueRecord(read, record, argument->name);
  if (!read.ok())
    return binding.SetError(read.ErrorText());
  binder.BindBody(binding, read.TakeValue());
}

}  // namespace

RemotingRequest ReadRemotingRequest(const DulHostRequestRecord& record) {
  RemotingRequest request;
  request.method = record.method >= 1 && record.method <= kMethodOther ? record.method : 0;
  if (request.method == kMethodOther && record.methodText != nullptr)
    request.methodText = record.methodText;
  const std::string_view url = record.url != nullptr ? record.url : "";
  const std::size_t question = url.find('?');
  request.path = url.substr(0, question);
  if (question != std::string_view::npos)
    request.query = url.substr(question + 1);
  if (record.contentType != nullptr)
    request.contentType = std::string_view(record.contentType, record.contentTypeLength);
  if (record.arguments != nullptr && record.argumentCount > 0 &&
      record.arguments[0].value.kind != 0) {
    request.hasBody = true;
    std::memcpy(&request.body, &record.arguments[0].value, sizeof(request.body));
  }
  return request;
}

Remoting::Remoting(const Zorv::BindingTypeRegistry& registry,
                   const std::vector<std::string>& defaultTags)
    : registry_(registry), defaultTags_(defaultTags) {}

void Remoting::AddRoute(std::string_view pathTemplate, RequestMethod method,
                        RemotingFunction function, std::string_view getHeadOnlyText) {
  auto route = std::make_unique<RemotingRoute>();
  const std::uint32_t code = MethodCode(method);
  route->function = std::move(function);
  route->function.method = static_cast<RequestMethod>(code);
  if (code != kMethodOther)
    route->function.methodText.clear();
  route->function.tags.insert(route->function.tags.end(), defaultTags_.begin(), defaultTags_.end());
  for (ArgumentDescriptor& argument : route->function.arguments) {
    if (argument.referencedIdentity != 0)
      argument.shape.referenced = registry_.FindType(argument.referencedIdentity);
  }
  routeTable_.Add(code, route->function.methodText, pathTemplate, !getHeadOnlyText.empty());
  routes_.push_back(std::move(route));
}

CallResult Remoting::Call(std::size_t index, const RemotingRequest& request,
                          const std::vector<std::string_view>& captures) const {
  const RemotingFunction& function = routes_[index]->function;
  ArgumentBinder binder(function.name, function.arguments);
  BindingResult binding;
  binder.PresetFlags();
  const std::vector<RoutePlaceholder>& placeholders = routeTable_[index].path.placeholders();
  for (std::size_t i = 0; i < placeholders.size() && i < captures.size(); ++i) {
    binder.BindText(binding, placeholders[i].name, PercentDecode(captures[i]), {},
                    ArgumentLocation::kPath);
  }
  BindQuery(binder, binding, request.query);
  BindBody(binder, binding, request, function.name);
  if (!binding.ok()) {
    CallResult failed;
    failed.result = std::move(binding);
    return failed;
  }
  if (!function.invoke)
    return CallResult::Failure(FormatText("No handler for '%1'", function.name),
                               kStatusInternalError);
  return function.invoke(binder.values(), function, registry_);
}

void Remoting::Answer(DulHostResponseRecord* response, const DulHostRequestRecord& record,
                      std::size_t first, std::size_t last) const {
  const RemotingRequest request = ReadRemotingRequest(record);
  std::vector<std::string_view> captures;
  const std::optional<std::size_t> chosen =
      routeTable_.Choose(request.method, request.methodText, request.path, captures, first, last);
  if (!chosen)
    return FillInvalidFunction(response);
  FillResponse(response, Call(*chosen, request, captures), &registry_);
}

void Remoting::Dispatch(DulHostResponseRecord* response,
                        const DulHostRequestRecord& request) const {
  Answer(response, request, 0, routes_.size());
}

void Remoting::DispatchEndpoint(DulHostResponseRecord* response,
                                const DulHostRequestRecord* request) const noexcept {
  if (response == nullptr)
    return;
  if (request == nullptr || request->endpointIndex >= endpointRecords_.size())
    return FillInvalidFunction(response);
  GuardHostEntry(
      "dispatch",
      [&] { Answer(response, *request, request->endpointIndex, request->endpointIndex + 1); },
      [&] { FillStaticFailure(response, kInternalErrorText, kStatusInternalError); });
}

const DulEndpointTable& Remoting::PublishEndpointTable(DulPluginObject plugin,
                                                       DispatchFunction dispatch) {
  endpointRecords_.clear();
  endpointRecords_.reserve(routes_.size());
  for (std::size_t i = 0; i < routeTable_.size(); ++i) {
    const Route& route = routeTable_[i];
    const char* methodText = route.method == kMethodOther ? route.methodText.c_str() : nullptr;
    endpointRecords_.push_back(
        DulEndpointRecord{route.method, methodText, route.path.text().c_str()});
  }
  table_ = DulEndpointTable{static_cast<std::uint32_t>(endpointRecords_.size()),
                            endpointRecords_.empty() ? nullptr : endpointRecords_.data(), plugin,
                            dispatch};
  return table_;
}

}  // namespace dul
