#include "host/services/single_resource_peer.h"

#include <utility>

#include "host/services/service_answers.h"

namespace dul::host {

SingleResourcePeer::SingleResourcePeer(SingleResourceKind kind,
                                       std::optional<Zorv::BindingProperty> initial,
                                       std::shared_ptr<ResourceEventPublisher> publisher)
    : kind_(std::move(kind)), value_(std::move(initial)), publisher_(std::move(publisher)) {}

PeerAnswer SingleResourcePeer::Answer(const PeerRequest& request) {
  if (request.path != kind_.uri)
    return NotFound(request);
  if (request.methodName == "GET")
    return Get();
  if (request.methodName == "PUT")
    return Put(request);
  if (request.methodName == "DELETE" && kind_.deletable)
    return Delete(request);
  return MethodNotAllowed(request, kind_.deletable ? "GET, PUT, DELETE" : "GET, PUT");
}

void SingleResourcePeer::Replace(Zorv::BindingProperty value) {
  const ResourceEventType type =
      value_ || kind_.putAlwaysUpdates ? ResourceEventType::Update : ResourceEventType::Create;
  value_ = std::move(value);
  publisher_->Publish(kind_.uri, type, *value_);
}

PeerAnswer SingleResourcePeer::Get() const {
  if (!value_)
    return PeerAnswer::Error(404, kind_.missingText);
  return PeerAnswer::Value(value_->Clone());
}

PeerAnswer SingleResourcePeer::Put(const PeerRequest& request) {
  std::string error;
  std::optional<Zorv::BindingProperty> body = ReadJsonBody(request, error);
  std::optional<Zorv::BindingProperty> checked;
  if (body)
    checked = kind_.read(*body, error);
  if (!checked)
    return BadRequest(std::move(error));
  Replace(std::move(*checked));
  return PeerAnswer::Value(value_->Clone());
}

PeerAnswer SingleResourcePeer::Delete(const PeerRequest& request) {
  if (!value_)
    return PeerAnswer::Error(404, kind_.missingText);
  value_.reset();
  publisher_->Publish(request.path, ResourceEventType::Delete, Zorv::BindingProperty());
  PeerAnswer answer;
  answer.status = 204;
  return answer;
}

}  // namespace dul::host
