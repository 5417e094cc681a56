// The platform's single-value resources the plugin follows: the login session, the item-set
// configuration namespace and the readiness of the player-preferences service.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "binding/binding_property.h"
#include "host/services/resource_event_publisher.h"
#include "host/services/single_resource_peer.h"

namespace dul::host {

inline constexpr const char* kLoginSessionUri = "/dul-login/v1/session";
inline constexpr const char* kItemSetsConfigUri = "/dul-platform-config/v1/namespaces/ItemSets";
inline constexpr const char* kPreferencesReadyUri =
    "/dul-player-preferences/v1/player-preferences-ready";

// A login session value: {"accountId", "state", "summonerId"}.
Zorv::BindingProperty LoginSessionValue(const char* state, std::uint64_t summonerId,
                                        std::uint64_t accountId);
// The account of a session that is signed in (state "SUCCEEDED", non-zero account), or nothing.
std::optional<std::uint64_t> SignedInAccount(const Zorv::BindingProperty* session);

// PUT takes an object whose "state" is IN_PROGRESS, SUCCEEDED, LOGGING_OUT or ERROR and whose ids,
// when present, are non-negative integers; the first PUT after none publishes Create.
std::shared_ptr<SingleResourcePeer> MakeLoginSessionPeer(
    std::optional<Zorv::BindingProperty> session,
    std::shared_ptr<ResourceEventPublisher> publisher);
// Starts with the editor and the game export enabled and an upload every 5 seconds; PUT takes any
// object, replaces the whole value and always publishes Update.
std::shared_ptr<SingleResourcePeer> MakeItemSetsConfigPeer(
    std::shared_ptr<ResourceEventPublisher> publisher);
// Starts false; PUT takes true or false and always publishes Update; no DELETE.
std::shared_ptr<SingleResourcePeer> MakePreferencesReadyPeer(
    std::shared_ptr<ResourceEventPublisher> publisher);

}  // namespace dul::host
