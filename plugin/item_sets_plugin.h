// ItemSetsPlugin: the single plugin object of the item-set service. It holds the item-set
// document of the signed-in account, the last login session seen, the three settings of the
// platform configuration and two flags; every activity of the service is a callback on it.
//
// Callbacks by concern: RegisterApi and OnInitialize in item_sets_plugin.cpp, the resource's
// handlers in item_sets_resource.cpp, the login and configuration handlers in
// session_and_settings.cpp.
#pragma once

#include <cstdint>

#include "binding/binding_property.h"
#include "plugin/item_set_settings.h"
#include "plugin/item_sets_api.h"
#include "runtime/plugin_base.h"
#include "runtime/resource_events.h"

namespace dul::item_sets {

inline constexpr const char* kPluginShortName = "dul-item-sets";

class ItemSetsPlugin : public PluginBase {
 public:
  ItemSetsPlugin() = default;
  ~ItemSetsPlugin() override = default;

  // The item-set types, then GET, PUT and POST on the item-set resource.
  void RegisterApi() override;
  // Follows the login session, the item-set configuration and the preferences readiness.
  bool OnInitialize() override;

  const Zorv::Client::ItemSets::Api::ItemSets& currentItemSets() const { return currentItemSets_; }
  const Zorv::Client::ItemSets::Api::LoginSession& loginSession() const { return loginSession_; }
  bool preferencesReady() const { return preferencesReady_; }
  bool editorEnabled() const { return editorEnabled_; }
  bool sendItemSetsToGame() const { return sendItemSetsToGame_; }
  bool uploadPending() const { return uploadPending_; }
  double uploadRateLimit() const { return uploadRateLimit_; }

 private:
  // The resource "/dul-item-sets/v1/item-sets/{summonerId}/sets".
  Zorv::Client::ItemSets::Api::ItemSets GetItemSets(std::uint64_t summonerId);
  void PutItemSets(std::uint64_t summonerId, Zorv::Client::ItemSets::Api::ItemSets itemSets);
  void PostItemSet(std::uint64_t summonerId, Zorv::Client::ItemSets::Api::ItemSet itemSet);
  // While the document has no version, replaces it by the cache file's (another account's
  // sets excepted), so that requests see what was stored last.
  void LoadUnversionedItemSets();
  // After a request changed the document: normalise, store, announce on the summoner's path and
  // mark it for upload.
  void AcceptChangedItemSets(std::uint64_t summonerId, std::uint64_t previousTimestamp);

  // Change events of the resources the plugin follows.
  void OnLoginSession(const ResourceEvent<Zorv::Client::ItemSets::Api::LoginSession>& event);
  void OnPlatformConfig(const ResourceEvent<Zorv::BindingProperty>& event);
  void OnPlayerPreferencesReady(const ResourceEvent<bool>& event);

  Zorv::Client::ItemSets::Api::ItemSets currentItemSets_;
  Zorv::Client::ItemSets::Api::LoginSession loginSession_;
  bool preferencesReady_ = false;
  bool editorEnabled_ = true;
  bool sendItemSetsToGame_ = true;
  bool uploadPending_ = false;
  double uploadRateLimit_ = kMinimumUploadRateLimit;  // seconds
};

}  // namespace dul::item_sets
