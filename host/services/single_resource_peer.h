// SingleResourcePeer: a service that holds one JSON value at one path (the login session, a
// configuration namespace, the preferences service's readiness): GET reads it, PUT replaces it
// and DELETE removes it, each change published as a resource event.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "binding/binding_property.h"
#include "host/core/peer.h"
#include "host/services/resource_event_publisher.h"

namespace dul::host {

struct SingleResourceKind {
  std::string uri;
  std::string missingText;        // the 404 text while there is no value
  bool deletable = true;          // otherwise DELETE answers 405
  bool putAlwaysUpdates = false;  // otherwise a PUT without a value publishes Create
  // Checks a PUT body: the value to store, or nothing with `error` set (answered 400).
  std::function<std::optional<Zorv::BindingProperty>(const Zorv::BindingProperty&, std::string&)>
      read;
};

class SingleResourcePeer final : public Peer {
 public:
  SingleResourcePeer(SingleResourceKind kind, std::optional<Zorv::BindingProperty> initial,
                     std::shared_ptr<ResourceEventPublisher> publisher);

  // GET answers the value; PUT stores a checked body and answers it; DELETE answers 204.
  PeerAnswer Answer(const PeerRequest& request) override;
  // Replaces the value and publishes the change, as a PUT does.
  void Replace(Zorv::BindingProperty value);
  // The value, or null while there is none.
  const Zorv::BindingProperty* value() const { return value_ ? &*value_ : nullptr; }

 private:
  PeerAnswer Get() const;
  PeerAnswer Put(const PeerRequest& request);
  PeerAnswer Delete(const PeerRequest& request);

  SingleResourceKind kind_;
  std::optional<Zorv::BindingProperty> value_;
  std::shared_ptr<ResourceEventPublisher> publisher_;
};

}  // namespace dul::host
